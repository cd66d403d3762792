#!/bin/sh
# Full input end to end, with real keys, buttons, pointer motion and wheel (xdotool), in the
# two example games:
# - maze: arrow keys pressed and released move the player one cell each; an arrow held down
#   repeats (repeated key events, marked as held); the player is drawn where the program says;
# - paint: a right click on a colour box picks it, a drag with the left button draws a stroke
#   in that colour, the wheel widens the pen, a middle click is an event too;
# - what each program received is recorded with Ctrl+R (the script lines of key releases,
#   named keys, repeats, buttons, drags and the wheel), and each recording played back
#   unattended gives the same moves and the very same picture.
#
# Usage: input_e2e.sh <maze program> <paint program>
set -u
MAZE=${1:?usage: input_e2e.sh <maze> <paint>}
PAINT=${2:?usage: input_e2e.sh <maze> <paint>}
APP=$MAZE
show_logs() {
    for log in "$WORK"/*.log; do
        case $log in */xvfb.log | */wm.log | */app.log) continue ;; esac
        echo "--- $(basename "$log") ---"
        tail -n 20 "$log"
    done
    [ -f "$WORK/VORNA.SCR" ] && echo "--- VORNA.SCR ---" && tail -n 20 "$WORK/VORNA.SCR"
}
EXTRA_FAIL_HOOK=show_logs
. "$(dirname "$0")/xvfb_lib.sh"
require_program
MAZE=$APP
APP=$PAINT
require_program
PAINT=$APP

# Waits up to 5 s for a line matching $1 in the log $2.
wait_for_line() {
    tries=0
    until grep -q "$1" "$2" 2>/dev/null; do
        tries=$((tries + 1))
        [ $tries -le 50 ] || fail "no line matching '$1' in $(basename "$2")"
        sleep 0.1
    done
}

# Screen pixel of logical ($2, $3) in screenshot $1, given the screen position LX, LY of
# logical (X0, Y0).
logical_pixel() {
    screen_pixel "$1" $((LX + $2 - X0)) $((LY - $3 + Y0))
}

# Plays the script $1 with the program $2 unattended on the same desktop (so that its drawing
# area, and with it the picture, is laid out as in the live run), leaving its log and picture
# as $3.log and $3.png.
replay() {
    env -u QT_QPA_PLATFORM VORNA_PLAY="$1" VORNA_PLAY_EXIT=1 VORNA_LOG="$WORK/$3.log" \
        VORNA_PICTURE="$WORK/$3.png" XDG_RUNTIME_DIR="$WORK/runtime" "$2" >"$WORK/$3.out" 2>&1 ||
        fail "the replay of $1 ended with an error: $(cat "$WORK/$3.out")"
}

start_xvfb

# ------------------------------------------------------------------------------------------
# The maze
# ------------------------------------------------------------------------------------------
APP=$MAZE
export VORNA_LOG="$WORK/maze.log" VORNA_PICTURE="$WORK/maze.png"
start_app
wait_for_line 'Player at column 1, row 1$' "$VORNA_LOG"
# The pointer over the window: without a window manager the keyboard follows it.
xdotool mousemove $((WIN_X + WIN_W / 2)) $((WIN_Y + WIN_H / 2))
sleep 0.3
xdotool key ctrl+r
sleep 0.2

xdotool keydown Right
sleep 0.1
xdotool keyup Right
wait_for_line 'Player at column 2, row 1$' "$VORNA_LOG"
xdotool keydown Left keyup Left
wait_for_line 'Player at column 1, row 1$' "$VORNA_LOG"
echo "ok: an arrow key's press moves the player one cell"

# Held down for 1.5 s: the first press and the repeats take the player down to the wall.
xdotool keydown Down
sleep 1.5
xdotool keyup Down
wait_for_line 'Player at column 1, row 5 (held)$' "$VORNA_LOG"
grep -q 'Player at column 1, row 2$' "$VORNA_LOG" || fail "the first move down was not a plain press"
echo "ok: a held arrow key repeats, marked as held"
sleep 0.3
xdotool key ctrl+r
sleep 0.3

shot maze
set -- $(box maze "${WIN_W}x${WIN_H}+${WIN_X}+${WIN_Y}" 003399)
[ $# -eq 4 ] || fail "no maze walls on the screen"
LX=$1 LY=$2 X0=-255 Y0=195 # the maze's top-left corner is logical (-255, 195)
[ "$(logical_pixel maze -210 30)" = FF0000 ] || fail "the player is not drawn in column 1, row 5"
[ "$(logical_pixel maze -210 150)" = FFFFFF ] || fail "the player is still drawn at the start"
echo "ok: the player is on the screen where the program moved it"

# What the program received: presses, a release of each, the repeats marked.
script=$(tr -d '\r' <VORNA.SCR)
echo "$script" | grep -qx 'VORNA_NAMED_KEY(257, 0, 0);' || fail "no Right press recorded: $script"
echo "$script" | grep -qx 'VORNA_RELEASE_KEY(257, 0);' || fail "no Right release recorded: $script"
echo "$script" | grep -qx 'VORNA_RELEASE_KEY(259, 0);' || fail "no Down release recorded: $script"
repeats=$(echo "$script" | grep -cx 'VORNA_NAMED_KEY(259, 0, 1);')
[ "$repeats" -ge 3 ] || fail "holding Down for 1.5 s gave $repeats repeats"
echo "ok: recorded presses, releases and $repeats repeats"
xdotool key Escape
expect_clean_exit

mv VORNA.SCR maze.scr
replay maze.scr "$MAZE" maze-replay
[ "$(grep '^Player' "$WORK/maze-replay.log")" = "$(grep '^Player' "$WORK/maze.log")" ] ||
    fail "the replayed maze moved otherwise: $(grep '^Player' "$WORK/maze-replay.log")"
compare -metric AE "$WORK/maze.png" "$WORK/maze-replay.png" null: 2>/dev/null ||
    fail "the replayed maze's picture differs"
echo "ok: the recording plays back to the same moves and picture"

# ------------------------------------------------------------------------------------------
# Paint
# ------------------------------------------------------------------------------------------
APP=$PAINT
export VORNA_LOG="$WORK/paint.log" VORNA_PICTURE="$WORK/paint.png"
start_app
sleep 0.5
shot tools
set -- $(box tools "${WIN_W}x${WIN_H}+${WIN_X}+${WIN_Y}" FF0000)
[ $# -eq 4 ] || fail "no red colour box on the screen"
LX=$1 LY=$2 X0=-255 Y0=243 # the red box's top-left corner is logical (-255, 243)
at() { # screen position of logical ($1, $2)
    echo $((LX + $1 - X0)) $((LY - $2 + Y0))
}
xdotool mousemove $(at 0 0)
sleep 0.3
xdotool key ctrl+r
sleep 0.2

# Right click on the red box (the second): red is picked.
xdotool mousemove $(at -240 230) click 3
wait_for_line '^Colour 2 picked$' "$VORNA_LOG"
echo "ok: a right click picked red"

# A drag with the left button, in steps.
xdotool mousemove $(at -200 0) mousedown 1
for x in -180 -160 -140 -120 -100; do
    xdotool mousemove $(at $x 0)
    sleep 0.05
done
xdotool mouseup 1
wait_for_line '^Stroke ended at (-100, 0)$' "$VORNA_LOG"

# Three wheel steps away from the user: width 4 becomes 7. Then blue, and a second stroke.
for step in 1 2 3; do xdotool click 4; sleep 0.1; done
wait_for_line '^Pen width 7$' "$VORNA_LOG"
xdotool mousemove $(at -100 230) click 3
wait_for_line '^Colour 4 picked$' "$VORNA_LOG"
xdotool mousemove $(at -200 -100) mousedown 1
for x in -170 -140 -110 -100; do
    xdotool mousemove $(at $x -100)
    sleep 0.05
done
xdotool mouseup 1
wait_for_line '^Stroke ended at (-100, -100)$' "$VORNA_LOG"
xdotool mousemove $(at 100 -200) click 2 click 5
wait_for_line '^Pen width 6$' "$VORNA_LOG"
sleep 0.3
shot painted
[ "$(logical_pixel painted -150 0)" = FF0000 ] || fail "the red stroke is not on the screen"
[ "$(logical_pixel painted -150 -100)" = 0000FF ] || fail "the blue stroke is not on the screen"
[ "$(logical_pixel painted -150 -103)" = 0000FF ] || fail "the blue stroke is not 7 pixels wide"
[ "$(logical_pixel painted -150 -107)" = FFFFFF ] || fail "the blue stroke is wider than 7 pixels"
[ "$(logical_pixel painted -150 -3)" = FFFFFF ] || fail "the red stroke is wider than 4 pixels"
echo "ok: both strokes are on the screen, in their colours and widths"
xdotool mousemove $(at 0 0)
sleep 0.2
xdotool key ctrl+r
sleep 0.2

script=$(tr -d '\r' <VORNA.SCR)
for pattern in '^VORNA_BUTTON(-240, 230, 2, 0);$' '^VORNA_MOUSE(-200, 0);$' '^VORNA_TRACK(-100, 0, 1, 0);$' \
    '^VORNA_LIFT_BUTTON(-100, 0, 1, 0);$' '^VORNA_WHEEL(-100, 0, 1, 0);$' '^VORNA_BUTTON(100, -200, 3, 0);$' \
    '^VORNA_LIFT_BUTTON(100, -200, 3, 0);$' '^VORNA_WHEEL(100, -200, -1, 0);$' '^VORNA_TRACK(100, -200, 0, 0);$'; do
    echo "$script" | grep -q "$pattern" || fail "nothing recorded as $pattern in: $script"
done
[ "$(echo "$script" | grep -c '^VORNA_WHEEL(-100, 0, 1, 0);$')" -eq 3 ] || fail "not three wheel steps: $script"
echo "ok: the right and middle buttons, the drags, the releases and the wheel were recorded"
xdotool key Escape
expect_clean_exit

mv VORNA.SCR paint.scr
replay paint.scr "$PAINT" paint-replay
compare -metric AE "$WORK/paint.png" "$WORK/paint-replay.png" null: 2>/dev/null ||
    fail "the replayed painting differs from the one painted"
echo "ok: the recording paints the same picture"
