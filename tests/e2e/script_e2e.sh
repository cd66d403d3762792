#!/bin/sh
# Recording and replaying a script in the car scene under a virtual X server.
#
# First run: click the title away, Ctrl+R, let some ticks pass, press F12, click "More Cars",
# type x, let more ticks pass, Ctrl+R again, then Ctrl+Q. F12 must save VORNA-0001.png and add
# nothing to the recording. VORNA.SCR must hold the ticks, the click at the button's logical
# position and the key, one line each, every line ending in CR LF.
# Second run: click the title away, Ctrl+P. Playback halts the animation and replays the script
# at once, so a second car appears on the lower road and then the scene stands still. Then a
# long run of ticks is added to the script and Ctrl+P plays it again: while the script still
# hands out ticks, closing the window (or, without the close helper, SIGTERM) ends the program
# with exit code 0; the script's events do not swallow the quit.
#
# Usage: script_e2e.sh <carscene program> [<close_window helper>]
# Exits 77 (skipped) when Xvfb, xdotool or ImageMagick are missing.
set -u

APP=${1:?usage: script_e2e.sh <carscene> [<close_window>]}
CLOSER=${2:-}

dump_script() {
    if [ -f "$WORK/VORNA.SCR" ]; then
        echo "--- VORNA.SCR ---"
        od -c "$WORK/VORNA.SCR" | head -n 20
    fi
}
EXTRA_FAIL_HOOK=dump_script
. "$(dirname "$0")/xvfb_lib.sh"
require_program
start_xvfb

# Starts the car scene and clicks its title screen away. The pointer stays over the window:
# without a window manager the keyboard follows the pointer; with one, the click gave the
# window the keyboard.
start_scene() {
    start_app
    sleep 0.5
    xdotool mousemove $((WIN_X + WIN_W / 2)) $((WIN_Y + WIN_H / 2)) click 1
    sleep 0.4
}

# A checksum of the window's drawing area in a screenshot.
scene_sum() {
    convert "$WORK/$1.png" -crop "600x500+$((ORIGIN_X - 300))+$((ORIGIN_Y - 250))" +repage rgb:- | cksum
}

# --- First run: record ---------------------------------------------------------------------
start_scene
shot first
find_scene_origin first

xdotool key ctrl+r
sleep 1
xdotool key F12
sleep 0.3
xdotool mousemove $((ORIGIN_X - 257)) $((ORIGIN_Y - 82)) click 1
sleep 0.3
xdotool key x
sleep 0.5
xdotool key ctrl+r
sleep 0.3
[ -s VORNA.SCR ] || fail "no VORNA.SCR after recording"
cp VORNA.SCR recorded.scr
xdotool key ctrl+q
expect_clean_exit
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
# F12 during the recording saved the picture and added no line (checked above).
[ "$(convert VORNA-0001.png -format %wx%h info: 2>/dev/null)" = 601x540 ] || fail "F12 saved no 601x540 VORNA-0001.png"
echo "ok: F12 saved VORNA-0001.png"

# --- Second run: replay ----------------------------------------------------------------------
start_scene
shot before
[ "$(count_in_row before -40 -300 -120 FF0000)" -eq 0 ] || fail "a second car before the replay"
xdotool key ctrl+p
sleep 1
shot replayed
red=$(count_in_row replayed -40 -300 -120 FF0000)
[ "$red" -ge 15 ] || fail "after the replay: no second car on the lower road ($red red pixels)"
echo "ok: the replayed click on More Cars added a car"
sleep 0.5
shot later
[ "$(scene_sum replayed)" = "$(scene_sum later)" ] || fail "the scene still moves after the replay"
echo "ok: playback halted the animation"
cmp -s VORNA.SCR recorded.scr || fail "VORNA.SCR changed during the replay"

printf 'VORNA_PERIODIC(100000000);\r\n' >>VORNA.SCR
xdotool key ctrl+p
sleep 0.5
shot playing
sleep 0.5
shot still_playing
[ "$(scene_sum playing)" != "$(scene_sum still_playing)" ] || fail "the long script does not play"
if [ -n "$CLOSER" ] && [ -x "$CLOSER" ]; then
    "$CLOSER" "$WINDOW" || fail "could not send the close request"
    echo "ok: closing the window during playback"
else
    kill -TERM "$APP_PID"
    echo "ok: SIGTERM during playback (no close helper)"
fi
expect_clean_exit
exit 0
