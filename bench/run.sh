#!/usr/bin/env bash
# Builds the benchmarks optimised and runs them; one "name: value" line per figure.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOV_BUILD_GUI=OFF >/dev/null
cmake --build "$build" --target bench_recordset >/dev/null
"$build/bench/bench_recordset"
