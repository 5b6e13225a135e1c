#!/usr/bin/python3
"""Difference in outputs between the default build (filter sums in long
double) and a build with -DTESSIVAR_FILTER_ACCUMULATOR=double, on the real
recordings in ../shared/data: both `tessivar run` programs process every
record with the default settings; the output frames (every lead in uV and
the respiration value), the detected beats and the reported events
(heart rate, respiration rate, quality) are compared.

usage: tools/accumulator_difference.py LONG_DOUBLE_BUILD DOUBLE_BUILD [--seconds S]
Prints a Markdown section (append it to docs/performance.md).
"""
import argparse
import os
import subprocess
import sys
import tempfile

from collections import Counter

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from qrs_readback import read_annotations  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(os.path.dirname(ROOT), "shared", "data")
RECORDS = ["mitdb/%s" % r for r in ("100", "101", "103", "105", "106", "108", "116", "119", "200", "203",
                                    "208", "210")] + ["bidmc/bidmc0%d" % i for i in range(1, 6)]


def run(build, record, out_dir, seconds):
    cmd = [os.path.join(build, "tessivar"), "run", os.path.join(DATA, record), "--out-dir", out_dir, "--quiet"]
    if seconds:
        cmd += ["--seconds", str(seconds)]
    subprocess.run(cmd, check=True, capture_output=True)
    base = os.path.join(out_dir, os.path.basename(record))
    frames = np.fromfile(base + "_out.dat", dtype="<i2")
    qrs = Counter(t for t, _ in read_annotations(base + ".qrs"))
    with open(base + ".jsonl") as f:
        events = f.read().splitlines()
    return frames, qrs, events


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("long_double_build")
    ap.add_argument("double_build")
    ap.add_argument("--seconds", type=float, default=0)
    args = ap.parse_args()
    rows = []
    total = differing = 0
    worst = 0
    for record in RECORDS:
        if not os.path.exists(os.path.join(DATA, record + ".hea")):
            continue
        with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
            fa, qa, ea = run(args.long_double_build, record, a, args.seconds)
            fb, qb, eb = run(args.double_build, record, b, args.seconds)
        n = min(len(fa), len(fb))
        d = np.abs(fa[:n].astype(np.int64) - fb[:n].astype(np.int64))
        nd = int(np.count_nonzero(d))
        total += n
        differing += nd
        worst = max(worst, int(d.max()) if n else 0)
        # Beats (sample times) and callback lines found in one run but not
        # in the other.
        beats = sum(((qa - qb) + (qb - qa)).values())
        ev = sum(((Counter(ea) - Counter(eb)) + (Counter(eb) - Counter(ea))).values())
        rows.append("| %s | %d | %d | %d | %d of %d | %d of %d |" % (record, n, nd, int(d.max()) if n else 0, beats,
                                                                   sum(qa.values()), ev, len(ea)))
    out = sys.stdout.write
    out("## Filter accumulator: long double against double\n\n")
    out("`tessivar run` on every record of ../shared/data with the default settings, once from a default "
        "build and once from a build configured with `-DTESSIVAR_FILTER_ACCUMULATOR=double`. Output words "
        "are the 16-bit output frames (every lead in uV, respiration, status); beats are the `.qrs` files "
        "(a beat found by one run and not by the other, or placed one sample apart, counts); events are "
        "the callback lines (heart rate, respiration rate, quality, lead) found in one run and not in the "
        "other.\n\n")
    out("Reproduce: `tools/accumulator_difference.py build build-double%s`.\n\n"
        % (" --seconds %g" % args.seconds if args.seconds else ""))
    out("| record | output words | differing | largest difference (uV) | differing beats | differing events |\n")
    out("|---|---:|---:|---:|---:|---:|\n")
    out("\n".join(rows) + "\n\n")
    out("In all: %d of %d output words differ (%.4f %%), by at most %d uV.\n"
        % (differing, total, 100.0 * differing / max(total, 1), worst))


if __name__ == "__main__":
    main()
