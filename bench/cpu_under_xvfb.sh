#!/bin/sh
# cpu_under_xvfb: the CPU a VORNA program uses under a virtual X server, measured from
# /proc/<pid>/stat over a few seconds.
#
# Usage: cpu_under_xvfb.sh <program> [seconds, default 5] [click]
#   With "click", the program's graphics window gets one click first (the car scene's title
#   screen waits for it before the animation runs); without it the program is measured as it
#   waits after start-up.
set -u
APP=${1:?usage: cpu_under_xvfb.sh <program> [seconds] [click]}
SECONDS_TO_MEASURE=${2:-5}
CLICK=${3:-}
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is not installed"; exit 77; }
done
APP=$(cd "$(dirname "$APP")" && pwd)/$(basename "$APP")

WORK=$(mktemp -d)
XVFB_PID=
APP_PID=
cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    sleep 0.5
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
XVFB_PID=$!
while [ ! -s "$WORK/display" ]; do sleep 0.1; done
DISPLAY=:$(head -n 1 "$WORK/display")
export DISPLAY

mkdir -m 700 "$WORK/runtime"
cd "$WORK" || exit 1
env -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$WORK/runtime" "$APP" >/dev/null 2>&1 &
APP_PID=$!
WINDOW=
while [ -z "$WINDOW" ]; do
    sleep 0.1
    WINDOW=$(xdotool search --name '^VORNA Graphics$' 2>/dev/null | head -n 1)
done
if [ "$CLICK" = click ]; then
    eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
fi
sleep 1

# Fields 14 and 15 of /proc/<pid>/stat: user and system time in clock ticks. The command
# name in field 2 has no spaces here, so plain field splitting is safe.
cpu_ticks() {
    awk '{ print $14 + $15 }' "/proc/$APP_PID/stat"
}
HZ=$(getconf CLK_TCK)
start_ticks=$(cpu_ticks)
start_ns=$(date +%s%N)
sleep "$SECONDS_TO_MEASURE"
end_ticks=$(cpu_ticks)
end_ns=$(date +%s%N)

awk -v name="$(basename "$APP")" -v t=$((end_ticks - start_ticks)) -v hz="$HZ" -v ns=$((end_ns - start_ns)) 'BEGIN {
    cpu = t / hz; wall = ns / 1e9;
    printf "%s: %.2f s CPU over %.2f s = %.2f%% of one core\n", name, cpu, wall, 100 * cpu / wall }'
