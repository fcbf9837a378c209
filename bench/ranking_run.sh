#!/usr/bin/env bash
# Times the whole trait ranking (menu K) from an answers file to the written
# results: the example data (aravo: 75 communities x 82 OTUs, 8 traits, every
# OTU its own type), criterion 1 r(XE), all 255 subsets of 1 to 8 traits, 5
# runs, median; then the same with 12 traits (the example's 8 and 4 made-up
# ones), all 4,095 subsets. The session is imported once; each timed run
# attaches to it (O), ranks (V, K) and leaves.
#
# Usage: bench/ranking_run.sh [build-folder]   (default build-rank-bench, Release)
# Environment: RUNS (default 5). Threads: all processors unless KOLVAR.prf caps them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-rank-bench}")
runs=${RUNS:-5}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKOLVAR_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target kolvar >/dev/null 2>&1
kolvar=$build/kolvar
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

# rank folder ntraits file: times one K run; prints the wall seconds.
rank_once() {
    local dir=$1 ntraits=$2 file=$3 t0 t1
    rm -f "$dir/$file"
    printf 'O\naravo\nV\nK\n1\ny\n1\n1\n6\nm\n1\n1\nn\ny\n1\n%d\nn\n\nC\nC\nX\n' "$ntraits" > "$dir/k.txt"
    t0=$(now)
    (cd "$dir" && "$kolvar" < k.txt > console.txt 2> err.txt)
    t1=$(now)
    test -s "$dir/$file" || { echo "no results written" >&2; exit 1; }
    echo "$t1 - $t0" | bc -l
}

# series folder ntraits label
series() {
    local dir=$1 ntraits=$2 times=() t
    for i in $(seq 1 "$runs"); do
        t=$(rank_once "$dir" "$ntraits" aravoChRank_TDAP_TCAP.txt)
        times+=("$t")
        printf "run %d: %.3f s\n" "$i" "$t"
    done
    printf "median of %d runs: %.3f s (%s)\n" "$runs" "$(printf '%s\n' "${times[@]}" | median)" \
        "$(grep -h 'processors the program used' "$dir/aravoChRank_TDAP_TCAP.txt")"
}

echo "cores: $(nproc); load: $(cut -d' ' -f1-3 /proc/loadavg)"

echo "== example data, 8 traits, 255 subsets, r(XE) =="
mkdir -p "$work/e8"
cp "$root"/examples/aravo/*.txt "$work/e8/"
head -n -2 "$root/examples/import_aravo.txt" > "$work/e8/import.txt"
printf 'C\nX\n' >> "$work/e8/import.txt"
(cd "$work/e8" && "$kolvar" < import.txt > /dev/null 2>&1)
series "$work/e8" 8

echo
echo "== 12 traits (8 of the example, 4 made up), 4,095 subsets, r(XE) =="
mkdir -p "$work/e12"
cp "$root"/examples/aravo/*.txt "$work/e12/"
awk 'BEGIN { srand(21) } NR <= 82 { printf "%s", $0; for (j = 1; j <= 4; j++) printf "\t%.3f", rand() * 50; print ""; next }
     { print $0 " X1 X2 X3 X4" }' "$root/examples/aravo/B.txt" > "$work/e12/B.txt"
head -n -2 "$root/examples/import_aravo.txt" \
    | sed -e 's/^8$/12/' -e 's/^3 3 3 3 3 3 3 3$/3 3 3 3 3 3 3 3 3 3 3 3/' > "$work/e12/import.txt"
printf 'C\nX\n' >> "$work/e12/import.txt"
(cd "$work/e12" && "$kolvar" < import.txt > /dev/null 2>&1)
series "$work/e12" 12
