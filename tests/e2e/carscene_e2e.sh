#!/bin/sh
# carscene end to end under a virtual X server: the title screen waits for a click, the first
# frame shows day sky, the red car on the lower road and a green lamp, "More Cars" puts a
# second car on the road, and closing the window ends the program with exit code 0.
#
# Usage: carscene_e2e.sh <carscene program> <close_window helper>
# Exits 77 (skipped) when Xvfb, xdotool, ImageMagick or the helper are missing.
set -u

APP=${1:?usage: carscene_e2e.sh <carscene> <close_window>}
CLOSER=${2:-}

skip() {
    echo "SKIP: $*"
    exit 77
}
fail() {
    echo "FAIL: $*"
    if [ -n "${WORK:-}" ] && [ -s "$WORK/app.log" ]; then
        echo "--- program output ---"
        cat "$WORK/app.log"
    fi
    exit 1
}

for tool in Xvfb xdotool import convert; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -n "$CLOSER" ] && [ -x "$CLOSER" ] || skip "close_window helper not built (needs the X11 headers)"
[ -x "$APP" ] || fail "no program at $APP"
# The program runs in a scratch directory: make both paths absolute first.
APP=$(cd "$(dirname "$APP")" && pwd)/$(basename "$APP")
CLOSER=$(cd "$(dirname "$CLOSER")" && pwd)/$(basename "$CLOSER")

WORK=$(mktemp -d)
XVFB_PID=
APP_PID=
cleanup() {
    if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
        kill "$APP_PID" 2>/dev/null
        sleep 1
        kill -9 "$APP_PID" 2>/dev/null
    fi
    if [ -n "$XVFB_PID" ] && kill -0 "$XVFB_PID" 2>/dev/null; then
        kill "$XVFB_PID" 2>/dev/null
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# Xvfb picks a free display itself and writes its number once it accepts connections.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
tries=0
while [ ! -s "$WORK/display" ]; do
    tries=$((tries + 1))
    [ $tries -le 100 ] || skip "Xvfb did not start: $(cat "$WORK/xvfb.log")"
    kill -0 "$XVFB_PID" 2>/dev/null || skip "Xvfb did not start: $(cat "$WORK/xvfb.log")"
    sleep 0.1
done
DISPLAY=:$(head -n 1 "$WORK/display")
export DISPLAY

mkdir -m 700 "$WORK/runtime"
cd "$WORK" || fail "no work directory"
env -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$WORK/runtime" "$APP" >"$WORK/app.log" 2>&1 &
APP_PID=$!

WINDOW=
tries=0
while [ -z "$WINDOW" ]; do
    tries=$((tries + 1))
    [ $tries -le 100 ] || fail "no window named VORNA Graphics appeared"
    kill -0 "$APP_PID" 2>/dev/null || fail "carscene ended before its window appeared"
    sleep 0.1
    WINDOW=$(xdotool search --name '^VORNA Graphics$' 2>/dev/null | head -n 1)
done

# The window's position on the screen; the drawing area lies inside it, below the menu bar.
eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
WIN_X=$X
WIN_Y=$Y
WIN_W=$WIDTH
WIN_H=$HEIGHT

shot() {
    import -window root "png:$WORK/$1.png" || fail "screenshot failed"
}

# Colour of a screen pixel as RRGGBB.
screen_pixel() {
    convert "$WORK/$1.png" -crop "1x1+$2+$3" -depth 8 txt:- | grep -o '#[0-9A-Fa-f]\{6\}' | tr -d '#' | tr a-f A-F
}

# Colour of the pixel at logical (x, y) of the scene.
scene_pixel() {
    screen_pixel "$1" $((ORIGIN_X + $2)) $((ORIGIN_Y - $3))
}

expect_pixel() {
    got=$(scene_pixel "$1" "$2" "$3")
    [ "$got" = "$4" ] || fail "$5: logical ($2,$3) is #$got, expected #$4"
    echo "ok: $5"
}

# Pixels of the colour in the scene's row y from logical x1 to x2.
count_in_row() {
    left=$((ORIGIN_X + $3))
    convert "$WORK/$1.png" -crop "$(($4 - $3 + 1))x1+$left+$((ORIGIN_Y - $2))" -depth 8 txt:- |
        grep -c -i "#$5"
}

sleep 0.5
shot title
# Title screen: navy sky above a red car, nothing of the scene yet.
[ "$(screen_pixel title $((WIN_X + WIN_W / 2)) $((WIN_Y + WIN_H / 2 + 100)))" = "00FF00" ] ||
    fail "title screen: no green grass below the centre"

xdotool mousemove $((WIN_X + WIN_W / 2)) $((WIN_Y + WIN_H / 2)) click 1
sleep 0.4
shot first

# The sky's top-left corner is logical (-300, 250): the first ice-blue pixel, reading the
# rows of the window's top-left part from the top, fixes the logical origin on the screen.
corner=$(convert "$WORK/first.png" -crop "80x$((WIN_H / 2))+${WIN_X}+${WIN_Y}" +repage -depth 8 txt:- |
    awk -F'[,:]' 'toupper($0) ~ /#99FFFF/ { if (!found || $2 < top || ($2 == top && $1 < left)) { top = $2; left = $1; found = 1 } }
                  END { if (found) print left, top }')
[ -n "$corner" ] || fail "first frame: no ice-blue day sky in the window"
ORIGIN_X=$((WIN_X + ${corner% *} + 300))
ORIGIN_Y=$((WIN_Y + ${corner#* } + 250))
echo "logical origin at screen ($ORIGIN_X, $ORIGIN_Y)"

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
tries=0
while kill -0 "$APP_PID" 2>/dev/null; do
    tries=$((tries + 1))
    [ $tries -le 50 ] || fail "carscene still running 5 s after its window was closed"
    sleep 0.1
done
wait "$APP_PID"
rc=$?
APP_PID=
[ $rc -eq 0 ] || fail "carscene exited with code $rc"
echo "ok: closed with exit code 0"
exit 0
