#!/bin/sh
# check_package: installs the built runtime into a scratch prefix, builds the outside project
# in tests/package against it with find_package(vorna), and runs the result.
# Usage: check_package.sh <build dir> <source dir>
set -eu
BUILD=${1:?build dir}
SOURCE=${2:?source dir}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cmake --install "$BUILD" --prefix "$WORK/prefix" >/dev/null
test -f "$WORK/prefix/include/vorna.h"
cmake -S "$SOURCE/tests/package" -B "$WORK/build" -G Ninja -DCMAKE_PREFIX_PATH="$WORK/prefix" >/dev/null
cmake --build "$WORK/build" >/dev/null
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$WORK" "$WORK/build/hello" >/dev/null 2>&1
echo "installed package: header, library and CMake package work from an outside project"
