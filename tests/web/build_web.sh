#!/usr/bin/env bash
# build_web.sh SOURCE_DIR OUT_DIR: the browser build for the web tests.
#   OUT_DIR/build     the project configured with emcmake (runtime, car scene, docs examples)
#   OUT_DIR/install   that build installed: the prefix a student's emcmake project finds
#   OUT_DIR/student   a student's CMake project (find_package(vorna), vorna_web_page)
#   OUT_DIR/pages     the pages the tests open: probe.html from vorna-web, the others from CMake,
#                     try/ the docs' try-it page as installed
# Exit status 77 (skipped) when Emscripten is not installed.
set -euo pipefail
src=$1
out=$2
command -v emcmake >/dev/null || { echo "build_web: emcmake is not installed (apt-get install emscripten)"; exit 77; }
export NODE_PATH=/usr/share/nodejs # emcc's optimizer needs Debian's node modules
launchers=()
if command -v ccache >/dev/null; then
  launchers=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
emcmake cmake -S "$src" -B "$out/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORNA_WERROR=ON -DVORNA_BUILD_BENCH=OFF "${launchers[@]}" >/dev/null
cmake --build "$out/build" -j2
rm -rf "$out/install" "$out/pages" "$out/student"
cmake --install "$out/build" --prefix "$out/install" >/dev/null
mkdir -p "$out/pages"
cp "$out"/build/doc-examples/*.html "$out/build/bin/carscene.html" "$out/pages/"
cp -r "$out/install/share/doc/vorna/try" "$out/pages/try"
"$out/install/bin/vorna-web" "$src/tests/web/probe_web.c" -o "$out/pages/probe.html"

# The CMake route, as the README shows it: its project with its one more line, on a C program.
mkdir -p "$out/student"
sed -n '/^```cmake$/,/^```$/p' "$src/README.md" | sed '1d;$d' >"$out/student/CMakeLists.txt"
web_line=$(grep -o -m1 'vorna_web_page(balls)' "$src/README.md") ||
  { echo "build_web: README has no vorna_web_page line"; exit 1; }
echo "$web_line" >>"$out/student/CMakeLists.txt"
cp "$src/tests/web/probe_web.c" "$out/student/balls.c"
emcmake cmake -S "$out/student" -B "$out/student/build" -G Ninja -Dvorna_DIR="$out/install/lib/cmake/vorna" >/dev/null
cmake --build "$out/student/build" -j2 >/dev/null
test -s "$out/student/build/balls.html" || { echo "build_web: the student's project made no balls.html"; exit 1; }
grep -q 'VornaPage' "$out/student/build/balls.html"
echo "build_web: pages in $out/pages"
