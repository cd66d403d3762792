#!/bin/sh
# console_under_xvfb: how long printing 10,000 console lines takes, under a virtual X server
# with the console window really on the (virtual) screen.
#
# Usage: console_under_xvfb.sh <console_client program>
set -u
APP=${1:?usage: console_under_xvfb.sh <console_client>}
. "$(dirname "$0")/../tests/e2e/xvfb_lib.sh"
require_tools Xvfb xdotool
APP=$(absolute "$APP")
start_xvfb
start_app
xdotool mousemove $((WIN_X + WIN_W / 2)) $((WIN_Y + WIN_H / 2)) click 1
tries=0
until grep -q '^10000 lines' app.log; do
    tries=$((tries + 1))
    [ $tries -le 600 ] || fail "no measurement within 60 s"
    kill -0 "$APP_PID" 2>/dev/null || fail "the client ended early"
    sleep 0.1
done
expect_clean_exit >/dev/null
grep '^10000 lines' app.log
