#!/bin/sh
# replay_under_xvfb: how fast a replayed script drives a program, against composing its frames
# alone, under a virtual X server with the windows really on the (virtual) screen.
#
# Runs replay_client with a script of one line, VORNA_PERIODIC(10000);, clicks it once, then
# starts each of its two replays (drawing log off, then on) with Ctrl+P as a user would, and
# prints what the client measured: the compose-only rates, the playback rates and their ratios.
#
# Usage: replay_under_xvfb.sh <replay_client program>
set -u
APP=${1:?usage: replay_under_xvfb.sh <replay_client>}
. "$(dirname "$0")/../tests/e2e/xvfb_lib.sh"
require_tools Xvfb xdotool
APP=$(absolute "$APP")
start_xvfb
printf 'VORNA_PERIODIC(10000);\r\n' >VORNA.SCR

# Waits up to $2 seconds for the client to have printed "ready" $1 times.
wait_ready() {
    tries=0
    while [ "$(grep -c '^ready$' app.log)" -lt "$1" ]; do
        tries=$((tries + 1))
        [ $tries -le $(($2 * 10)) ] || fail "the client did not get ready ($1)"
        kill -0 "$APP_PID" 2>/dev/null || fail "the client ended early"
        sleep 0.1
    done
}

start_app
# Without a window manager the keyboard follows the pointer: it stays over the window.
xdotool mousemove $((WIN_X + WIN_W / 2)) $((WIN_Y + WIN_H / 2)) click 1
wait_ready 1 60
xdotool key ctrl+p
wait_ready 2 120
xdotool key ctrl+p
tries=0
while kill -0 "$APP_PID" 2>/dev/null; do
    tries=$((tries + 1))
    [ $tries -le 1200 ] || fail "the second replay did not end within 120 s"
    sleep 0.1
done
APP_PID=
grep -v -e '^ready$' app.log
