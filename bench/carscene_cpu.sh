#!/bin/sh
# carscene_cpu: CPU use of the running car scene under a virtual X server, animating at
# 10 ticks a second, measured from /proc/<pid>/stat over a few seconds.
#
# Usage: carscene_cpu.sh <carscene program> [seconds, default 5]
set -u
APP=${1:?usage: carscene_cpu.sh <carscene> [seconds]}
SECONDS_TO_MEASURE=${2:-5}
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
eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
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

awk -v t=$((end_ticks - start_ticks)) -v hz="$HZ" -v ns=$((end_ns - start_ns)) 'BEGIN {
    cpu = t / hz; wall = ns / 1e9;
    printf "carscene at 10 ticks a second: %.2f s CPU over %.2f s = %.1f%% of one core\n", cpu, wall, 100 * cpu / wall }'
