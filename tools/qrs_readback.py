#!/usr/bin/python3
"""Reads back the beats that `tessivar run` wrote (DIR/NAME.qrs) and the
reference beats (RECORD.atr) with a reader of its own (MIT annotation
format parsed from the bytes here, nothing shared with the C++ reader), and
counts them by the beat-by-beat rules of `tessivar eval`:

  - a detected beat within 150 ms (inclusive) of a reference beat matches
    it; each reference beat takes the nearest unused detected beat (the
    earlier one on a tie);
  - beats in the first 5 minutes and inside ventricular flutter or
    fibrillation episodes ('[' ... ']') are matched but not counted.

Prints per record and gross TP, FN, FP, Se, +P and the median offset of the
matched beats (detected minus reference, ms). With --check-eval it also
runs `tessivar eval` on the same records and fails (exit 1) when any count
differs.

    /usr/bin/python3 tools/qrs_readback.py --test-dir out ../shared/data/mitdb/100 ...
    /usr/bin/python3 tools/qrs_readback.py --test-dir out --check-eval build/tessivar RECORD...
"""
import argparse
import bisect
import math
import os
import struct
import subprocess
import sys

BEAT_CODES = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 34, 35, 38}
FLUTTER_ON, FLUTTER_OFF = 32, 33
SKIP, NUM, SUB, CHN, AUX = 59, 60, 61, 62, 63


def read_annotations(path):
    """(time, code) of every annotation, in file order."""
    with open(path, "rb") as f:
        data = f.read()
    words = struct.unpack("<%dH" % (len(data) // 2), data[: len(data) // 2 * 2])
    out, t, k = [], 0, 0
    while k < len(words):
        code, value = words[k] >> 10, words[k] & 0x3FF
        k += 1
        if code == 0 and value == 0:
            break
        if code == SKIP:
            high, low = words[k], words[k + 1]
            k += 2
            interval = (high << 16) | low
            if interval >= 1 << 31:
                interval -= 1 << 32
            t += interval
        elif code in (NUM, SUB, CHN):
            pass
        elif code == AUX:
            k += (value + 1) // 2
        else:
            t += value
            out.append((t, code))
    return out


def sampling_rate(record):
    with open(record + ".hea") as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith("#"):
                fields = line.split()
                return float(fields[2].split("/")[0]) if len(fields) > 2 else 250.0
    raise ValueError(record + ".hea: no record line")


def episodes(annotations):
    spans, start = [], None
    for t, code in annotations:
        if code == FLUTTER_ON and start is None:
            start = t
        elif code == FLUTTER_OFF and start is not None:
            spans.append((start, t))
            start = None
    if start is not None:
        spans.append((start, math.inf))
    return spans


def compare(reference, detected, fs, excluded, window_ms=150.0, learning_s=300.0):
    window = window_ms * fs / 1000.0 + 1e-9
    start = learning_s * fs

    def counted(t):
        return t >= start and not any(a <= t <= b for a, b in excluded)

    used = [False] * len(detected)
    tp = fn = 0
    offsets = []
    for r in reference:
        best = None
        for d in range(bisect.bisect_left(detected, r - window), bisect.bisect_right(detected, r + window)):
            t = detected[d]
            if used[d]:
                continue
            if best is None or abs(t - r) < abs(detected[best] - r):
                best = d
        if best is not None:
            used[best] = True
            if counted(r):
                tp += 1
                offsets.append((detected[best] - r) * 1000.0 / fs)
        elif counted(r):
            fn += 1
    fp = sum(1 for d, t in enumerate(detected) if not used[d] and counted(t))
    return tp, fn, fp, offsets


def median(values):
    v = sorted(values)
    if not v:
        return float("nan")
    n = len(v)
    return v[n // 2] if n % 2 else 0.5 * (v[n // 2 - 1] + v[n // 2])


def percent(a, b):
    return 100.0 if b == 0 else 100.0 * a / b


def eval_counts(cli, records, test_dir):
    """TP, FN, FP per record name as `tessivar eval` prints them."""
    text = subprocess.run([cli, "eval", *records, "--test-dir", test_dir], check=True, capture_output=True,
                          text=True).stdout
    out = {}
    for line in text.splitlines()[1:]:
        f = line.split()
        out[f[0]] = (int(f[1]), int(f[2]), int(f[3]))
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("records", nargs="+")
    parser.add_argument("--test-dir", required=True)
    parser.add_argument("--check-eval", metavar="TESSIVAR")
    args = parser.parse_args()

    rows, gross, all_offsets = {}, [0, 0, 0], []
    print("%-10s %7s %6s %6s %8s %8s %10s" % ("record", "TP", "FN", "FP", "Se %", "+P %", "offset ms"))
    for record in args.records:
        name = os.path.basename(record)
        fs = sampling_rate(record)
        ref = read_annotations(record + ".atr")
        reference = [t for t, c in ref if c in BEAT_CODES]
        detected = sorted(t for t, c in read_annotations(os.path.join(args.test_dir, name + ".qrs")) if c in BEAT_CODES)
        tp, fn, fp, offsets = compare(reference, detected, fs, episodes(ref))
        rows[name] = (tp, fn, fp)
        gross = [gross[0] + tp, gross[1] + fn, gross[2] + fp]
        all_offsets += offsets
        print("%-10s %7d %6d %6d %8.2f %8.2f %10.1f" % (name, tp, fn, fp, percent(tp, tp + fn), percent(tp, tp + fp),
                                                       median(offsets)))
    tp, fn, fp = gross
    print("%-10s %7d %6d %6d %8.2f %8.2f %10.1f" % ("gross", tp, fn, fp, percent(tp, tp + fn), percent(tp, tp + fp),
                                                   median(all_offsets)))
    rows["gross"] = tuple(gross)

    if args.check_eval:
        theirs = eval_counts(args.check_eval, args.records, args.test_dir)
        differ = [k for k in rows if theirs.get(k) != rows[k]]
        for k in differ:
            print("differs: %s read back %s, tessivar eval %s" % (k, rows[k], theirs.get(k)))
        print("tessivar eval agrees on %d of %d rows" % (len(rows) - len(differ), len(rows)))
        return 1 if differ else 0
    return 0


if __name__ == "__main__":
    sys.exit(main())
