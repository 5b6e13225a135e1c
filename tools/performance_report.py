#!/usr/bin/python3
"""Writes docs/performance.md: the filter kinds per sample beside scipy's
whole-array lfilter on the same coefficients and signal, the 12-lead and
1-lead monitors as multiples of real time, the per-frame latency of
ecgPreprocessDoPreprocess for blocks of 1 and 100 frames, and the memory of
one 12-lead monitor at 2000 Hz. Everything is measured in this one run.

usage: tools/performance_report.py [BUILD_DIR] [--out docs/performance.md]
The benchmarks come from BUILD_DIR/bench (build them first:
cmake --build build --target bench_filter bench_pipeline). Everything after
the line "<!-- kept by tools/performance_report.py -->" of an existing
document is kept.
"""
import argparse
import json
import os
import platform
import subprocess
import sys
import tempfile
import time

import numpy as np
from scipy import signal

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The signal of bench_filter.cpp: 300 sin(0.01 i) + 40 sin(0.314 i).
N_SCIPY = 200000


def bench_signal(n):
    i = np.arange(n, dtype=float)
    return 300.0 * np.sin(0.01 * i) + 40.0 * np.sin(0.314 * i)


def sparse(taps, length):
    c = np.zeros(length)
    for seq, data in taps:
        c[seq - 1] = data
    return c


def fir_taps(n):
    # bench_filter.cpp firRecord: sin(0.1 (k + 1)) / n
    return np.sin(0.1 * (np.arange(n) + 1)) / n


def avg_highpass(n):
    # input delayed by n/2 minus the mean of the last n samples
    b = -np.ones(n) / n
    b[n // 2] += 1.0
    return b


# benchmark name -> (what, dense b, dense a)
FILTERS = [
    ("BM_Fir/113", "FIR, 113 taps", fir_taps(113), np.array([1.0])),
    ("BM_Fir/225", "FIR, 225 taps", fir_taps(225), np.array([1.0])),
    ("BM_FirEqualTaps1000", "FIR, 1000 equal taps (respiration display)", np.ones(1000) / 1000, np.array([1.0])),
    ("BM_IirComb7", "IIR comb, 7/7",
     np.array([2.3e-8, 1.4e-7, 3.5e-7, 4.6e-7, 3.5e-7, 1.4e-7, 2.3e-8]),
     np.array([1.0, -5.75, 13.78, -17.61, 12.66, -4.85, 0.77])),
    ("BM_IntegerHpass03", "integer, \"hpass 0.3\" (3841/3)",
     sparse([(1, -1), (1920, 3686400), (1921, -7372798), (1922, 3686400), (3841, -1)], 3841),
     sparse([(1, 3686400), (2, -7372800), (3, 3686400)], 3)),
    ("BM_IntegerComb50Hp06", "integer, \"comb 50 0.6\" (1921/41)",
     sparse([(1, -1), (941, 2304), (961, -4606), (981, 2304), (1921, -1)], 1921),
     sparse([(1, 2304), (21, -4608), (41, 2304)], 41)),
    ("BM_Avg", "moving-average high-pass, 24025", avg_highpass(24025), np.array([1.0])),
    ("BM_AvgLp", "moving-average low-pass, 300", np.ones(300) / 300, np.array([1.0])),
    ("BM_NonlinearNotch", "nonlinear notch (no linear equivalent)", None, None),
]


def scipy_ns_per_sample(b, a, x, repeats=3):
    best = float("inf")
    for _ in range(repeats):
        t0 = time.perf_counter()
        signal.lfilter(b, a, x)
        best = min(best, time.perf_counter() - t0)
    return best / len(x) * 1e9


def run_bench(path, flt=None, extra=()):
    # The results go to a file: the library's log may print on stdout.
    with tempfile.NamedTemporaryFile(suffix=".json") as f:
        cmd = [path, "--benchmark_out=" + f.name, "--benchmark_out_format=json"] + list(extra)
        if flt:
            cmd.append("--benchmark_filter=" + flt)
        subprocess.run(cmd, check=True, capture_output=True, text=True)
        with open(f.name) as g:
            return {b["name"]: b for b in json.load(g)["benchmarks"]}


def cpu_name():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build", nargs="?", default=os.path.join(ROOT, "build"))
    ap.add_argument("--out", default=os.path.join(ROOT, "docs", "performance.md"))
    ap.add_argument("--double-build", help="a build configured with -DTESSIVAR_FILTER_ACCUMULATOR=double, "
                    "measured beside the default one")
    args = ap.parse_args()
    bench_dir = os.path.join(args.build, "bench")

    filt = run_bench(os.path.join(bench_dir, "bench_filter"), "BM_(Fir|Iir|Integer|Avg|Nonlinear)[^W]*$",
                     ["--benchmark_min_time=0.5"])
    pipe = run_bench(os.path.join(bench_dir, "bench_pipeline"))
    dfilt = dpipe = None
    if args.double_build:
        dbench = os.path.join(args.double_build, "bench")
        dfilt = run_bench(os.path.join(dbench, "bench_filter"), "BM_(Fir|Iir|Integer|Avg|Nonlinear)[^W]*$",
                          ["--benchmark_min_time=0.5"])
        dpipe = run_bench(os.path.join(dbench, "bench_pipeline"), "BM_Pipeline")
    x = bench_signal(N_SCIPY)

    lines = []
    w = lines.append
    w("# Performance")
    w("")
    w("Measured in one run of `tools/performance_report.py` (which wrote this file) on %s, "
      "one core, Release-with-debug-info build, %s; scipy %s, numpy %s. The machine is shared, "
      "so numbers move by some ten per cent between runs."
      % (cpu_name(), time.strftime("%Y-%m-%d"), __import__("scipy").__version__, np.__version__))
    w("")
    w("Reproduce: `cmake --build build --target bench_filter bench_pipeline && "
      "/usr/bin/python3 tools/performance_report.py build`.")
    w("")
    w("## Filter kinds: per sample beside scipy's whole-array `lfilter`")
    w("")
    w("Our column is `doSignalFilter` called once per sample (bench/bench_filter.cpp, 4096-sample "
      "blocks); scipy's is `scipy.signal.lfilter` over %d samples of the same signal "
      "(300 sin(0.01 i) + 40 sin(0.314 i)) with the same coefficients as dense vectors, best of three. "
      "Times are nanoseconds per sample." % N_SCIPY)
    w("")
    dcol = " double accumulator (ns) |" if dfilt else ""
    w("| filter | per sample (ns) |%s scipy lfilter, whole array (ns) | scipy time / ours |" % dcol)
    w("|---|---:|%s---:|---:|" % ("---:|" if dfilt else ""))
    misses = []
    for name, what, b, a in FILTERS:
        ours = 1e9 / filt[name]["items_per_second"] if name in filt else float("nan")
        dval = " %.1f |" % (1e9 / dfilt[name]["items_per_second"]) if dfilt and name in dfilt else (" – |" if dfilt else "")
        if b is None:
            w("| %s | %.1f |%s – | – |" % (what, ours, dval))
            continue
        theirs = scipy_ns_per_sample(b, a, x)
        w("| %s | %.1f |%s %.1f | %.2f |" % (what, ours, dval, theirs, theirs / ours))
        if not ours < theirs:
            misses.append(what)
    w("")
    if misses:
        w("Slower than scipy: %s." % ", ".join(misses))
    else:
        w("Every filter kind per sample is faster than scipy's whole-array `lfilter`.")
    w("")
    w("## Whole monitor")
    w("")
    w("bench/bench_pipeline.cpp: wire \"12\" (8 channels) or \"1\", format \"SLR\", filters "
      "\"0.67\"/\"50\"/\"35\", method 0, quality and respiration on, blocks of 100 frames of a synthetic "
      "72 per minute ECG with 15 per minute breathing.")
    w("")
    w("| monitor | frames/s | multiple of real time |%s" % (" double accumulator |" if dpipe else ""))
    w("|---|---:|---:|%s" % ("---:|" if dpipe else ""))
    for name, what, fs in [("BM_Pipeline12Lead/min_time:3.000", "12-lead, 1000 Hz", 1000),
                           ("BM_Pipeline1Lead/min_time:3.000", "1-lead, 1000 Hz", 1000),
                           ("BM_Pipeline12Lead2000Hz/min_time:3.000", "12-lead, 2000 Hz", 2000)]:
        r = pipe[name]
        d = " %.0f× |" % dpipe[name]["x_realtime"] if dpipe and name in dpipe else ""
        w("| %s | %.0f | %.0f× |%s" % (what, r["frames/s"], r["x_realtime"], d))
    w("")
    w("## Per-frame latency of `ecgPreprocessDoPreprocess`")
    w("")
    w("12-lead monitor, 60 s of frames from Init on, each call timed; a call's time divided by its frames. "
      "Wall clock, and the thread's CPU clock, which leaves out the time the system gave to other "
      "programs (on this shared machine the wall-clock tail is mostly that).")
    w("")
    w("| block | p50 (µs) | p99 (µs) | max (µs) | CPU p50 (µs) | CPU p99 (µs) | CPU max (µs) |")
    w("|---:|---:|---:|---:|---:|---:|---:|")
    for block in (1, 100):
        r = pipe["BM_FrameLatency/%d/iterations:1" % block]
        w("| %d | %.2f | %.2f | %.1f | %.2f | %.2f | %.1f |" % (
            block, r["p50_us"], r["p99_us"], r["max_us"], r["cpu_p50_us"], r["cpu_p99_us"], r["cpu_max_us"]))
    w("")
    w("The CPU maximum is the first frame after Init: it primes every filter history (the 24025-sample "
      "windows of the 0.01 Hz high-pass among them) and touches their memory for the first time.")
    w("")
    w("## Memory")
    w("")
    r = pipe["BM_Pipeline12Lead2000Hz/min_time:3.000"]
    w("One 12-lead monitor at 2000 Hz holds %.0f kB of heap (in use after Init and the run, minus "
      "in use before Init; `mon_heap_kB`). The benchmark process peaks at %.0f kB resident "
      "(`peak_rss_kB`, which also counts the benchmark's own input and the program)."
      % (r["mon_heap_kB"], r["peak_rss_kB"]))
    w("")
    w("No heap allocation happens in `ecgPreprocessDoPreprocess` over five minutes of 12-lead frames, "
      "quality reports included: tests/preprocess/test_preprocess_soak.cpp counts them with a "
      "replaced allocator.")
    w("")
    # What follows the marker (the profile notes and the accumulator
    # comparison of tools/accumulator_difference.py) is kept as it is.
    marker = "<!-- kept by tools/performance_report.py -->"
    kept = ""
    if os.path.exists(args.out):
        with open(args.out) as f:
            old = f.read()
        if marker in old:
            kept = old[old.index(marker):]
    with open(args.out, "w") as f:
        f.write("\n".join(lines) + "\n" + (kept or marker + "\n"))
    sys.stdout.write("\n".join(lines))


if __name__ == "__main__":
    main()
