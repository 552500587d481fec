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

. "$(dirname "$0")/rounds.sh"
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
run_rounds
echo "tree: $tree  rounds: $rounds"
report
