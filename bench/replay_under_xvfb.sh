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

# Waits up to $3 seconds for the client to have printed $2 lines that match $1.
wait_for_lines() {
    tries=0
    while [ "$(grep -c "$1" app.log)" -lt "$2" ]; do
        tries=$((tries + 1))
        [ $tries -le $(($3 * 10)) ] || fail "no line $2 matching $1 within $3 s"
        kill -0 "$APP_PID" 2>/dev/null || fail "the client ended early"
        sleep 0.1
    done
}

start_app
# Without a window manager the keyboard follows the pointer: it stays over the window.
xdotool mousemove $((WIN_X + WIN_W / 2)) $((WIN_Y + WIN_H / 2)) click 1
wait_for_lines '^ready$' 1 60
xdotool key ctrl+p
wait_for_lines '^ready$' 2 120
xdotool key ctrl+p
wait_for_lines '^drawing log on , CPU' 1 120
expect_clean_exit >/dev/null
grep -v '^ready$' app.log
