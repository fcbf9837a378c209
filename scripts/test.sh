#!/usr/bin/env bash
# Builds and runs every test: the layer check, a Release build, an
# AddressSanitizer + UndefinedBehaviorSanitizer build of the unit and scenario
# tests, then a short run of every libFuzzer target (when clang is present).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh"
bash "$root/scripts/check_layers.sh"
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S "$root" -B "$root/build-test" -DCMAKE_BUILD_TYPE=Release -DKOLVAR_WERROR=$werror >/dev/null
cmake --build "$root/build-test" -j2
(cd "$root/build-test" && ctest --output-on-failure -j2)
cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DKOLVAR_SANITIZE=ON -DKOLVAR_BENCH=OFF -DKOLVAR_WERROR=$werror >/dev/null
cmake --build "$root/build-asan" -j2
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$root/build-asan" && ctest --output-on-failure -j2)
# libFuzzer targets (clang only): every reader and the whole dialogue, 12 s each;
# bench/fuzz.sh runs them as long as asked.
bash "$root/bench/fuzz.sh" 12 "$root/build-fuzz"
echo "scripts/test.sh: layer check, Release tests, sanitizer tests and fuzz runs all passed"
