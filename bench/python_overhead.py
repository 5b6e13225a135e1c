#!/usr/bin/env python3
"""Overhead of the Python path (tessivar.Monitor.process) against the C path
(bench_pipeline's BM_Pipeline12Lead) on the same 12-lead pipeline: wire
"12", format "SLR", filters 0.67 / 50 / 35, heart rate on II, respiration,
the same synthetic 72 per minute input, the log at error level.

    cmake --build build --target bench_pipeline tessivar_python
    PYTHONPATH=build/python /usr/bin/python3 bench/python_overhead.py [build]

Prints the frames per second of both paths and the overhead of the Python
one (target: within 10 %). Both rates are per second of CPU time."""
import json
import os
import subprocess
import sys
import tempfile
import time

import numpy as np

import tessivar

FS, SECONDS, CHANNELS = 1000, 10, 8


def gauss(t, centre, width):
    return np.exp(-0.5 * ((t - centre) / width) ** 2)


def recording():
    """The C benchmark's input: ten seconds of frames, status 0, eight ECG
    channels in microvolts and respiration (C's int() truncates)."""
    t = np.arange(FS * SECONDS) / FS
    phase = np.fmod(t, 60.0 / 72.0)
    beat = (150 * gauss(phase, 0.2, 0.025) - 120 * gauss(phase, 0.33, 0.008) + 1000 * gauss(phase, 0.36, 0.011)
            - 250 * gauss(phase, 0.39, 0.011) + 300 * gauss(phase, 0.62, 0.055))
    frames = np.zeros((len(t), CHANNELS + 2), dtype=np.int32)
    for c in range(CHANNELS):
        frames[:, 1 + c] = np.trunc(beat * (0.6 + 0.15 * c))
    frames[:, -1] = np.trunc(1000.0 * np.sin(2 * np.pi * 0.25 * t))
    return frames


def python_rate(block, repeats=6, minutes=1):
    frames = np.tile(recording(), (6 * minutes, 1))
    with tempfile.NamedTemporaryFile("w", suffix=".ini", delete=False) as ini:
        ini.write("record_file_path = .\nrecord_switch = OFF\nlog_level = error\n")
    best = float("inf")
    with tessivar.Monitor(fs=FS, wire="12", data="SLR", filters=("0.67", "50", "35"), debug_cfg=ini.name,
                          block=block) as m:
        m.process(frames[:FS])  # warm up
        for _ in range(repeats):
            # CPU time, as Google Benchmark's rate counters use: the machine's
            # other load does not count.
            start = time.process_time()
            m.process(frames)
            best = min(best, time.process_time() - start)
    os.unlink(ini.name)
    return len(frames) / best


def c_rate(build):
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "c.json")
        subprocess.run([os.path.join(build, "bench", "bench_pipeline"), "--benchmark_filter=BM_Pipeline12Lead",
                        "--benchmark_out_format=json", "--benchmark_out=" + out, "--benchmark_repetitions=3"],
                       check=True, capture_output=True, cwd=tmp)
        runs = [b for b in json.load(open(out))["benchmarks"] if b.get("run_type") == "iteration"]
    return max(b["frames/s"] for b in runs)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    # Alternated, best of each.
    c = py = 0.0
    for _ in range(2):
        c = max(c, c_rate(build))
        py = max(py, python_rate(block=1))
    print(f"C path      {c:12.0f} frames/s  ({c / FS:.0f} x real time)")
    print(f"Python path {py:12.0f} frames/s  ({py / FS:.0f} x real time)")
    print(f"overhead    {100.0 * (c / py - 1.0):+.1f} %")


if __name__ == "__main__":
    main()
