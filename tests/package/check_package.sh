#!/bin/sh
# check_package: installs the built runtime into a scratch prefix outside the build tree and uses
# it as a student would. The README's program is built the README's two ways and their C++
# twins: cc and c++ with pkg-config, and CMake projects that enable C, C++, and both. Every
# program, the installed carscene and the installed examples must link the runtime alone (no
# Qt library, no Qt flags, no C++ library for a C program), start without LD_LIBRARY_PATH, run
# headless to their first wait and end with status 0 when asked to quit. The prefix has a blank
# in its name, as "~/My Courses/vorna" has, and the programs call sin and cos, as students' do.
# The reference, its pictures and its examples are installed beside the examples.
# Usage: check_package.sh <build dir> <source dir>
set -eu
BUILD=${1:?build dir}
SOURCE=${2:?source dir}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
PREFIX="$WORK/My Courses/vorna"
README=$SOURCE/README.md
unset LD_LIBRARY_PATH
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$WORK/xdg" PKG_CONFIG_PATH="$PREFIX/lib/pkgconfig"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Its input without the scratch folder's path, whose random name may hold the letters "qt".
without_work() {
    sed "s|$WORK||g"
}

fail() {
    echo "installed package: $*" >&2
    exit 1
}

cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null
test -f "$PREFIX/include/vorna.h" || fail "no vorna.h"
for doc in reference.md pictures/palette.png examples/example_main.c examples/draw_line.c; do
    test -f "$PREFIX/share/doc/vorna/$doc" || fail "share/doc/vorna/$doc is not installed"
done

# The library: a versioned SONAME, and exactly the header's functions plus the entry main() calls.
readelf -d "$PREFIX/lib/libvorna.so" | grep -q 'SONAME.*\[libvorna\.so\.[0-9][0-9]*\]' || fail "no SONAME"
nm -D --defined-only "$PREFIX/lib/libvorna.so" | awk '{print $3}' | sort >"$WORK/exported"
{ grep -oE '^[a-z][a-z ]*\*?VORNA_[a-z_]+\(' "$PREFIX/include/vorna.h" | grep -oE 'VORNA_[a-z_]+'
  echo VORNA_run_main; } | sort >"$WORK/declared"
diff "$WORK/declared" "$WORK/exported" >&2 || fail "libvorna.so exports other symbols than vorna.h declares"

flags=$(pkg-config --cflags --libs vorna) || fail "pkg-config does not know vorna"
header_version=$(awk '/^#define VORNA_VERSION_(MAJOR|MINOR|PATCH) / { printf "%s%s", sep, $3; sep = "." }' \
    "$PREFIX/include/vorna.h")
[ "$header_version" = "$(pkg-config --modversion vorna)" ] ||
    fail "vorna.h gives version $header_version, pkg-config $(pkg-config --modversion vorna)"
case $(printf '%s' "$flags" | without_work) in *[Qq]t*) fail "pkg-config flags name Qt: $flags" ;; esac

# Links libvorna from the prefix and no Qt; $2 = c: no C++ library either.
check_linked() {
    needed=$(readelf -d "$1" | grep NEEDED)
    case $needed in *libvorna.so.*) ;; *) fail "$1 does not link libvorna: $needed" ;; esac
    case $needed in *Qt*) fail "$1 links Qt: $needed" ;; esac
    if [ "${2:-}" = c ]; then
        case $needed in *stdc++*) fail "$1, a C program, links the C++ library: $needed" ;; esac
    fi
    found=$(ldd "$1" | sed -n 's/^[[:space:]]*libvorna\.so[^ ]* => \(.*\) (0x[0-9a-f]*)$/\1/p')
    [ -n "$found" ] && [ "$(dirname "$(realpath "$found")")" = "$(realpath "$PREFIX/lib")" ] ||
        fail "$1 does not find libvorna in the prefix: ${found:-not found}"
}

# True while process $1 runs (a process that ended but was not yet waited for is a zombie).
running() {
    [ -e "/proc/$1" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null
}

# Starts the program, waits until the runtime has taken over SIGTERM (it turns it into a quit,
# which the program sees at its first wait), sends it, and expects status 0, each step bounded.
# Standard error must stay empty: it carries only the program's and the runtime's own messages.
run_to_quit() {
    "$@" >"$WORK/run.log" 2>"$WORK/run.err" &
    pid=$!
    tries=0
    until caught=$(awk '/^SigCgt/ {print $2}' "/proc/$pid/status" 2>/dev/null) && [ -n "$caught" ] &&
        [ $((0x$caught & 0x4000)) -ne 0 ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 600 ] || ! running "$pid"; then
            kill -KILL "$pid" 2>/dev/null || true
            cat "$WORK/run.log" "$WORK/run.err" >&2
            fail "$1 did not start"
        fi
        sleep 0.05
    done
    kill -TERM "$pid"
    tries=0
    while running "$pid"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 600 ]; then
            kill -KILL "$pid"
            fail "$1 did not quit"
        fi
        sleep 0.05
    done
    status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || { cat "$WORK/run.log" "$WORK/run.err" >&2; fail "$1 ended with status $status after a quit"; }
    [ ! -s "$WORK/run.err" ] || { cat "$WORK/run.err" >&2; fail "$* wrote the above to standard error"; }
}

# The README's program, its cc line and its CMake project.
mkdir "$WORK/balls"
cd "$WORK/balls"
{ echo '#include <math.h>'
  sed -n '/^```c$/,/^```$/p' "$README" | sed '1d;$d'
  echo 'double wave(double x) { return sin(x) + cos(x); }'; } >balls.c
cp balls.c balls.cpp
cc_line=$(grep -m1 '^eval cc balls\.c ' "$README") || fail "README has no cc line"
sed -n '/^```cmake$/,/^```$/p' "$README" | sed '1d;$d' >CMakeLists.txt.readme
grep -q '^project(balls C)$' CMakeLists.txt.readme || fail "README's CMake example has no project(balls C)"
# The browser's one more line, which the desktop package takes as doing nothing.
echo 'vorna_web_page(balls)' >>CMakeLists.txt.readme

sh -c "$cc_line" || fail "README's cc line failed: $cc_line"
check_linked ./balls c
run_to_quit ./balls
cxx_line=$(echo "$cc_line" | sed 's/^eval cc balls\.c -o balls/eval c++ balls.cpp -o balls_cxx/')
sh -c "$cxx_line" || fail "the cc line as c++ failed: $cxx_line"
check_linked ./balls_cxx
run_to_quit ./balls_cxx

# CMake: Qt made unfindable, so a package that still looked for it fails here.
for languages in C CXX "C CXX"; do
    dir=$(echo "project $languages" | tr ' ' _)
    mkdir "$dir"
    if [ "$languages" = CXX ]; then source_file=balls.cpp; else source_file=balls.c; fi
    cp "$source_file" "$dir/"
    sed -e "s/^project(balls C)$/project(balls $languages)/" -e "s/balls\.c)/$source_file)/" \
        CMakeLists.txt.readme >"$dir/CMakeLists.txt"
    cmake -S "$dir" -B "$dir/build" -G Ninja -DCMAKE_PREFIX_PATH="$PREFIX" -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON \
        -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >"$WORK/cmake.log" 2>&1 || { cat "$WORK/cmake.log" >&2; fail "CMake project($languages) does not configure"; }
    cmake --build "$dir/build" >"$WORK/cmake.log" 2>&1 || { cat "$WORK/cmake.log" >&2; fail "CMake project($languages) does not build"; }
    ! without_work <"$dir/build/compile_commands.json" | grep -qi qt || fail "CMake project($languages) compiles with Qt flags"
    if [ "$languages" = C ]; then check_linked "$dir/build/balls" c; else check_linked "$dir/build/balls"; fi
    run_to_quit "$dir/build/balls"
done

# The installed car scene, and the installed examples built the README's way; the reference's
# examples each with the program around them, example_main.c.
check_linked "$PREFIX/bin/carscene"
run_to_quit "$PREFIX/bin/carscene"
# The toolkit's option words are the program's arguments like any others, and the toolkit's own
# notes (no XDG_RUNTIME_DIR, a hint the platform cannot pass on) stay off standard error.
run_to_quit env -u XDG_RUNTIME_DIR "$PREFIX/bin/carscene" -reverse -style Fusion -platform nowhere
run_to_quit env -u XDG_RUNTIME_DIR "$PREFIX/bin/carscene" -platform offscreen
examples="$PREFIX/share/doc/vorna/examples"
for example in "$examples"/*.c; do
    name=$(basename "$example" .c)
    [ "$name" = example_main ] && continue
    main=
    grep -q 'draw_example' "$example" && main="$examples/example_main.c"
    eval cc -Wall -Werror '"$example"' ${main:+'"$main"'} -o "$name" "$flags" || fail "example $name does not build"
    check_linked "./$name" c
done
run_to_quit ./primitives_demo

echo "installed package: pkg-config and CMake (C, C++, both) builds, carscene and examples work from $PREFIX"
