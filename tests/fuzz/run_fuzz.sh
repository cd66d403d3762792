#!/bin/sh
# run_fuzz.sh: runs a built fuzz target (the script reader's by default) for a bounded time.
#
# Usage: tests/fuzz/run_fuzz.sh SECONDS KIND [PROGRAM [WORK_DIR]]
#   SECONDS   how long to fuzz
#   KIND      libfuzzer (PROGRAM is build/tests/fuzz/libfuzzer/fuzz_script_reader, made where clang++
#             can link libFuzzer), driver (PROGRAM is build/tests/fuzz/fuzz_script_driver, the
#             standalone driver), or none (the compiler has no sanitizers: skipped)
#   WORK_DIR  where the corpus and temporary files go (default: a new temp dir, removed
#             afterwards)
# VORNA_FUZZ_SEEDS names the seed folder (default: tests/fuzz/seeds, the script reader's).
# Both programs are built with the address and undefined-behaviour sanitizers, by the build
# itself: a target that no longer compiles fails the build, not this script. Exits 0 when no
# fault was found, non-zero on a fault or a missing program, 77 for KIND none.
# A longer run: cmake --build build && tests/fuzz/run_fuzz.sh 600 libfuzzer build/tests/fuzz/libfuzzer/fuzz_script_reader
set -eu

seconds=${1:?usage: run_fuzz.sh SECONDS KIND [PROGRAM [WORK_DIR]]}
kind=${2:?usage: run_fuzz.sh SECONDS KIND [PROGRAM [WORK_DIR]]}
here=$(cd "$(dirname "$0")" && pwd)
seeds=${VORNA_FUZZ_SEEDS:-$here/seeds}

if [ "$kind" = none ]; then
    echo "run_fuzz: the C++ compiler has no address and undefined-behaviour sanitizers; skipped"
    exit 77
fi
program=${3:?usage: run_fuzz.sh SECONDS KIND [PROGRAM [WORK_DIR]]}
[ -x "$program" ] || { echo "run_fuzz: no fuzz program at $program (build it first)" >&2; exit 1; }

if [ $# -ge 4 ]; then
    work=$4
    mkdir -p "$work"
    cleanup=
else
    work=$(mktemp -d)
    cleanup=$work
fi
trap '[ -n "$cleanup" ] && rm -rf "$cleanup"' EXIT
mkdir -p "$work/corpus" "$work/tmp"
rm -rf "$work/tmp"/vorna-fuzz-*

case $kind in
libfuzzer)
    echo "run_fuzz: libFuzzer target, $seconds s"
    TMPDIR="$work/tmp" "$program" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
        "$work/corpus" "$seeds"
    ;;
driver)
    echo "run_fuzz: standalone driver (clang++ with libFuzzer not available), $seconds s"
    TMPDIR="$work/tmp" "$program" "$seconds" "$seeds"/*
    ;;
*)
    echo "run_fuzz: KIND must be libfuzzer, driver or none, not $kind" >&2
    exit 2
    ;;
esac
