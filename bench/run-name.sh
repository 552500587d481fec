#!/bin/sh
# The name test against find and bfs: in interleaved rounds on a warm cache,
#   find TREE ! -type d -iname '*PATTERN*'
#   bfs  TREE ! -type d -iname '*PATTERN*'
#   seekwright find -r --name-contains PATTERN TREE
#   seekwright find -r --name-contains ZZZ TREE   (the walk and the test, no result)
#   seekwright find -r --no-files TREE             (the walk alone, no test, no result)
# Prints, per command, the median wall time and the median CPU time (user +
# system) in milliseconds and their ratios to find; checks first that the
# three name searches list the same number of items.
#   bench/run-name.sh BUILD_DIR TREE [ROUNDS] [PATTERN]
# BASELINE=/path/to/another/seekwright adds that binary's name search to the
# same rounds (a before/after comparison under the same load).
# BUILD_DIR should be a Release build; TREE (a path without blanks) is made by
# bench/make-tree.sh. PATTERN is ASCII (default: report).
set -eu
build=${1:?build directory (Release recommended)}
tree=${2:?tree path}
rounds=${3:-7}
pattern=${4:-report}
sw="$build/cli/seekwright"
base=${BASELINE:-}
cmake --build "$build" --target seekwright >/dev/null
command -v bfs >/dev/null || { echo "bfs is not installed" >&2; exit 1; }

. "$(dirname "$0")/rounds.sh"
command_of() {
    case $1 in
    find) echo "find $tree ! -type d -iname '*$pattern*'" ;;
    bfs) echo "bfs $tree ! -type d -iname '*$pattern*'" ;;
    sw-name) echo "$sw find -r --name-contains $pattern $tree" ;;
    sw-miss) echo "$sw find -r --name-contains qqqzzz $tree" ;;
    sw-walk) echo "$sw find -r --no-files $tree" ;;
    base-name) echo "$base find -r --name-contains $pattern $tree" ;;
    esac
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
names="find bfs sw-name sw-miss sw-walk"
[ -n "$base" ] && names="$names base-name"
# Warm the cache and compare what the name searches find.
for n in $names; do
    sh -c "$(command_of "$n")" | LC_ALL=C sort >"$tmp/$n.list"
    printf '%-8s %s lines\n' "$n" "$(wc -l <"$tmp/$n.list")"
done
cmp -s "$tmp/find.list" "$tmp/bfs.list" || echo "warning: find and bfs differ" >&2
cmp -s "$tmp/find.list" "$tmp/sw-name.list" || echo "warning: find and seekwright differ" >&2
run_rounds
echo "tree: $tree  rounds: $rounds  pattern: $pattern  load: $(cut -d' ' -f1-3 /proc/loadavg)"
report
