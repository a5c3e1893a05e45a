#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test with CTest,
# once as a debug build and once optimised; then builds the non-GUI parts
# again with AddressSanitizer and UndefinedBehaviorSanitizer and runs their
# tests, and runs every fuzz target for a while (FUZZ_SECONDS, 30 by
# default). Warnings in our own code are errors here.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/ovxdg.XXXXXX)}"
chmod 700 "$XDG_RUNTIME_DIR"
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
export CTEST_OUTPUT_ON_FAILURE=1

echo "== build and test (warnings are errors in our own code)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOV_WERROR=ON >/dev/null
cmake --build build
ctest --test-dir build -j2 --timeout 300

echo "== the OPC UA helper against its own test servers"
(cd apps/opcua-helper && npm test)

echo "== optimised build, as users build it, and its tests"
# The optimiser finds warnings the debug build does not.
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DOV_WERROR=ON >/dev/null
cmake --build build-release
ctest --test-dir build-release -j2 --timeout 300

echo "== sanitizers (address, undefined behaviour) on the non-GUI parts"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOV_SANITIZE=ON -DOV_WERROR=ON -DOV_BUILD_GUI=OFF -DOV_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -j2 --timeout 600

echo "== fuzz targets, ${FUZZ_SECONDS:-30} s each (clang, libFuzzer)"
bash fuzz/run.sh "${FUZZ_SECONDS:-30}"
