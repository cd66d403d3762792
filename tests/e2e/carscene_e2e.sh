#!/bin/sh
# carscene end to end under a virtual X server: the title screen waits for a click (framed by
# a window manager, its sky meets the menu bar), the first frame shows day sky, the red car on
# the lower road and a green lamp, "More Cars" puts a second car on the road, and closing the
# window ends the program with exit code 0.
#
# Usage: carscene_e2e.sh <carscene program> <close_window helper>
# Exits 77 (skipped) when Xvfb, xdotool, ImageMagick or the helper are missing.
set -u

APP=${1:?usage: carscene_e2e.sh <carscene> <close_window>}
CLOSER=${2:-}

. "$(dirname "$0")/xvfb_lib.sh"
require_program
[ -n "$CLOSER" ] && [ -x "$CLOSER" ] || skip "close_window helper not built (needs the X11 headers)"
CLOSER=$(absolute "$CLOSER")

start_xvfb
start_app

# Colour of the pixel at logical (x, y) of the scene.
scene_pixel() {
    screen_pixel "$1" $((ORIGIN_X + $2)) $((ORIGIN_Y - $3))
}

expect_pixel() {
    got=$(scene_pixel "$1" "$2" "$3")
    [ "$got" = "$4" ] || fail "$5: logical ($2,$3) is #$got, expected #$4"
    echo "ok: $5"
}

sleep 0.5
shot title
# Title screen: navy sky above a red car, nothing of the scene yet.
[ "$(screen_pixel title $((WIN_X + WIN_W / 2)) $((WIN_Y + WIN_H / 2 + 100)))" = "00FF00" ] ||
    fail "title screen: no green grass below the centre"
if [ "$E2E_WM" != none ]; then
    # Framed, the drawing area is about 500 pixels tall: the title's sky, drawn before any event,
    # reaches up to the menu bar across the whole width, with no white canvas rows between.
    sky_top=$(convert "$WORK/title.png" -crop "1x${WIN_H}+$((WIN_X + 10))+${WIN_Y}" +repage -depth 8 txt:- |
        awk -F'[,:]' 'toupper($0) ~ /#003399/ { print $2; exit }')
    [ -n "$sky_top" ] || fail "title screen: no navy sky"
    above=$(screen_pixel title $((WIN_X + 10)) $((WIN_Y + sky_top - 1)))
    [ "$above" != FFFFFF ] && [ "$above" != 000000 ] || fail "title screen: canvas (#$above) between the menu bar and the sky"
    navy=$(convert "$WORK/title.png" -crop "${WIN_W}x1+${WIN_X}+$((WIN_Y + sky_top))" -depth 8 txt:- | grep -c -i '#003399')
    [ "$navy" -eq "$WIN_W" ] || fail "title screen: the sky's top row is navy in $navy of $WIN_W pixels"
    echo "ok: title sky flush under the menu bar (row $sky_top of the window)"
fi

xdotool mousemove $((WIN_X + WIN_W / 2)) $((WIN_Y + WIN_H / 2)) click 1
sleep 0.4
shot first

find_scene_origin first

expect_pixel first 100 230 99FFFF "day sky"
expect_pixel first 260 -130 00FF00 "green lamp lit"
expect_pixel first 160 -130 CCCCCC "red lamp dark"
# The red car started at (0, -58) and drives right at 5 pixels a tick: its body crosses the
# row 18 above the road's centre line near x 0, and no other car is on the lower road.
near=$(count_in_row first -40 -30 120 FF0000)
[ "$near" -ge 15 ] || fail "first frame: no red car body near (0, -58) ($near red pixels)"
echo "ok: red car near (0,-58)"
behind=$(count_in_row first -40 -300 -31 FF0000)
[ "$behind" -eq 0 ] || fail "first frame: unexpected car left of the red car"

# "More Cars": a new red car enters the lower road at x -270.
xdotool mousemove $((ORIGIN_X - 257)) $((ORIGIN_Y - 82)) click 1
sleep 0.4
shot more
behind=$(count_in_row more -40 -300 -120 FF0000)
[ "$behind" -ge 15 ] || fail "after More Cars: no second car near (-270, -58) ($behind red pixels)"
echo "ok: second car near (-270,-58)"

# Closing the window ends the program normally.
"$CLOSER" "$WINDOW" || fail "could not send the close request"
expect_clean_exit
exit 0
