#!/bin/sh
# The probe program end to end, with real clicks and keys:
# - under a window manager the frame and the window together are 601 x 540;
# - the drawing area's centre is logical (0, 0), each mark drawn right after start-up lies at
#   its logical point, and a click on a mark, on the black square's bottom-left pixel and on
#   each corner of the drawing area arrives as exactly that logical point;
# - four clicks 120 ms apart are four mouse events;
# - a running animation that draws nothing ticks every 100 ms (count over 2 s), and a step
#   after a halt gives exactly one tick, at the next timer period;
# - what the screen shows while the program computes without polling: the canvas as it was at
#   the last poll, also one that returned an event already queued and one during a replayed
#   script; and every line printed on the console;
# - F12 held for 2 s saves one picture, and the next press another.
#
# Usage: probe_e2e.sh <probe program>
set -u
APP=${1:?usage: probe_e2e.sh <probe>}
. "$(dirname "$0")/xvfb_lib.sh"
require_program

start_xvfb
start_app
tries=0
until [ "$(grep -c '^mark ' "$WORK/app.log")" -eq 6 ]; do
    tries=$((tries + 1))
    [ $tries -le 50 ] || fail "the program did not draw its marks"
    sleep 0.1
done
sleep 0.3

if [ "$E2E_WM" != none ]; then
    extents=$(xprop -id "$WINDOW" _NET_FRAME_EXTENTS | sed -n 's/.* = //p' | tr -d ' ')
    [ -n "$extents" ] || fail "the window manager did not frame the window"
    outer=$(echo "$extents" | awk -F, -v w="$WIN_W" -v h="$WIN_H" '{ print w + $1 + $2 "x" h + $3 + $4 }')
    [ "$outer" = 601x540 ] || fail "framed window is $outer, not 601x540 (frame $extents)"
    echo "ok: framed window 601x540 (frame $extents)"
fi

# Bounding box "left top right bottom" in screen pixels of colour $3 (RRGGBB) within region $2
# (WxH+X+Y) of screenshot $1; nothing when the colour is not there. The colour is turned into
# a key colour and everything else into black, inside a black border, so the box is what a
# trim of the border would leave.
box() {
    convert "$WORK/$1.png" -crop "$2" +repage -fill '#FE01FE' -opaque "#$3" -fill black +opaque '#FE01FE' \
        -bordercolor black -border 1 -format '%@' info: 2>/dev/null |
        awk -F'[x+]' -v at="${2#*+}" 'BEGIN { split(at, o, "+") }
            $1 > 0 { l = $3 - 1 + o[1]; t = $4 - 1 + o[2]; print l, t, l + $1 - 1, t + $2 - 1 }'
}

mouse_events() {
    grep -c '^mouse ' "$WORK/app.log"
}

# Clicks screen pixel ($1, $2) and expects the mouse event at logical ($3, $4).
click_expect() {
    before=$(mouse_events)
    xdotool mousemove "$1" "$2" click 1
    tries=0
    while [ "$(mouse_events)" -le "$before" ]; do
        tries=$((tries + 1))
        [ $tries -le 30 ] || fail "no mouse event for a click at screen ($1, $2)"
        sleep 0.1
    done
    got=$(grep '^mouse ' "$WORK/app.log" | tail -n 1 | awk '{ print $2, $3 }')
    [ "$got" = "$3 $4" ] || fail "$5: click at screen ($1, $2) arrived as ($got), expected ($3 $4)"
    echo "ok: $5 at logical ($3, $4)"
    sleep 0.25 # no double-clicks between separate points
}

# The drawing area is where the chalk filling the whole canvas shows.
shot marks
set -- $(box marks "${WIN_W}x${WIN_H}+${WIN_X}+${WIN_Y}" FFFF99)
[ $# -eq 4 ] || fail "no chalk drawing area in the window"
LEFT=$1 TOP=$2 RIGHT=$3 BOTTOM=$4
W=$((RIGHT - LEFT + 1))
H=$((BOTTOM - TOP + 1))
ORIGIN_X=$((LEFT + W / 2))
ORIGIN_Y=$((TOP + H / 2))
echo "drawing area ${W}x${H} at screen ($LEFT, $TOP), logical origin at screen ($ORIGIN_X, $ORIGIN_Y)"
[ "$W" -eq "$WIN_W" ] || fail "the drawing area is $W wide in a window $WIN_W wide"

grep '^mark ' "$WORK/app.log" | while read -r _ rgb x y; do
    set -- $(box marks "${W}x${H}+${LEFT}+${TOP}" "$rgb")
    [ $# -eq 4 ] || fail "mark #$rgb at ($x, $y) is not in the drawing area"
    cx=$((($1 + $3) / 2))
    cy=$((($2 + $4) / 2))
    [ "$cx" -eq $((ORIGIN_X + x)) ] && [ "$cy" -eq $((ORIGIN_Y - y)) ] ||
        fail "mark #$rgb for ($x, $y) is drawn at screen ($cx, $cy), not ($((ORIGIN_X + x)), $((ORIGIN_Y - y)))"
    click_expect "$cx" "$cy" "$x" "$y" "mark #$rgb"
done || exit 1
set -- $(box marks "${W}x${H}+${LEFT}+${TOP}" 000000)
click_expect "$1" "$4" 0 0 "bottom-left pixel of the black square"

XL=$((-(W / 2)))
XR=$((W - 1 - W / 2))
YT=$((H / 2))
YB=$((H / 2 - H + 1))
click_expect "$LEFT" "$TOP" "$XL" "$YT" "top-left corner"
click_expect "$RIGHT" "$TOP" "$XR" "$YT" "top-right corner"
click_expect "$LEFT" "$BOTTOM" "$XL" "$YB" "bottom-left corner"
click_expect "$RIGHT" "$BOTTOM" "$XR" "$YB" "bottom-right corner"

# Quick clicks: every press counts, double-clicks included.
before=$(mouse_events)
xdotool mousemove $((ORIGIN_X - 100)) $((ORIGIN_Y + 100)) click --repeat 4 --delay 120 1
sleep 0.5
quick=$(($(mouse_events) - before))
[ "$quick" -eq 4 ] || fail "four clicks 120 ms apart gave $quick mouse events"
echo "ok: four quick clicks, four mouse events"

# Ticks while the program draws nothing: about 20 in 2 s. The pointer stays over the window,
# which has the keyboard.
key_time() {
    grep "^key $1 " "$WORK/app.log" | tail -n 1 | awk '{ print $3 }'
}
xdotool key r
sleep 2.4
xdotool key h
sleep 0.3
start=$(key_time 114)
[ -n "$start" ] || fail "the key r did not arrive"
ticks=$(awk -v s="$start" '$1 == "tick" && $3 >= s && $3 < s + 2000' "$WORK/app.log" | wc -l)
echo "ticks in the 2 s after the animation started: $ticks"
[ "$ticks" -ge 16 ] && [ "$ticks" -le 22 ] || fail "$ticks ticks in 2 s, expected about 20"
echo "ok: one tick per 100 ms"

# Three steps after the halt: one tick each, at the next timer period (within 100 ms of the
# key, plus delivery; the mean is bounded generously for a busy machine).
total=0
for step in 1 2 3; do
    ticks_before=$(grep -c '^tick ' "$WORK/app.log")
    xdotool key s
    sleep 0.6
    ticks_after=$(grep -c '^tick ' "$WORK/app.log")
    [ $((ticks_after - ticks_before)) -eq 1 ] || fail "step $step gave $((ticks_after - ticks_before)) ticks"
    delay=$(($(grep '^tick ' "$WORK/app.log" | tail -n 1 | awk '{ print $3 }') - $(key_time 115)))
    echo "step $step: one tick $delay ms after the key"
    total=$((total + delay))
done
[ $((total / 3)) -le 125 ] || fail "a step's tick comes $((total / 3)) ms after the key on average"
echo "ok: each step gave one tick"

wait_for_line() {
    tries=0
    until grep -q "$1" "$WORK/app.log"; do
        tries=$((tries + 1))
        [ $tries -le 50 ] || fail "the program printed no line matching $1"
        sleep 0.1
    done
}

# The square at logical (0, 100) as the screen shows it, while the program computes.
square_shown() {
    shot "$1"
    screen_pixel "$1" "$ORIGIN_X" $((ORIGIN_Y - 100))
}

# A red square drawn before a wait that takes an event already queued.
xdotool key w
sleep 0.3
xdotool key x
wait_for_line '^computing'
sleep 0.5
shown=$(square_shown queued)
[ "$shown" = FF0000 ] || fail "drawn before a wait that took a queued key, the square shows $shown, not red"
echo "ok: the canvas at a poll that took a queued event is on the screen"
wait_for_line '^computed'

# A replayed script: the square red, blue at the last poll, magenta after it.
printf 'VORNA_PERIODIC(20);\r\n' >VORNA.SCR
xdotool key d
sleep 0.3
xdotool key ctrl+p
wait_for_line '^drew 20'
sleep 0.5
shown=$(square_shown replayed)
[ "$shown" = 0000FF ] || fail "after a replayed script's last poll the square shows $shown, not blue"
echo "ok: the canvas at a replayed script's last poll is on the screen"
sleep 4

# Two console lines printed at once, then no poll for 4 s: the second, long one shows too.
TEXT=$(xdotool search --name '^VORNA Text$' | head -n 1)
[ -n "$TEXT" ] || fail "no console window"
text_info=$(xwininfo -id "$TEXT")
TX=$(echo "$text_info" | awk '/Absolute upper-left X:/ { print $4 }')
TY=$(echo "$text_info" | awk '/Absolute upper-left Y:/ { print $4 }')
TH=$(echo "$text_info" | awk '/  Height:/ { print $2 }')
xdotool key p
wait_for_line '^printed'
sleep 0.5
shot console
# The bottom row's lower part, beyond the short line: only the long line inks it.
inked=$(convert "$WORK/console.png" -crop "300x10+$((TX + 200))+$((TY + TH - 10))" -depth 8 txt:- | grep -v -c -i '#FFFFFF')
[ "$inked" -gt 20 ] || fail "the second of two lines printed at once is not the bottom row on the screen ($inked inked pixels)"
echo "ok: both lines printed at once are on the screen"
sleep 4

# F12 held for 2 s (the window system repeats it) saves one picture; the next press another.
xdotool keydown F12
sleep 2
xdotool keyup F12
sleep 0.5
saved=$(ls "$WORK" | grep -c '^VORNA-[0-9]*\.png$')
[ "$saved" -eq 1 ] || fail "F12 held for 2 s saved $saved pictures"
xdotool key F12
sleep 0.5
saved=$(ls "$WORK" | grep -c '^VORNA-[0-9]*\.png$')
[ "$saved" -eq 2 ] || fail "a second press of F12 left $saved pictures, not 2"
echo "ok: one press of F12, one picture"

xdotool key ctrl+q
expect_clean_exit
