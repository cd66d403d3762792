#!/bin/sh
# mark_bench: vorna-mark on a class of generated programs (the marking test's model with its
# sun moved a pixel further for each student) with --jobs 2, against a bare loop doing the
# same work two at a time without sandbox or report: cc, then the unattended run with the same
# variables, clock and address randomisation off. Prints programs per minute for both, their
# ratio, and what starting one sandbox costs.
# Usage: mark_bench.sh <build dir> [programs, default 100]   (as root)
set -eu
BUILD=${1:?usage: mark_bench.sh <build dir> [programs]}
COUNT=${2:-100}
SOURCE=$(cd "$(dirname "$0")/.." && pwd)
MODEL=$SOURCE/tests/mark/model.c
INPUT=$SOURCE/tests/mark/input.scr
[ "$(id -u)" -eq 0 ] || { echo "mark_bench: run as root (the sandbox's job slots are user ids)"; exit 77; }
WORK=$(mktemp -d)
chmod 755 "$WORK"
trap 'rm -rf "$WORK"' EXIT
cmake --install "$BUILD" --prefix "$WORK/prefix" >/dev/null
PREFIX=$WORK/prefix

mkdir -p "$WORK/class"
i=0
while [ $i -lt "$COUNT" ]; do
    sed "s/VORNA_fill_circle(COLOR_YELLOW, 200, 180, 30)/VORNA_fill_circle(COLOR_YELLOW, $((150 + i)), 180, 30)/" \
        "$MODEL" >"$WORK/class/student$(printf %03d $i).c"
    i=$((i + 1))
done

now() { date +%s.%N; }

start=$(now)
"$PREFIX/bin/vorna-mark" --model "$MODEL" --input "$INPUT" --jobs 2 --no-progress --out "$WORK/report" \
    "$WORK"/class/*.c 2>"$WORK/mark.err" || { cat "$WORK/mark.err"; exit 1; }
mark_seconds=$(echo "$(now) - $start" | bc)

# The bare loop: one shell per program, two at a time.
cat >"$WORK/bare_one.sh" <<BARE
#!/bin/sh
src=\$1
out=$WORK/bare/\$(basename "\$src" .c)
mkdir -p "\$out"
cc "\$src" -o "\$out/program" -I$PREFIX/include -L$PREFIX/lib -Wl,-rpath,$PREFIX/lib -lvorna_main -lvorna -lm 2>"\$out/err" || exit 0
cd "\$out" && QT_QPA_PLATFORM=offscreen VORNA_PLAY=$INPUT VORNA_PLAY_EXIT=1 VORNA_PICTURE=end.png VORNA_LOG=log.txt \\
    LD_PRELOAD=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1 FAKETIME="@2026-01-01 09:00:00" \\
    FAKETIME_DONT_FAKE_MONOTONIC=1 timeout 10 setarch -R ./program </dev/null >/dev/null 2>>err || true
BARE
chmod +x "$WORK/bare_one.sh"
start=$(now)
ls "$WORK"/class/*.c | xargs -P 2 -n 1 "$WORK/bare_one.sh"
bare_seconds=$(echo "$(now) - $start" | bc)

# One sandbox started and ended around /bin/true, twenty times, against /bin/true alone.
start=$(now)
for i in $(seq 20); do
    bwrap --unshare-all --die-with-parent --new-session --ro-bind /usr /usr --symlink usr/lib /lib \
        --symlink usr/lib64 /lib64 --symlink usr/bin /bin --proc /proc --dev /dev --tmpfs /tmp /bin/true
done
sandbox_ms=$(echo "($(now) - $start) * 1000 / 20" | bc)

matches=$(grep -c ',matches,' "$WORK/report/results.csv" || true)
echo "programs: $COUNT ($matches of them match the model, the one whose sun is where the model's is)"
echo "vorna-mark --jobs 2: $(printf %.1f "$mark_seconds") s, $(echo "$COUNT * 60 / $mark_seconds" | bc) programs per minute"
echo "bare loop, 2 at a time: $(printf %.1f "$bare_seconds") s, $(echo "$COUNT * 60 / $bare_seconds" | bc) programs per minute"
echo "ratio vorna-mark / bare loop: $(echo "scale=2; $mark_seconds / $bare_seconds" | bc)"
echo "starting and ending one sandbox: $sandbox_ms ms"
