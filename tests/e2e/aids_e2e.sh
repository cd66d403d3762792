#!/bin/sh
# The teaching aids end to end under a virtual X server with real keys and pointer: F1 prints
# their list, F3 lays a grid over the window and takes it away again, F2 shows a label beside
# the pointer; none of the keys is an event for the program.
#
# Usage: aids_e2e.sh <primitives_demo program>
set -u
APP=${1:?usage: aids_e2e.sh <primitives_demo>}
. "$(dirname "$0")/xvfb_lib.sh"
require_program

start_xvfb
export VORNA_LOG="$WORK/console.log"
start_app
sleep 0.5

# Where the logical origin is on the screen: a click and the point it arrived at.
cx=$((WIN_X + WIN_W / 2))
cy=$((WIN_Y + WIN_H / 2 + 10))
xdotool mousemove "$cx" "$cy" click 1
sleep 0.5
line=$(grep '^mouse at' "$WORK/app.log" | head -n 1)
[ -n "$line" ] || fail "no mouse event after a click"
x=$(echo "$line" | sed 's/^mouse at (\(-\?[0-9]*\),.*/\1/')
y=$(echo "$line" | sed 's/^mouse at (-\?[0-9]*,\(-\?[0-9]*\))$/\1/')
ox=$((cx - x))
oy=$((cy + y))
# Away from the pointer, on the grid line 50 units left of the y axis and 50 below the x axis.
gx=$((ox - 50))
gy=$((oy + 50))
xdotool mousemove $((ox + 200)) $((oy - 200))
sleep 0.3

xdotool windowfocus --sync "$WINDOW" 2>/dev/null || true
shot plain
xdotool key --window "$WINDOW" F1
sleep 0.5
grep -q '^Teaching aids (keys):$' "$WORK/console.log" || fail "F1 printed no list of the aids"
grep -q '^  F3  axes and a 50-unit grid' "$WORK/console.log" || fail "F1's list names no grid key"
echo "ok: F1 lists the aids"

xdotool key --window "$WINDOW" F3
sleep 0.5
shot grid
plain_vertical=$(screen_pixel plain "$gx" $((oy - 137)))
plain_horizontal=$(screen_pixel plain $((ox - 137)) "$gy")
[ "$(screen_pixel grid "$gx" $((oy - 137)))" != "$plain_vertical" ] || fail "F3 showed no grid line at x = -50"
[ "$(screen_pixel grid $((ox - 137)) "$gy")" != "$plain_horizontal" ] || fail "F3 showed no grid line at y = -50"
echo "ok: F3 shows the grid"
xdotool key --window "$WINDOW" F3
sleep 0.5
shot no_grid
[ "$(screen_pixel no_grid "$gx" $((oy - 137)))" = "$plain_vertical" ] || fail "F3 again left the grid"
echo "ok: F3 again takes the grid away"

xdotool key --window "$WINDOW" F2
px=$((ox - 200))
py=$((oy - 150))
xdotool mousemove "$px" "$py"
sleep 0.5
shot label
[ "$(screen_pixel label $((px + 20)) $((py + 20)))" != "$(screen_pixel plain $((px + 20)) $((py + 20)))" ] ||
    fail "F2 showed no label beside the pointer"
echo "ok: F2 shows the pointer's label"

grep -q '^key ' "$WORK/app.log" && fail "an aid key reached the program as a key event"

xdotool key alt+r
sleep 0.5
xdotool key q
expect_clean_exit
