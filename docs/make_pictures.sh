#!/bin/sh
# make_pictures.sh: draws the reference's pictures again: docs/pictures/NAME.png from the example
# program NAME (docs/examples/NAME.c), each run unattended and without a display, and the
# README's docs/carscene.gif.
# Usage: docs/make_pictures.sh [build dir]    (default: build)
# or:    cmake --build build --target docs_pictures
set -eu
DOCS=$(cd "$(dirname "$0")" && pwd)
BUILD=${1:-$DOCS/../build}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
: >"$WORK/empty.scr"
export QT_QPA_PLATFORM=offscreen VORNA_PLAY="$WORK/empty.scr" VORNA_PLAY_EXIT=1
for source in "$DOCS"/examples/*.c; do
    name=$(basename "$source" .c)
    [ "$name" = example_main ] && continue
    program=$BUILD/doc-examples/$name
    [ -x "$program" ] || { echo "make_pictures: no program $program: build first" >&2; exit 1; }
    VORNA_PICTURE="$DOCS/pictures/$name.png" "$program" >"$WORK/output" 2>&1 ||
        { cat "$WORK/output" >&2; echo "make_pictures: $name failed" >&2; exit 1; }
    echo "docs/pictures/$name.png"
done
# The README's animation: the car scene replaying docs/carscene.scr, recorded by VORNA_GIF.
VORNA_PLAY="$DOCS/carscene.scr" VORNA_GIF="$DOCS/carscene.gif" "$BUILD/bin/carscene" >"$WORK/output" 2>&1 ||
    { cat "$WORK/output" >&2; echo "make_pictures: carscene failed" >&2; exit 1; }
echo "docs/carscene.gif"
