#!/bin/sh
# Builds the benchmark trees: TREE (plain) and TREE-mac (with Finder
# information attributes and AppleDouble sidecars).
#   bench/make-tree.sh BUILD_DIR TREE
set -eu
build=${1:?build directory}
tree=${2:?tree path}
cmake --build "$build" --target make_tree >/dev/null
rm -rf "$tree" "$tree-mac"
"$build/bench/make_tree" "$tree"
"$build/bench/make_tree" "$tree-mac" --mac
