#!/bin/sh
# Recording and replaying a script in the car scene under a virtual X server.
#
# First run: click the title away, Ctrl+R, let some ticks pass, click "More Cars", type x, let
# more ticks pass, Ctrl+R again, then Ctrl+Q. VORNA.SCR must hold the ticks, the click at the
# button's logical position and the key, one line each, every line ending in CR LF.
# Second run: click the title away, Ctrl+P. Playback halts the animation and replays the script
# at once, so a second car appears on the lower road and then the scene stands still. SIGTERM
# then ends the program with exit code 0.
#
# Usage: script_e2e.sh <carscene program>
# Exits 77 (skipped) when Xvfb, xdotool or ImageMagick are missing.
set -u

APP=${1:?usage: script_e2e.sh <carscene>}

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
    if [ -n "${WORK:-}" ] && [ -f "$WORK/VORNA.SCR" ]; then
        echo "--- VORNA.SCR ---"
        od -c "$WORK/VORNA.SCR" | head -n 20
    fi
    exit 1
}

for tool in Xvfb xdotool import convert; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -x "$APP" ] || fail "no program at $APP"
APP=$(cd "$(dirname "$APP")" && pwd)/$(basename "$APP")

WORK=$(mktemp -d)
XVFB_PID=
APP_PID=
cleanup() {
    if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
        kill -9 "$APP_PID" 2>/dev/null
    fi
    if [ -n "$XVFB_PID" ] && kill -0 "$XVFB_PID" 2>/dev/null; then
        kill "$XVFB_PID" 2>/dev/null
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

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

# Starts the program in the work directory and waits for its graphics window.
start_app() {
    env -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$WORK/runtime" "$APP" >>"$WORK/app.log" 2>&1 &
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
    eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
    WIN_X=$X
    WIN_Y=$Y
    WIN_W=$WIDTH
    WIN_H=$HEIGHT
    sleep 0.5
    # Without a window manager the keyboard follows the pointer: keep it over the window.
    xdotool mousemove $((WIN_X + WIN_W / 2)) $((WIN_Y + WIN_H / 2)) click 1
    sleep 0.4
}

# Waits for the program to end and checks its exit code.
expect_exit_zero() {
    tries=0
    while kill -0 "$APP_PID" 2>/dev/null; do
        tries=$((tries + 1))
        [ $tries -le 50 ] || fail "carscene still running 5 s after $1"
        sleep 0.1
    done
    wait "$APP_PID"
    rc=$?
    APP_PID=
    [ $rc -eq 0 ] || fail "carscene exited with code $rc after $1"
    echo "ok: exit code 0 after $1"
}

shot() {
    import -window root "png:$WORK/$1.png" || fail "screenshot failed"
}

# The logical origin on the screen, from the first ice-blue pixel of the day sky, which is
# logical (-300, 250).
find_origin() {
    corner=$(convert "$WORK/$1.png" -crop "80x$((WIN_H / 2))+${WIN_X}+${WIN_Y}" +repage -depth 8 txt:- |
        awk -F'[,:]' 'toupper($0) ~ /#99FFFF/ { if (!found || $2 < top || ($2 == top && $1 < left)) { top = $2; left = $1; found = 1 } }
                      END { if (found) print left, top }')
    [ -n "$corner" ] || fail "no ice-blue day sky in the window"
    ORIGIN_X=$((WIN_X + ${corner% *} + 300))
    ORIGIN_Y=$((WIN_Y + ${corner#* } + 250))
}

# Red pixels in the scene's row y from logical x1 to x2.
count_red() {
    convert "$WORK/$1.png" -crop "$(($4 - $3 + 1))x1+$((ORIGIN_X + $3))+$((ORIGIN_Y - $2))" -depth 8 txt:- |
        grep -c -i "#FF0000"
}

# A checksum of the window's drawing area in a screenshot.
scene_sum() {
    convert "$WORK/$1.png" -crop "600x500+$((ORIGIN_X - 300))+$((ORIGIN_Y - 250))" +repage rgb:- | cksum
}

# --- First run: record ---------------------------------------------------------------------
start_app
shot first
find_origin first
echo "logical origin at screen ($ORIGIN_X, $ORIGIN_Y)"

xdotool key ctrl+r
sleep 1
xdotool mousemove $((ORIGIN_X - 257)) $((ORIGIN_Y - 82)) click 1
sleep 0.3
xdotool key x
sleep 0.5
xdotool key ctrl+r
sleep 0.3
[ -s VORNA.SCR ] || fail "no VORNA.SCR after recording"
cp VORNA.SCR recorded.scr
xdotool key ctrl+q
expect_exit_zero "Ctrl+Q"
cmp -s VORNA.SCR recorded.scr || fail "VORNA.SCR changed after the recording was switched off"

# Every line is one of the forms and ends in CR LF.
lines=$(wc -l <VORNA.SCR)
crlf=$(grep -c "$(printf '\r')\$" VORNA.SCR)
[ "$lines" -eq "$crlf" ] || fail "$crlf of $lines lines end in CR LF"
tr -d '\r' <VORNA.SCR >plain.scr
grep -q -x 'VORNA_MOUSE(-257, 82);' plain.scr || fail "no line for the click on More Cars at (-257, 82)"
grep -q -x 'VORNA_KBD(120);' plain.scr || fail "no line for the key x"
grep -q -x 'VORNA_PERIODIC([1-9][0-9]*);' plain.scr || fail "no periodic line"
grep -v -x -e 'VORNA_MOUSE(-\{0,1\}[0-9]*, -\{0,1\}[0-9]*);' -e 'VORNA_KBD(-\{0,1\}[0-9]*);' \
    -e 'VORNA_PERIODIC([1-9][0-9]*);' plain.scr >odd.scr && fail "unexpected lines: $(cat odd.scr)"
first=$(head -n 1 plain.scr)
case $first in VORNA_PERIODIC*) ;; *) fail "the recording does not start with ticks: $first" ;; esac
echo "ok: recorded $lines lines:"
cat plain.scr

# --- Second run: replay ----------------------------------------------------------------------
start_app
shot before
[ "$(count_red before -40 -300 -120)" -eq 0 ] || fail "a second car before the replay"
xdotool key ctrl+p
sleep 1
shot replayed
red=$(count_red replayed -40 -300 -120)
[ "$red" -ge 15 ] || fail "after the replay: no second car on the lower road ($red red pixels)"
echo "ok: the replayed click on More Cars added a car"
sleep 0.5
shot later
[ "$(scene_sum replayed)" = "$(scene_sum later)" ] || fail "the scene still moves after the replay"
echo "ok: playback halted the animation"
cmp -s VORNA.SCR recorded.scr || fail "VORNA.SCR changed during the replay"

kill -TERM "$APP_PID"
expect_exit_zero "SIGTERM"
exit 0
