#!/usr/bin/env bash
# Installs what is missing, builds kolvar in Release and runs it on the bundled
# example data through an answers file. Results land in examples/run/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build-release" -DCMAKE_BUILD_TYPE=Release -DKOLVAR_TESTS=OFF >/dev/null
cmake --build "$root/build-release" -j2 --target kolvar
run="$root/examples/run"
rm -rf "$run"
mkdir -p "$run"
cp "$root"/examples/aravo/*.txt "$run"/
cd "$run"
answers="$root/examples/demo_answers.txt"
"$root/build-release/kolvar" < "$answers" > console.txt
echo "kolvar finished; console output in $run/console.txt, files written:"
ls -1 "$run" | grep -v -x -F -f <(ls -1 "$root/examples/aravo") || true
