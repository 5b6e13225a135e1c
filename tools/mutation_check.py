#!/usr/bin/python3
"""Mutation check of the test suite.

Applies, one at a time, a fixed list of small faults to the library sources
(a flipped comparison, a constant changed by a little, a dropped statement,
an off-by-one bound), rebuilds, runs the whole test suite and reports
whether the suite caught the fault.  The source file is always restored,
also on errors and Ctrl-C.  Standard library only.

Statuses: CAUGHT (a test failed, or the whole run timed out), SURVIVED (every
test passed), INVALID (the mutant did not build).

Usage: tools/mutation_check.py [--build-dir DIR] [--only ID[,ID...]] [--list]
                               [--jobs N]

It configures its own build folder (default build-mutation, same options as
./setup.sh build, ccache, lld when available), builds and tests once
unmutated, then handles each mutant: a rebuild of one source file plus the
links, and a test run that stops at the first failure.  On the shared
2-core machine a mutant takes 20 s (idle machine) to about 2.5 minutes
(busy machine, a survivor runs the whole suite), so the whole list takes
15 to 60 minutes plus the first build.
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RUN_TIMEOUT = 20 * 60  # seconds for the whole test run of one mutant

HR = "src/heart_rate/hr_calc.cpp"
RR = "src/heart_rate/rr2hr.cpp"
PIPE = "src/preprocess/pipeline.cpp"
FILT = "src/preprocess/ecg_filters.cpp"
QS = "src/sig_quality/sig_quality_c.cpp"
RESP = "src/resp/resp_c.cpp"
RESPR = "src/resp/respRateCalc.cpp"
PACE = "src/pace/pace_remove.cpp"
NOISE = "src/preprocess/noise_remove.cpp"
CORV = "src/beat_detect/corvane_core.cpp"
ORIN = "src/beat_detect/QRS.cpp"
EP = "src/beat_detect/eplimited.cpp"
QD = "src/beat_detect/qrsdet2.cpp"

# (id, file, original, replacement, rule broken)
MUTATIONS = [
    # Rate rules: the rate from the last twelve RR intervals, its limits,
    # and the stand-alone RR averager.
    ("hr-period5-bound", HR, "if (repeats(5, 4))", "if (repeats(5, 3))",
     "period-5 pattern compares entries 0..3 with 5..8 only (entry 4 vs 9 unchecked)"),
    ("hr-period2-bound", HR, "repeats(2, 9)", "repeats(2, 8)",
     "period-2 pattern ignores entry 9 vs 11"),
    ("hr-slow-rhythm", HR, "if (rr[0] > 1200 && rr[1] > 1200", "if (rr[0] >= 1200 && rr[1] > 1200",
     "slow-rhythm rule taken for a newest interval of exactly 1200"),
    ("hr-min-rr", HR, "rr >= kMinRR && rr < kMaxRR", "rr > kMinRR && rr < kMaxRR",
     "an RR interval of exactly 151 samples is no longer stored"),
    ("hr-resp-limit", HR, "if (hr > 29 && hr < 301)", "if (hr > 29 && hr < 300)",
     "a rate of 300 is not forwarded to the respiration channel"),
    ("rr2hr-missed-beat", RR, "between(1.6 * A, a, 2.4 * A)) {  // a missed beat",
     "between(1.6 * A, a, 2.2 * A)) {  // a missed beat",
     "missed-beat rule accepts intervals up to 2.2 instead of 2.4 times the average"),
    ("rr2hr-period2-mean", RR, "avg = (m2[0] + m2[1]) / 2;", "avg = m2[0];",
     "period-two average uses the even intervals only"),
    # Detector thresholds and timing.
    ("ep-threshold-coef", EP, "t.thCoef = 0.3125;", "t.thCoef = 0.25;",
     "limited-resource detection threshold at 0.25 instead of 0.3125 of the distance"),
    ("ep-twave-ratio", QD, "double(lastPeak) * 0.728 >= double(newPeak)",
     "double(lastPeak) * 0.8 >= double(newPeak)",
     "T-wave rejection ratio 0.8 instead of 0.728"),
    ("ep-searchback-limit", QD, "return rrMean + (rrMean >> 1) + d.t.windowWidth;",
     "return rrMean + (rrMean >> 2) + d.t.windowWidth;",
     "search-back after 1.25 instead of 1.5 mean RR"),
    ("cv-refractory", CORV, "rwave::roundHalfAway(60.0 * f / 300.0)", "rwave::roundHalfAway(60.0 * f / 250.0)",
     "Corvane refractory period for 250 instead of 300 beats per minute"),
    ("cv-learn-range", CORV, "range > 50000);", "range >= 50000);",
     "Corvane learning window with a range of exactly 50000 rejected"),
    ("orin-threshold", ORIN, "(s.nSum + (t >> 1) - (t >> 3)) >> 3", "(s.nSum + (t >> 1) - (t >> 2)) >> 3",
     "Orin threshold at 0.25 instead of 0.375 of the distance"),
    ("hr-class-restart", HR, "    setBeatDetectMode(s_hrCalc.detector, s_hrCalc.qrsMode);\n", "",
     "patient class not re-applied after a detector restart"),
    # Delays.
    ("dl-ep-preblank", EP, "t.preBlank = t.ms160;", "t.preBlank = t.ms150;",
     "limited-resource hold 150 ms: detection delay 321 instead of 331 samples"),
    ("dl-pace-reinsert", PIPE, "int64_t(st.filterDelay) + st.extraDelay + st.fuzzDelay)",
     "int64_t(st.filterDelay) + st.extraDelay)",
     "pace pulse re-inserted without the noise-suppression delay"),
    ("dl-fuzz", PIPE, "int32_t(st.fs * 0.04)", "int32_t(st.fs * 0.03)",
     "noise-suppression delay 0.03 instead of 0.04 s"),
    ("dl-fir-even", "src/filter/fir_filter.cpp", "filter->delay = fir->num_num / 2;\n    filter->gainDC",
     "filter->delay = (fir->num_num - 1) / 2;\n    filter->gainDC",
     "FIR delay of an even tap count one short (86 taps: 42)"),
    # Filter taps and coefficients.
    ("ft-fir-tap", "src/preprocess/ecg_fir_taps.cpp", "0.04626986936017, 0.045604846508019756",
     "0.04726986936017, 0.045604846508019756",
     "centre tap of the 1000 Hz lpass 20 table off by 0.001"),
    ("ft-iir-coef", FILT, "kA1000Hpass005[] = {1, -0.999686634915953, 0};",
     "kA1000Hpass005[] = {1, -0.999586634915953, 0};",
     "1000 Hz hpass 0.05 pole moved (cut-off about 0.066 Hz)"),
    ("ft-comb50-spacing", FILT, '{kInt1000Comb50, "comb 50", 961, 10, 9216, +1}',
     '{kInt1000Comb50, "comb 50", 961, 11, 9216, +1}',
     "1000 Hz comb 50 denominator spacing 11 instead of 10"),
    ("ft-comb60-steps", FILT, "    const double c = doSignalFilter(filter, x);\n    return (a + b + c) / 3.0;",
     "    return (a + b) / 2.0;",
     "60 Hz comb at 1000 Hz stepped twice instead of three times per sample"),
    ("ft-int-shift", ORIN, "datum > 1023 ? 1023 : datum >> 2", "datum > 1023 ? 1023 : datum >> 1",
     "Orin integrator entry halved instead of quartered"),
    # Lead selection.
    ("ls-limb-range", HR, "pick(true, 0, 5);", "pick(true, 0, 4);",
     "automatic lead never picks aVF"),
    ("ls-small-boost", HR, "int32_t(s.leadBuf[cur].maxPP * 1.2)", "int32_t(s.leadBuf[cur].maxPP * 1.1)",
     "a small current lead is left for 1.1 instead of 1.2 times its amplitude"),
    ("ls-limit-3000", HR, "(!limited || pp < 3000)", "(!limited || pp <= 3000)",
     "a lead of exactly 3000 peak-to-peak counts as within the limit"),
    # Quality ladders.
    ("q-base-two", QS, "scoreOf(q.baseCounts, 2)", "scoreOf(q.baseCounts, 1)",
     "a single base excursion raises the base score"),
    ("q-ladder-step", QS, "float(i) / 9.0f", "float(i) / 10.0f",
     "ladder in tenths: the top level below the intolerable threshold"),
    ("q-noise-thr", "src/sig_quality/sig_quality.cpp", "d.score >= m.th_noise", "d.score > m.th_noise",
     "a score equal to the noise threshold is not noisy"),
    # Respiration limits.
    ("rs-display-window", RESP, "r <= 40 ? 1000 : (r <= 80 ? 500 : 300)", "r < 40 ? 1000 : (r <= 80 ? 500 : 300)",
     "rate 40 gets the 500-sample display average"),
    ("rs-first-calc", RESP, "kFirstCalc = 149;", "kFirstCalc = 150;",
     "first rate one band sample later than 15 s"),
    ("rs-branch", RESPR, "if (p0 >= 24 || p0 <= 4) {", "if (p0 >= 25 || p0 <= 4) {",
     "peak bin 24 read in the time domain instead of the spectrum"),
    ("rs-heart-reject", RESPR, "std::fabs(st->hr - rate) <= 2.0", "std::fabs(st->hr - rate) <= 1.0",
     "respiration rates 1..2 from the heart rate no longer rejected"),
    # Pace width.
    ("pc-default-width", PACE, "ms < 1 ? 3 : ms", "ms < 1 ? 2 : ms",
     "default pace removal width 2 ms instead of 3"),
    ("pc-inhibit", PACE, "if (a < s_paceRemove.inhabitThre) return 0;", "if (a <= s_paceRemove.inhabitThre) return 0;",
     "an amplitude equal to the inhibit threshold is dropped"),
    ("pc-max-ms", PACE, "ms > 99) {\n        TV_LOGE(kTag, \"%s\", kBadInput);\n        return -1;\n    }\n    remover->after",
     "ms > 100) {\n        TV_LOGE(kTag, \"%s\", kBadInput);\n        return -1;\n    }\n    remover->after",
     "a removal width of 100 ms accepted"),
    # Noise suppression steps.
    ("ns-quant-round", NOISE, "std::round(x / 5.0) * 5.0", "std::trunc(x / 5.0) * 5.0",
     "quantisation truncates instead of rounding to 5 uV"),
    ("ns-hold-lower", NOISE, "hi - held <= 50 && held - lo <= 50", "hi - held <= 50",
     "holder ignores a dip of more than 50 uV"),
    ("ns-oc-width", NOISE, "int32_t(fs * 0.015)", "int32_t(fs * 0.016)",
     "open-close half width 16 instead of 15 samples at 1000 Hz"),
    # Log and INI behaviour.
    ("ini-missing-keeps", "src/common/lmini.cpp",
     "    if (fileExist(path) != 1) return -2;\n    dictionary *loaded = iniparser_load(path);\n"
     "    if (loaded == nullptr) return -3;\n    iniRelease(ini);\n",
     "    iniRelease(ini);\n    if (fileExist(path) != 1) return -2;\n"
     "    dictionary *loaded = iniparser_load(path);\n    if (loaded == nullptr) return -3;\n",
     "a missing or unreadable INI file drops the held dictionary"),
    ("log-start-keeps-cfg", "src/common/kt_log.cpp",
     "    std::memcpy(s_ktLog.g_log_cfg_file, previous.g_log_cfg_file, sizeof s_ktLog.g_log_cfg_file);\n", "",
     "a log start without a file forgets the earlier configuration file"),
]


def check_table():
    ids = set()
    for mid, path, orig, repl, _ in MUTATIONS:
        if mid in ids:
            sys.exit(f"duplicate mutation id {mid}")
        ids.add(mid)
        with open(os.path.join(ROOT, path)) as f:
            count = f.read().count(orig)
        if count != 1:
            sys.exit(f"{mid}: snippet occurs {count} times in {path}, expected once")
        if orig == repl:
            sys.exit(f"{mid}: replacement equals the original")


def run(cmd, env, timeout=None, log=None):
    """Runs cmd; returns (exit code or None on timeout, combined output)."""
    proc = subprocess.Popen(cmd, cwd=ROOT, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, _ = proc.communicate()
        return None, out
    except BaseException:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        raise


def configure(build_dir, env):
    base = ["cmake", "-S", ".", "-B", build_dir, "-G", "Ninja", "-DTESSIVAR_SANITIZE=OFF"]
    lld = ["-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld", "-DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld",
           "-DCMAKE_MODULE_LINKER_FLAGS=-fuse-ld=lld"]
    if shutil.which("ld.lld"):
        rc, _ = run(base + lld, env)
        if rc == 0:
            return
    rc, out = run(base, env)
    if rc != 0:
        sys.exit("configure failed:\n" + out)


FAIL_LINE = re.compile(r"Test\s+#\d+:\s+(\S+)\s.*(\*\*\*|Failed|Timeout|Exception|Not Run)")


def test(build_dir, jobs, env):
    """Returns (status, first failing test)."""
    rc, out = run(["ctest", "--test-dir", build_dir, "-j", str(jobs), "--stop-on-failure"], env, RUN_TIMEOUT)
    if rc is None:
        return "CAUGHT", "(timeout of the whole run)"
    if rc == 0:
        return "SURVIVED", "-"
    for line in out.splitlines():
        m = FAIL_LINE.search(line)
        if m:
            return "CAUGHT", m.group(1)
    return "CAUGHT", "(ctest exit %d)" % rc


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build-dir", default="build-mutation")
    ap.add_argument("--only", default="")
    ap.add_argument("--list", action="store_true")
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    args = ap.parse_args()
    check_table()
    if args.list:
        for mid, path, _, _, desc in MUTATIONS:
            print(f"{mid:22} {path:38} {desc}")
        print(f"{len(MUTATIONS)} mutations")
        return 0
    chosen = MUTATIONS
    if args.only:
        wanted = args.only.split(",")
        unknown = set(wanted) - {m[0] for m in MUTATIONS}
        if unknown:
            sys.exit("unknown mutation ids: " + ", ".join(sorted(unknown)))
        chosen = [m for m in MUTATIONS if m[0] in wanted]
    files = sorted({m[1] for m in chosen})
    dirty = subprocess.run(["git", "status", "--porcelain", "--"] + files, cwd=ROOT,
                           capture_output=True, text=True).stdout.strip()
    if dirty:
        sys.exit("uncommitted changes in mutated files:\n" + dirty)

    env = dict(os.environ)
    if shutil.which("ccache"):  # a rebuilt file is often one compiled before
        env.update(CMAKE_CXX_COMPILER_LAUNCHER="ccache", CMAKE_C_COMPILER_LAUNCHER="ccache",
                   CCACHE_BASEDIR=os.path.dirname(ROOT))
    build_dir = args.build_dir
    configure(build_dir, env)
    build = ["cmake", "--build", build_dir, "-j", str(args.jobs)]
    rc, out = run(build, env)
    if rc != 0:
        sys.exit("unmutated build failed:\n" + out[-4000:])
    status, failing = test(build_dir, args.jobs, env)
    if status != "SURVIVED":
        sys.exit(f"unmutated suite does not pass (first failure: {failing})")
    print(f"unmutated build and suite pass; {len(chosen)} mutants", flush=True)

    caught = invalid = 0
    for mid, path, orig, repl, _ in chosen:
        start = time.time()
        full = os.path.join(ROOT, path)
        with open(full) as f:
            source = f.read()
        try:
            with open(full, "w") as f:
                f.write(source.replace(orig, repl, 1))
            rc, out = run(build, env)
            if rc != 0:
                status, failing = "INVALID", "(build failed)"
            else:
                status, failing = test(build_dir, args.jobs, env)
        finally:
            with open(full, "w") as f:
                f.write(source)
        caught += status == "CAUGHT"
        invalid += status == "INVALID"
        print(f"{mid:22} {status:8} {failing:60} {time.time() - start:6.0f} s", flush=True)
    # Leave the build folder matching the restored sources.
    run(build, env)
    print(f"caught {caught} of {len(chosen)} ({invalid} invalid)")
    return 0


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: (_ for _ in ()).throw(KeyboardInterrupt()))
    sys.exit(main())
