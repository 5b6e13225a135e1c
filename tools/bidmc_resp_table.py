#!/usr/bin/python3
"""Respiration rate of `tessivar run` on the BIDMC records against the manual
breath annotations; prints the markdown table of docs/respiration.md.

    /usr/bin/python3 tools/bidmc_resp_table.py [--cli build/tessivar]
        [--data ../shared/data/bidmc] [--resp-scale 1000] [--minutes]

For each record bidmc01 .. bidmc05:

1. The impedance "RESP" of BIDMC is normalised to +-0.5 and stored in 16-bit
   counts that span the whole range; `tessivar run` feeds the respiration
   channel its physical value times --resp-scale (default 1000, as milliohms
   of a swing of at most one ohm, the scale of the simulator's channel).
2. `tessivar run` processes the record at 1000 Hz (its own lead mapping: the
   record's "II" as lead II, respiration lead "II").
3. The rate held at the end of each second is the last "respRate" event of
   the run's .jsonl before that second ends (none: -1).
4. Per minute window [15 + 60 m, 75 + 60 m) s and per annotator (aux "ann1",
   "ann2" of the .breath file), the reference rate is
   60 * (breaths - 1) / (time from the window's first to its last breath);
   the device rate is the mean of the held rates of the window's seconds
   that have a rate (above 0). A window without any rate is unrated.
5. The table gives, over the rated minutes, the mean absolute error against
   each annotator and against the nearer of the two per minute, and the
   worst minute against the nearer annotator; --minutes adds the
   per-minute values.
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RUN_OPTIONS = []  # --run-option: extra `tessivar run` words, e.g. --safe
RECORDS = ["bidmc01", "bidmc02", "bidmc03", "bidmc04", "bidmc05"]


def read_header(path):
    with open(path) as f:
        lines = [l.rstrip("\n") for l in f if l.strip() and not l.startswith("#")]
    fields = lines[0].split()
    fs = float(fields[2])
    signals = []
    for line in lines[1:]:
        parts = line.split()
        gain_text = parts[2]
        gain, baseline = gain_text.split("/")[0], None
        if "(" in gain:
            gain, baseline = gain.split("(")
            baseline = int(baseline.rstrip(")"))
        desc = " ".join(parts[8:]).rstrip(", ").strip()
        signals.append({"line": line, "gain": float(gain), "baseline": baseline if baseline is not None else
                        int(parts[4]), "desc": desc})
    return lines, fs, signals


def read_annotations(path):
    """(sample, aux) of every annotation of an MIT-format file."""
    words = np.fromfile(path, dtype="<u2")
    out, time, i = [], 0, 0
    while i < len(words):
        w = int(words[i])
        i += 1
        code, value = w >> 10, w & 0x3FF
        if code == 0 and value == 0:
            break
        if code == 59:
            interval = (int(words[i]) << 16) | int(words[i + 1])
            if interval >= 1 << 31:
                interval -= 1 << 32
            time += interval
            i += 2
        elif code == 63:
            nbytes = value
            raw = words[i:i + (nbytes + 1) // 2].tobytes()[:nbytes]
            i += (nbytes + 1) // 2
            if out:
                out[-1] = (out[-1][0], raw.decode("latin-1").rstrip("\0"))
        elif 60 <= code <= 62:
            pass
        else:
            time += value
            out.append((time, ""))
    return out


def held_rates(jsonl, seconds):
    events = []
    with open(jsonl) as f:
        for line in f:
            e = json.loads(line)
            if e.get("event") == "respRate":
                events.append((e["frame"], e["rate"]))
    held, rate, k = [], -1, 0
    for s in range(seconds):
        while k < len(events) and events[k][0] < (s + 1) * 1000:
            rate = events[k][1]
            k += 1
        held.append(rate)
    return held


def breath_rate(times, start, end):
    inside = [t for t in times if start <= t < end]
    if len(inside) < 2:
        return 0.0
    return 60.0 * (len(inside) - 1) / (inside[-1] - inside[0])


def evaluate(cli, data, name, scale, folder):
    base = os.path.join(data, name)
    subprocess.run([cli, "run", base, "--out-dir", folder, "--quiet", "--resp-scale", str(scale), *RUN_OPTIONS],
                   check=True, stdout=subprocess.DEVNULL)
    _, fs, _ = read_header(os.path.join(data, name + ".hea"))
    ann = read_annotations(os.path.join(data, name + ".breath"))
    breaths = [[t / fs for t, aux in ann if aux.startswith(a)] for a in ("ann1", "ann2")]
    _, _, signals = read_header(os.path.join(data, name + ".hea"))
    n_samples = os.path.getsize(os.path.join(data, name + ".dat")) // (2 * len(signals))
    seconds = int(n_samples / fs)
    held = held_rates(os.path.join(folder, name + ".jsonl"), seconds)
    minutes, errors = [], []
    start = 15
    while start + 60 <= seconds:
        refs = [breath_rate(b, start, start + 60) for b in breaths]
        rated = [h for h in held[start:start + 60] if h > 0]
        device = sum(rated) / len(rated) if rated else None
        minutes.append((start, refs, device, len(rated)))
        if device is not None and min(refs) > 0:
            e = [abs(device - r) for r in refs]
            errors.append((e[0], e[1], min(e), sum(refs) / 2, device))
        start += 60
    return minutes, errors


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "tessivar"))
    parser.add_argument("--data", default=os.path.join(ROOT, "..", "shared", "data", "bidmc"))
    parser.add_argument("--resp-scale", type=float, default=1000.0,
                        help="respiration word per unit of the record's RESP (tessivar run --resp-scale)")
    parser.add_argument("--minutes", action="store_true", help="add the per-minute values")
    parser.add_argument("--run-option", action="append", default=[],
                        help="extra word for every `tessivar run` (repeatable), e.g. --run-option=--safe")
    args = parser.parse_args()
    RUN_OPTIONS.extend(args.run_option)
    print("| record | minutes rated | annotators' mean rate | device mean rate | MAE vs ann1 | MAE vs ann2 "
          "| MAE vs nearer | worst minute |")
    print("|---|---|---|---|---|---|---|---|")
    detail = []
    with tempfile.TemporaryDirectory() as folder:
        for name in RECORDS:
            minutes, errors = evaluate(args.cli, args.data, name, args.resp_scale, folder)
            if errors:
                e = np.array(errors)
                print(f"| {name} | {len(errors)} of {len(minutes)} | {e[:, 3].mean():.1f} | {e[:, 4].mean():.1f} "
                      f"| {e[:, 0].mean():.2f} | {e[:, 1].mean():.2f} | {e[:, 2].mean():.2f} | {e[:, 2].max():.2f} |")
            else:
                print(f"| {name} | 0 of {len(minutes)} | | | | | | |")
            detail.append(f"- {name}: " + "; ".join(
                f"{s} s: {r[0]:.1f}, {r[1]:.1f}, " + (f"{d:.1f}" if d is not None else "none") + f" ({k} s)"
                for s, r, d, k in minutes))
    if args.minutes:
        print("\nPer minute (window start: ann1, ann2, device (seconds with a rate)):\n")
        print("\n".join(detail))
    return 0


if __name__ == "__main__":
    sys.exit(main())
