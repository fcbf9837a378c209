#!/usr/bin/env bash
# Statistical checks and timings of the simulation study (main menu A), run
# through the real binary with an answers file.
#
# Design: 30 sites, 40 OTUs, 3 traits (independent, normal), 2 factors
# (independent, normal), 50 years x 10 steps per year, 20 individuals per site
# on average, every demographic parameter drawn at random, no feedback.
#   null       response parameters 0: the traits do not depend on the factors
#   filter     trait 1 responds strongly to factor 1 (parameter 1.5)
#   strong     the same with parameter 3
# Analysis: full metacommunity, trimmed, Beals, no partition, fuzzy types,
# Mantel on Euclidean distances, all traits and OTUs, unit totals, niter
# permutations counting the observed data, alpha 0.05, all factors together.
#
# EVERY=y analyses every trait subset with every single factor and prints the
# rates of trait 1 alone against factor 1 alone.
#
# Usage: bench/simulation_study.sh [datasets] [niter] [design...] [shuffle...]
#   defaults: 200 100 "null filter" "s t"; build folder in $BUILD (build-rel).
# Prints, per design and null model, the wall time and the rejection rates of
# the 13 statistics; the 99% binomial interval around alpha for the data sets.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-rel}
n=${1:-200}
niter=${2:-100}
designs=${3:-"null filter"}
shuffles=${4:-"s t"}
kolvar=$build/kolvar
[ -x "$kolvar" ] || { echo "no $kolvar: build the kolvar target first" >&2; exit 1; }
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] && cp -r "$work" "$KEEP"; rm -rf "$work"' EXIT

printf '1 0 0\n0 1 0\n0 0 1\n' > "$work/traitcorr.txt"
printf '1 0\n0 1\n' > "$work/factorcorr.txt"
printf '0 0\n0 0\n0 0\n' > "$work/resp_null.txt"
printf '1.5 0\n0 0\n0 0\n' > "$work/resp_filter.txt"
printf '3 0\n0 0\n0 0\n' > "$work/resp_strong.txt"
printf '0 0 0\n0 0 0\n' > "$work/effect.txt"

answers() {  # design shuffle
    local shuffle_answers every_answers
    if [ "${EVERY:-n}" = y ]; then every_answers=y; else every_answers=$'n\n1'; fi
    if [ "$2" = s ]; then shuffle_answers="s"; else shuffle_answers=$'t\n0\nn'; fi
    cat <<ANS
A
30
40
3
c
n
traitcorr.txt
n
r
0.2 0.8
-3 -1
r
2
c
factorcorr.txt
n
n
resp_$1.txt
effect.txt
r
0.2 0.8
-3 -1
n
r
0.3 0.7
-4 -2
r
0.3 0.9
-3 -1
r
2 10
r
0.5 0.9
-3 -1
20
50
10
0.5
y
$n
0.05
n
2
20261207
f
y
b
0
1
1
6
m
1
1
y
$niter
$shuffle_answers
n
$every_answers
X
ANS
}

awk -v n="$n" 'BEGIN {
    p = 0.05; sd = sqrt(p * (1 - p) / n);
    printf "alpha 0.05, %d data sets: 99%% binomial interval (normal approximation) %.4f .. %.4f\n", n, p - 2.5758 * sd, p + 2.5758 * sd }'

for design in $designs; do
    for shuffle in $shuffles; do
        dir=$work/$design-$shuffle
        mkdir -p "$dir"
        cp "$work"/*.txt "$dir"/
        answers "$design" "$shuffle" > "$dir/answers"
        t0=$(date +%s.%N)
        (cd "$dir" && "$kolvar" < answers > console.txt 2> errors.txt) || { echo "run failed"; tail "$dir/errors.txt"; exit 1; }
        t1=$(date +%s.%N)
        echo
        echo "== design $design, shuffle $shuffle, $n data sets, niter $niter: $(echo "$t1 - $t0" | bc) s wall"
        grep -E "could be analysed" "$dir/FinalSimulatedData.txt" || true
        if [ "${EVERY:-n}" = y ]; then
            # The analysis of trait 1 alone against factor 1 alone.
            awk '/^Traits:       \t1$/ {t = 1} t && /^Weights:/ {if ($0 == "Weights:\t1\t0") p = 1; else t = 0}
                 p && /P=/ {print; if (/r\(SbM\)/) exit}' "$dir/FinalSimulatedData.txt"
        else
            sed -n '/^Convergence (TCAP): r(TE)\tP=/,/^r(SbM)/p' "$dir/FinalSimulatedData.txt" | grep "P=" | tail -n 13
        fi
    done
done
