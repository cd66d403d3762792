#!/bin/sh
# input_under_xvfb: how fast input reaches the screen, and whether 16 ms ticks hold 60 a second,
# in a program that draws the car scene's heaviest frame, under a virtual X server.
#
# Starts input_client, lets input_latency_probe press the space bar and click the left button
# (each 50 times) and time each until the square in the middle of the window changes on the
# screen; then types t, and the client runs 16 ms ticks for 5 s, drawing the heaviest frame on
# each, and prints the rate it got. Runs without a window manager unless VORNA_E2E_WM=openbox.
#
# Usage: input_under_xvfb.sh <input_client program> <input_latency_probe program>
set -u
APP=${1:?usage: input_under_xvfb.sh <input_client> <input_latency_probe>}
PROBE=${2:?usage: input_under_xvfb.sh <input_client> <input_latency_probe>}
VORNA_E2E_WM=${VORNA_E2E_WM:-none}
. "$(dirname "$0")/../tests/e2e/xvfb_lib.sh"
require_tools Xvfb xdotool
APP=$(absolute "$APP")
PROBE=$(absolute "$PROBE")
start_xvfb
start_app
tries=0
until grep -q '^ready$' app.log; do
    tries=$((tries + 1))
    [ $tries -le 100 ] || fail "the client did not get ready"
    sleep 0.1
done
sleep 0.5
"$PROBE" $((WIN_X + WIN_W / 2)) $((WIN_Y + WIN_H / 2)) 50 || fail "the probe failed"
xdotool key t
tries=0
until grep -q '^ticks at' app.log; do
    tries=$((tries + 1))
    [ $tries -le 200 ] || fail "the client did not report its ticks"
    sleep 0.1
done
expect_clean_exit >/dev/null
grep '^ticks at' app.log
