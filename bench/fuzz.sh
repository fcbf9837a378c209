#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for the
# given number of seconds (default 600), one after the other, each from a
# working copy of its seed corpus in fuzz/corpus/. Prints the executions
# reached per target. Without clang it says so and succeeds.
#   bash bench/fuzz.sh [seconds-per-target] [build-folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
build=${2:-$root/build-fuzz}
if ! command -v clang++ >/dev/null 2>&1 || ! command -v clang >/dev/null 2>&1; then
  echo "fuzz: clang not found, fuzz targets skipped"
  exit 0
fi
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLVAR_FUZZ=ON \
  -DKOLVAR_TESTS=OFF -DKOLVAR_BENCH=OFF "${launcher[@]}" >/dev/null
nice cmake --build "$build" -j2 >/dev/null
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for corpus in "$root"/fuzz/corpus/*/; do
  target=$(basename "$corpus")
  [ -x "$build/$target" ] || { echo "fuzz: $target not built"; status=1; continue; }
  work="$build/corpus-run/$target"
  artifacts="$build/artifacts/$target/"
  mkdir -p "$work" "$artifacts"
  log="$build/$target.log"
  if (cd "$build" && nice "./$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
        -max_len=4096 -print_final_stats=1 -artifact_prefix="$artifacts" "$work" "$corpus") >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    echo "fuzz: $target: $runs executions in ${seconds} s, no crash, hang or leak"
  else
    echo "fuzz: $target FAILED (see $log and $artifacts)"
    tail -n 30 "$log"
    status=1
  fi
done
exit $status
