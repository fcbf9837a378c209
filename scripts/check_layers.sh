#!/usr/bin/env bash
# Fails when a source folder includes a folder above it. The layers, bottom
# to top; a folder may include itself and any folder below it:
#   base        console streams, prompt readers, menu headings, fatal exits,
#               formatting, safe file writes, plain state structs, progress
#   QMLib       numerical library: matrices, resemblance, ordination, random draws
#   stattests   permutation tests, statistics, matrix correlation, regression, diversity
#   data        data set, formatted file, import, derived data sets, group partitions
#   analysis    functional analysis: settings dialogue, driver, report
#   ranking     trait subset ranking
#   simulation  metacommunity simulation
#   program     start-up, menu dispatch, Program, preferences, track file
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
layers=(base QMLib stattests data analysis ranking simulation program)

rank_of() {
    local i
    for i in "${!layers[@]}"; do
        [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }
    done
    echo -1
}

status=0
while IFS= read -r -d '' file; do
    rel=${file#"$root/src/"}
    folder=${rel%%/*}
    own=$(rank_of "$folder")
    if [ "$own" -lt 0 ]; then
        echo "src/$rel: folder '$folder' is not a known layer" >&2
        status=1
        continue
    fi
    while IFS= read -r line; do
        target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/' <<<"$line")
        [[ $target == */* ]] || continue
        dep=$(rank_of "${target%%/*}")
        if [ "$dep" -gt "$own" ]; then
            echo "src/$rel: $folder includes $target from a higher layer" >&2
            status=1
        elif [ "$dep" -lt 0 ]; then
            echo "src/$rel: includes $target from an unknown folder" >&2
            status=1
        fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
done < <(find "$root/src" -type f \( -name '*.hpp' -o -name '*.cpp' \) -print0)
[ "$status" -eq 0 ] && echo "layers: every include points down"
exit "$status"
