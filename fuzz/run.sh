#!/usr/bin/env bash
# Builds the fuzz targets with clang (ASan, UBSan, libFuzzer) in build-fuzz
# and runs each for a bounded time, starting from its committed seeds.
# New inputs go to a scratch corpus, so the committed seeds stay as they are.
#   fuzz/run.sh [SECONDS_PER_TARGET] [TARGET...]   (default 45 s, every target)
# Exits non-zero on the first crash, leak, timeout or sanitizer report; the
# reproducer is left in the current folder (crash-*, leak-*, timeout-*, oom-*).
# The mutations follow a fixed seed (FUZZ_SEED, default 1), so a run repeats
# the same path as far as its time allows.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-45}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_preprocess fuzz_filter fuzz_json fuzz_ini fuzz_wfdb fuzz_quality_resp)
build_dir=${BUILD_DIR:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DTESSIVAR_FUZZ=ON -DTESSIVAR_BUILD_TESTS=OFF \
  -DTESSIVAR_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target fuzz_all

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for t in "${targets[@]}"; do
  mkdir -p "$scratch/$t"
  echo "fuzz: $t for ${seconds} s"
  "$build_dir/fuzz/$t" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=3072 \
    -seed="${FUZZ_SEED:-1}" -print_final_stats=1 "$scratch/$t" "fuzz/corpus/$t" 2>"$scratch/$t.log" || {
    grep -E "ERROR|SUMMARY|runtime error" "$scratch/$t.log" | head -20
    echo "fuzz: $t FAILED (full log above the reproducer)" >&2
    tail -40 "$scratch/$t.log" >&2
    exit 1
  }
  grep -E "stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb" "$scratch/$t.log" | tr '\n' ' '
  echo
done
