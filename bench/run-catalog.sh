#!/bin/sh
# Compares the catalog walk with find and bfs in interleaved rounds on a warm
# cache and prints the median wall time of each command (milliseconds).
#   bench/run-catalog.sh BUILD_DIR TREE [ROUNDS]
set -eu
build=${1:?build directory (Release recommended)}
tree=${2:?tree path}
rounds=${3:-9}
walk="$build/bench/catalog_walk"
cmake --build "$build" --target catalog_walk >/dev/null

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
names="walk-none walk-all find find-size bfs"
run() {
    case $1 in
    walk-none) "$walk" "$tree" none ;;
    walk-all) "$walk" "$tree" all ;;
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
        echo $(( (t1 - t0) / 1000000 )) >>"$tmp/$n"
    done
    i=$((i + 1))
done
echo "tree: $tree  rounds: $rounds  entries: $("$walk" "$tree" none | awk '{print $2}')"
for n in $names; do
    printf '%-10s median %6s ms  (%s)\n' "$n" "$(median <"$tmp/$n")" "$(tr '\n' ' ' <"$tmp/$n")"
done
