#!/usr/bin/env bash
# The functional analysis on made-up data of a given size: 8 quantitative
# traits, 4 quantitative variables, each OTU its own type (fuzzy), Mantel,
# taxa shuffle, no phylogeny. Prints the time per permutation, the total wall
# time and the peak resident memory of the run (GNU time).
#
# Usage: bench/scale.sh COMMUNITIES OTUS PERMUTATIONS [kolvar-binary]
#   bench/scale.sh 1000 1000 999        # target: under 2 minutes on 2 cores
#   bench/scale.sh 500 5000 99          # target: peak memory under 2 GB
# Environment: THREADS (written to the preferences; 0 = all processors),
# BASE (iterations of the reference run subtracted to get the time per
# permutation; default 3, 0 skips it), FUZZY (1 fuzzy types, the default; 0
# crisp types), KEEP=1 keeps the work folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
ncsm=${1:?communities}
tcst=${2:?OTUs}
niter=${3:?permutations}
kolvar=$(realpath -m "${4:-$root/build-rel/kolvar}")
threads=${THREADS:-0}
base=${BASE:-3}
fuzzy=${FUZZY:-1}
[ -x "$kolvar" ] || { echo "no kolvar binary at $kolvar (build it first)" >&2; exit 1; }
work=$(mktemp -d)
[ "${KEEP:-0}" = 1 ] && echo "work folder: $work" || trap 'rm -rf "$work"' EXIT

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
    printf '\n%d\n1\n6\nm\n1\n1\nn\n1\ny\n%d\nt\n0\nn\n2\n12345\nn\n\nC\nC\nX\n' "$fuzzy" "$niter"
}
# Default preferences with the thread count in the last field.
make_prefs() {
    printf '17Apr2020\n0\n0.000000\n0.000000\n0\n0.000000\n0.000000\n1\nn\n0\n0.000000\n0.000000\n'
    printf '6\n2147483647\n6\nn\nn\nn\n1\n1\n0\n1\n2\n1\n0\n1\n%d\n' "$threads"
    date
}

now() { date +%s.%N; }
# One run; prints "wall-seconds peak-kB".
run() {  # niter
    local dir=$work/run$1
    rm -rf "$dir"
    cp -r "$work/data" "$dir"
    make_answers "$ncsm" "$tcst" "$1" > "$dir/answers.txt"
    [ "$threads" != 0 ] && make_prefs > "$dir/KOLVAR.prf"
    local t0 t1
    t0=$(now)
    (cd "$dir" && /usr/bin/time -v -o time.txt "$kolvar" < answers.txt > console.txt 2> err.txt) ||
        { echo "kolvar failed (niter $1), see $dir" >&2; KEEP=1; exit 1; }
    t1=$(now)
    test -s "$dir/benchPrinda.txt" || { echo "no report written (niter $1)" >&2; exit 1; }
    local cpu
    cpu=$(awk -F': ' '/User time/ {u = $2} /System time/ {s = $2} END {print u + s}' "$dir/time.txt")
    echo "$(echo "$t1 - $t0" | bc -l) $(awk -F': ' '/Maximum resident/ {print $2}' "$dir/time.txt") $cpu"
}

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); threads: ${threads} (0 = all)"
echo "data: $ncsm communities x $tcst OTUs, 8 traits, 4 variables; $niter permutations"
make_data "$work/data" "$ncsm" "$tcst"
read -r total peak cpu < <(run "$niter")
printf "total wall time: %.2f s (processor time %.2f s)\npeak resident memory: %.0f MB\n" "$total" "$cpu" \
    "$(echo "$peak / 1024" | bc -l)"
if [ "$base" -gt 0 ] && [ "$niter" -gt "$base" ]; then
    read -r tb pb cb < <(run "$base")
    printf "time per permutation: %.4f s ((t(%d) - t(%d)) / %d; set-up and report %.2f s)\n" \
        "$(echo "($total - $tb) / ($niter - $base)" | bc -l)" "$niter" "$base" "$((niter - base))" "$tb"
    # On a shared machine the wall times depend on the other work; the
    # processor time does not (much): all threads together, per permutation.
    printf "processor time per permutation: %.4f s (set-up and report %.2f s)\n" \
        "$(echo "($cpu - $cb) / ($niter - $base)" | bc -l)" "$cb"
fi
