#!/bin/sh
# The primitives example end to end under a virtual X server, with real input: a click at the
# centre of the drawing area arrives as a mouse event at about (0, 0) and leaves a red dot, a
# typed letter arrives as a key event, Alt+X and Delete give none, Alt+R then Q (the Run
# menu's Quit) ends the program with exit code 0.
#
# Usage: example_e2e.sh <primitives_demo program>
set -u
APP=${1:?usage: example_e2e.sh <primitives_demo>}
. "$(dirname "$0")/xvfb_lib.sh"
require_tools Xvfb xdotool import convert
[ -x "$APP" ] || fail "no program at $APP"
APP=$(absolute "$APP")

start_xvfb
start_app
sleep 0.5

# The drawing area fills the window below the menu bar: its centre, the logical origin, lies
# a little below the window's centre.
xdotool mousemove $((WIN_X + WIN_W / 2)) $((WIN_Y + WIN_H / 2 + 10)) click 1
sleep 0.5
grep -q '^mouse at (-\?[0-9]*,-\?[0-9]*)$' "$WORK/app.log" || fail "no mouse event after a click"
line=$(grep '^mouse at' "$WORK/app.log" | head -n 1)
x=$(echo "$line" | sed 's/^mouse at (\(-\?[0-9]*\),.*/\1/')
y=$(echo "$line" | sed 's/^mouse at (-\?[0-9]*,\(-\?[0-9]*\))$/\1/')
[ "${x#-}" -le 2 ] || fail "click at the centre arrived at x $x"
[ "$y" -le 0 ] && [ "$y" -ge -30 ] || fail "click 10 pixels below the window centre arrived at y $y"
echo "ok: $line"

shot clicked
[ "$(screen_pixel clicked $((WIN_X + WIN_W / 2)) $((WIN_Y + WIN_H / 2 + 10)))" = "FF0000" ] ||
    fail "no red dot where the click was"
echo "ok: red dot drawn at the click"

xdotool windowfocus --sync "$WINDOW" 2>/dev/null || true
xdotool key --window "$WINDOW" a
sleep 0.5
grep -q '^key 97$' "$WORK/app.log" || fail "typing a gave no key event 97"
echo "ok: key 97"

# Alt combinations and Delete type nothing, so they give no key event.
xdotool key --window "$WINDOW" alt+x Delete b
sleep 0.5
grep -q '^key 98$' "$WORK/app.log" || fail "typing b gave no key event 98"
grep -q -e '^key 120$' -e '^key 127$' "$WORK/app.log" && fail "Alt+X or Delete gave a key event"
echo "ok: no key event from Alt+X or Delete"

# Alt+R opens the Run menu, where Q picks Quit.
xdotool key alt+r
sleep 0.5
xdotool key q
expect_clean_exit
grep -q '^quit$' "$WORK/app.log" || fail "the program did not see the quit event"
