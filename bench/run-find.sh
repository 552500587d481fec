#!/bin/sh
# Compares `seekwright find -r` with `find TREE ! -type d` in interleaved
# rounds on a warm cache. Prints, per command, the median wall time and the
# median CPU time (user + system) in milliseconds, and their ratios to find.
#   bench/run-find.sh BUILD_DIR TREE [ROUNDS]
# BUILD_DIR should be a Release build; TREE (a path without blanks) is made
# by bench/make-tree.sh. BASELINE=/path/to/another/seekwright adds that
# binary's posix form to the same rounds (before/after under the same load).
set -eu
build=${1:?build directory (Release recommended)}
tree=${2:?tree path}
rounds=${3:-7}
sw="$build/cli/seekwright"
base=${BASELINE:-}
cmake --build "$build" --target seekwright >/dev/null

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
command_of() {
    case $1 in
    find) echo "find $tree ! -type d" ;;
    sw-posix) echo "$sw find -r --result posix $tree" ;;
    sw-hfs) echo "$sw find -r --result hfs $tree" ;;
    sw-name) echo "$sw find -r --result name $tree" ;;
    base-posix) echo "$base find -r --result posix $tree" ;;
    esac
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
names="find sw-posix sw-hfs sw-name"
[ -n "$base" ] && names="$names base-posix"
# Warm the cache; every command must list the same number of files.
for n in $names; do
    printf '%-10s %s lines\n' "$n" "$(sh -c "$(command_of "$n")" | wc -l)"
done
i=0
while [ "$i" -lt "$rounds" ]; do
    for n in $names; do
        t0=$(date +%s%N)
        /usr/bin/time -f "%U %S" -o "$tmp/cpu" sh -c "exec $(command_of "$n") >/dev/null"
        t1=$(date +%s%N)
        echo $(((t1 - t0) / 1000000)) >>"$tmp/$n.wall"
        awk '{printf "%d\n", ($1 + $2) * 1000}' "$tmp/cpu" >>"$tmp/$n.cpu"
    done
    i=$((i + 1))
done
findWall=$(median <"$tmp/find.wall")
findCpu=$(median <"$tmp/find.cpu")
echo "tree: $tree  rounds: $rounds"
for n in $names; do
    wall=$(median <"$tmp/$n.wall")
    cpu=$(median <"$tmp/$n.cpu")
    printf '%-10s wall %6s ms (x%s)  cpu %6s ms (x%s)  walls: %s\n' "$n" "$wall" \
        "$(awk -v a="$wall" -v b="$findWall" 'BEGIN {printf "%.2f", a / b}')" "$cpu" \
        "$(awk -v a="$cpu" -v b="$findCpu" 'BEGIN {printf "%.2f", a / b}')" \
        "$(tr '\n' ' ' <"$tmp/$n.wall")"
done
