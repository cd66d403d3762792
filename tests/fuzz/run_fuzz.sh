#!/bin/sh
# run_fuzz.sh: builds the script-reader fuzz target and runs it for a bounded time.
#
# Usage: tests/fuzz/run_fuzz.sh [SECONDS] [WORK_DIR]
#   SECONDS   how long to fuzz (default 60)
#   WORK_DIR  where the binary, the corpus and temporary files go (default: a new temp dir,
#             removed afterwards)
# With clang++ the target is a libFuzzer binary (address and undefined-behaviour sanitizers);
# without it, the same target is linked with a small mutating driver and built with g++ and
# the same sanitizers. Exits 0 when no fault was found, non-zero on a fault or when the target
# does not build, 77 when there is no compiler at all. VORNA_FUZZ_NO_CLANG=1 forces the g++
# driver.
set -eu

seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

if [ $# -ge 2 ]; then
    work=$2
    mkdir -p "$work"
    cleanup=
else
    work=$(mktemp -d)
    cleanup=$work
fi
trap '[ -n "$cleanup" ] && rm -rf "$cleanup"' EXIT
mkdir -p "$work/corpus" "$work/tmp"
rm -rf "$work/tmp"/vorna-fuzz-*

flags="-std=c++20 -g -O1 -fno-omit-frame-pointer -fno-sanitize-recover=undefined -I$root -I$root/runtime"
sources="$here/fuzz_script_reader.cpp $root/runtime/script.cpp"

if [ -z "${VORNA_FUZZ_NO_CLANG:-}" ] && command -v clang++ >/dev/null 2>&1 &&
    clang++ $flags -fsanitize=fuzzer,address,undefined $sources -o "$work/fuzz_script_reader" 2>"$work/build.log"; then
    echo "run_fuzz: libFuzzer target, $seconds s"
    TMPDIR="$work/tmp" "$work/fuzz_script_reader" -max_total_time="$seconds" -max_len=4096 \
        -print_final_stats=1 "$work/corpus" "$here/seeds"
elif command -v g++ >/dev/null 2>&1; then
    # A target that does not build is a broken build, never a skip.
    g++ $flags -fsanitize=address,undefined $sources "$here/fuzz_driver_main.cpp" -o "$work/fuzz_script_driver" \
        2>"$work/build.log" || { echo "run_fuzz: the fuzz target does not build" >&2; cat "$work/build.log" >&2; exit 1; }
    echo "run_fuzz: clang++ with libFuzzer not available, standalone driver, $seconds s"
    TMPDIR="$work/tmp" "$work/fuzz_script_driver" "$seconds" "$here"/seeds/*
else
    echo "run_fuzz: no compiler; skipped" >&2
    exit 77
fi
