#!/bin/sh
# Compares the catalog walk with find and bfs in interleaved rounds on a warm
# cache and prints the median wall time of each command (milliseconds) and
# the ratios the targets are stated in.
#   bench/run-catalog.sh BUILD_DIR TREE [ROUNDS]
# BASELINE=/path/to/another/catalog_walk adds that binary's two walks to the
# same rounds (a before/after comparison under the same load).
set -eu
build=${1:?build directory (Release recommended)}
tree=${2:?tree path}
rounds=${3:-9}
walk="$build/bench/catalog_walk"
base=${BASELINE:-}
cmake --build "$build" --target catalog_walk >/dev/null

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
names="walk-none walk-all find find-size bfs"
[ -n "$base" ] && names="base-none base-all $names"
command -v bfs >/dev/null || names=$(echo "$names" | sed 's/ bfs//')
run() {
    case $1 in
    walk-none) "$walk" "$tree" none ;;
    walk-all) "$walk" "$tree" all ;;
    base-none) "$base" "$tree" none ;;
    base-all) "$base" "$tree" all ;;
    find) find "$tree" ;;
    find-size) find "$tree" -size -100c ;;
    bfs) bfs "$tree" ;;
    esac
}
# Warm the cache (dentries, inodes, attributes).
for n in $names; do run "$n" >/dev/null 2>&1; done
i=0
while [ "$i" -lt "$rounds" ]; do
    for n in $names; do
        t0=$(now)
        run "$n" >/dev/null 2>&1
        t1=$(now)
        echo $(((t1 - t0) / 1000000)) >>"$tmp/$n"
    done
    i=$((i + 1))
done
echo "tree: $tree  rounds: $rounds  entries: $("$walk" "$tree" none | awk '{print $2}')"
for n in $names; do
    median <"$tmp/$n" >"$tmp/$n.median"
    printf '%-10s median %6s ms  (%s)\n' "$n" "$(cat "$tmp/$n.median")" "$(tr '\n' ' ' <"$tmp/$n")"
done
ratio() { awk -v a="$(cat "$tmp/$1.median")" -v b="$(cat "$tmp/$2.median")" 'BEGIN {printf "%.2f", a / b}'; }
echo "walk-none / find: $(ratio walk-none find)  walk-all / find-size: $(ratio walk-all find-size)"
[ -n "$base" ] && echo "base-none / find: $(ratio base-none find)  base-all / find-size: $(ratio base-all find-size)"
exit 0
