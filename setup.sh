#!/usr/bin/env bash
# Installs what is missing from Debian's packages, configures and builds, then
# runs one job:
#   ./setup.sh run     build and run the main job: simulate two minutes of a
#                      12-lead patient, run it through the front end, print a
#                      summary and draw a strip chart (into ./demo)
#   ./setup.sh test    build and pass the test suite
#   ./setup.sh build   only build
#   ./setup.sh fuzz    build the fuzz targets with clang and run each for a
#                      bounded time (FUZZ_SECONDS per target, default 45)
# Environment: BUILD_DIR (default build), TESSIVAR_SANITIZE=1 builds with
# AddressSanitizer and UndefinedBehaviorSanitizer (default folder build-sanitize).
set -euo pipefail
cd "$(dirname "$0")"

job=${1:-build}
shift || true
sanitize=${TESSIVAR_SANITIZE:-0}
if [ "$sanitize" = 1 ]; then
  build_dir=${BUILD_DIR:-build-sanitize}
else
  build_dir=${BUILD_DIR:-build}
fi

packages=(g++ gcc cmake ninja-build pkgconf binutils libcjson-dev libiniparser-dev
          libgtest-dev libgmock-dev libbenchmark-dev libsoxr-dev python3-numpy python3-scipy
          python3-dev python3-pybind11 pybind11-dev python3-pytest python3-dask python3-distributed python3-matplotlib)
# The fuzz targets and the thread-sanitizer test need clang and its runtimes
# (libFuzzer, sanitizers).
packages+=(clang libclang-rt-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [ "$(id -u)" = 0 ]; then sudo=(); else sudo=(sudo); fi
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "$job" = fuzz ]; then
  exec fuzz/run.sh "${FUZZ_SECONDS:-45}" "$@"
fi

cmake -S . -B "$build_dir" -G Ninja -DTESSIVAR_SANITIZE="$([ "$sanitize" = 1 ] && echo ON || echo OFF)" >/dev/null
# The main job needs only the program; everything else is built for the tests.
if [ "$job" = run ]; then
  cmake --build "$build_dir" -j "$(nproc)" --target tessivar_cli
else
  cmake --build "$build_dir" -j "$(nproc)"
fi

case "$job" in
  build) ;;
  run)
    "$build_dir/tessivar" --version
    "$build_dir/tessivar" demo demo "$@"
    ;;
  test)
    ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" "$@"
    ;;
  *)
    echo "usage: ./setup.sh run|test|build|fuzz" >&2
    exit 2
    ;;
esac
