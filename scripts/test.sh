#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test with CTest;
# then builds the non-GUI parts again with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs their tests.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/ovxdg.XXXXXX)}"
chmod 700 "$XDG_RUNTIME_DIR"
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
export CTEST_OUTPUT_ON_FAILURE=1

echo "== build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build
ctest --test-dir build -j2 --timeout 300

echo "== sanitizers (address, undefined behaviour) on the non-GUI parts"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOV_SANITIZE=ON -DOV_BUILD_GUI=OFF -DOV_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -j2 --timeout 600
