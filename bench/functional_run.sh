#!/usr/bin/env bash
# Times the whole functional analysis (menu H) from an answers file to the
# written report: the example data (Mantel, taxa shuffle, 999 permutations,
# phylogeny, detailed report), 5 runs, median; then the time per permutation
# on made-up data with 2x and 4x the example's communities and OTUs.
#
# Usage: bench/functional_run.sh [build-folder]   (default build-rel, Release)
# bench/scale.sh times one made-up data set of any size, with its peak memory.
# Environment: RUNS (default 5). OMP_WAIT_POLICY is passed through: on a
# machine whose cores are busy with other work, "passive" stops the idle
# OpenMP workers from spinning against the working thread.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-rel}")
runs=${RUNS:-5}
# An existing build folder keeps its configuration (tests included or not).
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKOLVAR_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target kolvar >/dev/null 2>&1
kolvar=$build/kolvar
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

# One run in a fresh folder; prints the wall seconds.
run_once() {  # folder-with-inputs answers-file
    local dir=$work/run
    rm -rf "$dir"
    cp -r "$1" "$dir"
    local t0 t1
    t0=$(now)
    (cd "$dir" && "$kolvar" < "$2" > console.txt 2> err.txt)
    t1=$(now)
    test -s "$dir"/*Prinda.txt || { echo "no report written" >&2; exit 1; }
    echo "$t1 - $t0" | bc -l
}

echo "OpenMP wait policy: ${OMP_WAIT_POLICY:-default}; cores: $(nproc); load: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== example data (aravo: 75 communities x 82 OTUs), demo answers, 999 permutations =="
mkdir -p "$work/aravo"
cp "$root"/examples/aravo/*.txt "$work/aravo/"
times=()
for i in $(seq 1 "$runs"); do
    t=$(run_once "$work/aravo" "$root/examples/demo_answers.txt")
    times+=("$t")
    printf "run %d: %.3f s\n" "$i" "$t"
done
printf "median of %d runs: %.3f s\n" "$runs" "$(printf '%s\n' "${times[@]}" | median)"

# Made-up data: ncsm communities x tcst OTUs, 8 quantitative traits, 4
# quantitative variables, no phylogeny, each OTU its own type.
make_data() {  # folder ncsm tcst
    local dir=$1 ncsm=$2 tcst=$3
    mkdir -p "$dir"
    awk -v n="$tcst" 'BEGIN { srand(11); for (i = 1; i <= n; i++) { line = "";
        for (j = 1; j <= 8; j++) line = line sprintf("%.3f\t", rand() * 100); print line }
        print "t1 t2 t3 t4 t5 t6 t7 t8" }' > "$dir/B.txt"
    awk -v m="$ncsm" -v n="$tcst" 'BEGIN { srand(12); for (i = 1; i <= m; i++) { line = "";
        for (j = 1; j <= n; j++) { v = (rand() < 0.3) ? int(rand() * 5) + 1 : 0;
            if (j == (i % n) + 1 && v == 0) v = 1; line = line v "\t" } print line }
        labels = ""; for (i = 1; i <= m; i++) labels = labels "c" i " "; print labels }' > "$dir/W.txt"
    awk -v m="$ncsm" 'BEGIN { srand(13); for (i = 1; i <= m; i++)
        printf "%.3f\t%.3f\t%.3f\t%.3f\n", rand() * 10, rand() * 40, rand() * 100, rand() * 200;
        print "e1 e2 e3 e4" }' > "$dir/E.txt"
}
make_answers() {  # ncsm tcst niter
    local ncsm=$1 tcst=$2 niter=$3
    printf 'N\nbench\n1\nB.txt\n0\nW.txt\n0\n1\nE.txt\n%d\n8\n2\n2\nk\n3 3 3 3 3 3 3 3\ny\n0\n%d\n2\n1\n4\n2\n2\nn\n' "$tcst" "$ncsm"
    printf 'V\nH\n0\nk\n'
    seq 1 "$tcst" | tr '\n' ' '
    printf '\n1\n1\n6\nm\n1\n1\nn\n1\ny\n%d\nt\n0\nn\n2\n12345\nn\n\nC\nC\nX\n' "$niter"
}

echo
echo "== time per permutation (Mantel, taxa shuffle, no phylogeny): (t(399) - t(9)) / 390 =="
for scale in 1 2 4; do
    ncsm=$((75 * scale)) tcst=$((82 * scale))
    make_data "$work/made$scale" "$ncsm" "$tcst"
    make_answers "$ncsm" "$tcst" 9 > "$work/a9.txt"
    make_answers "$ncsm" "$tcst" 399 > "$work/a399.txt"
    t9=$(for i in 1 2 3; do run_once "$work/made$scale" "$work/a9.txt"; done | median)
    t399=$(for i in 1 2 3; do run_once "$work/made$scale" "$work/a399.txt"; done | median)
    printf "%dx (%d communities x %d OTUs): %.2f ms per permutation (9: %.3f s, 399: %.3f s)\n" \
        "$scale" "$ncsm" "$tcst" "$(echo "($t399 - $t9) * 1000 / 390" | bc -l)" "$t9" "$t399"
done
