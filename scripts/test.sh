#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, in two
# builds:
#  1. clang, debug, AddressSanitizer and UndefinedBehaviorSanitizer over all
#     of our code (the GUI included, offscreen), with the fuzz targets in the
#     same tree: every test, then each fuzz target for FUZZ_SECONDS (15).
#  2. the optimised build a user makes (g++, Release), with its tests: the
#     optimiser finds warnings the debug build does not.
# Warnings in our own code are errors in both.
#
#   bash scripts/test.sh           everything, as CI runs it
#   bash scripts/test.sh --quick   one plain debug build (g++) and its tests,
#                                  for the edit-compile-test loop
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

quick=false
case "${1:-}" in
  --quick) quick=true ;;
  "") ;;
  *) echo "usage: bash scripts/test.sh [--quick]" >&2; exit 2 ;;
esac

bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/ovxdg.XXXXXX)}"
chmod 700 "$XDG_RUNTIME_DIR"
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
# Paths below the checkout hash the same in every clone: a fresh clone finds
# what an earlier one compiled. Not so for the sanitizer tree: its
# precompiled headers name their own path, so a clone in another folder
# compiles that tree anew.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
export CTEST_OUTPUT_ON_FAILURE=1
start=$SECONDS
elapsed() { echo "   ($(( (SECONDS - start) / 60 )) min $(( (SECONDS - start) % 60 )) s so far)"; }

if $quick; then
  echo "== debug build and its tests (no sanitizers, no fuzzing)"
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOV_WERROR=ON >/dev/null
  cmake --build build
  ctest --test-dir build -j2 --timeout 300
  elapsed
  exit 0
fi

echo "== clang debug build with sanitizers and the fuzz targets"
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOV_FUZZ=ON \
  -DOV_BUILD_BENCH=OFF -DOV_WERROR=ON >/dev/null
cmake --build build-asan
cmake --build build-asan --target fuzz_all
elapsed

echo "== every test under the sanitizers"
# Leaks of Qt's and the system's own libraries are not ours to fix. The
# crash test kills a worker 5 times here (each kill costs ten times what it
# costs optimised) and the two programs write for 10 s; the Release build
# below runs both in full (20 kills, 30 s).
OV_CRASH_ROUNDS="${OV_CRASH_ROUNDS_SANITIZED:-5}" \
OV_TWO_PROGRAMS_SECONDS="${OV_TWO_PROGRAMS_SECONDS_SANITIZED:-10}" \
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j2 --timeout 900
elapsed

echo "== the OPC UA helper against its own test servers"
(cd apps/opcua-helper && npm test)

echo "== fuzz targets, ${FUZZ_SECONDS:-15} s each, two at a time"
bash fuzz/run.sh "${FUZZ_SECONDS:-15}" --jobs 2 --build "$root/build-asan"
elapsed

echo "== optimised build, as users build it, and its tests"
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DOV_WERROR=ON >/dev/null
cmake --build build-release
ctest --test-dir build-release -j2 --timeout 300
elapsed
