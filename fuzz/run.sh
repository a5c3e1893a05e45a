#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 30),
# starting from its corpus in fuzz/corpus/. Prints one line per target with
# its executions; a crash stops the run with exit code 1 and leaves the
# input in fuzz/crashes/ (turn it into a regression test, then delete it).
# New inputs the fuzzer finds stay in a scratch folder; `--keep` adds them
# to the corpus. `--jobs N` runs N targets at once. `--build DIR` takes the
# targets of a tree configured with -DOV_FUZZ=ON already (scripts/test.sh's
# sanitizer tree) instead of building build-fuzz.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds=30
keep=false
jobs=1
build=""
while [ $# -gt 0 ]; do
  case "$1" in
    --keep) keep=true ;;
    --jobs) jobs="$2"; shift ;;
    --build) build="$2"; shift ;;
    *) seconds="$1" ;;
  esac
  shift
done
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/ovxdg.XXXXXX)}"
chmod 700 "$XDG_RUNTIME_DIR"

if [ -z "$build" ]; then
  build="$root/build-fuzz"
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DOV_FUZZ=ON -DOV_BUILD_GUI=OFF -DOV_BUILD_BENCH=OFF -DOV_WERROR=ON >/dev/null
fi
cmake --build "$build" --target fuzz_all

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$root/fuzz/crashes"
# Qt keeps caches for the life of the process: leaks are looked for in the
# tests (LeakSanitizer there), not here.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# One target: its line on stdout, its log and exit status in the work folder.
fuzz_one() {
  local target="$1" log="$work/$1.log"
  mkdir -p "$work/$target"
  if "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=20 -rss_limit_mb=2048 \
       -max_len=65536 -artifact_prefix="$root/fuzz/crashes/$target-" \
       "$work/$target" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
    runs="$(awk '/stat::number_of_executed_units/ {print $2}' "$log")"
    echo "$target: $runs executions in ${seconds} s, no crash"
    if $keep; then cp -n "$work/$target"/* "$root/fuzz/corpus/$target/" 2>/dev/null || true; fi
  else
    echo "$target: CRASH (input in fuzz/crashes/)" >&2
    tail -40 "$log" >&2
    touch "$work/failed"
  fi
}
for source in "$root"/fuzz/targets/*.cpp; do
  fuzz_one "$(basename "$source" .cpp)" &
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
done
wait
[ ! -e "$work/failed" ]
