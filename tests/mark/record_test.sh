#!/bin/bash
# record_test.sh: vorna-mark --record builds a model and runs it on screen with VORNA_RECORD
# set: a click and a key given on a virtual X server, then Ctrl+Q, leave a script of exactly
# those two events, recorded from the program's first wait, and vorna-mark ends with status 0.
# Usage: record_test.sh <vorna-mark program>
MARK=${1:?usage: record_test.sh <vorna-mark>}
# shellcheck source-path=SCRIPTDIR source=../e2e/xvfb_lib.sh
. "$(dirname "$0")/../e2e/xvfb_lib.sh"
[ "$(id -u)" -eq 0 ] || skip "needs root (the sandbox's build slots are user ids of their own)"
command -v bwrap >/dev/null || skip "bubblewrap is not installed"
[ -x "$MARK" ] || fail "no vorna-mark at $MARK"
MARK=$(absolute "$MARK")

# A model with no animation, so the script holds the given events and no ticks.
cat >"$WORK/dots.c" <<'C'
#include "vorna.h"
int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line, int show_mode) {
    int x = 0, y = 0;
    char key = 0;
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_clear();
    while (VORNA_next_event(&x, &y, &key) != EVENT_QUIT) VORNA_fill_circle(COLOR_RED, x, y, 6);
    VORNA_shutdown();
    return 0;
}
C
# vorna-mark's stage goes under TMPDIR: here, to see that it is removed. The sandbox's users
# must pass through the folders on the way.
chmod 711 "$WORK"
mkdir -m 711 "$WORK/tmp"
cat >"$WORK/record.sh" <<SH
#!/bin/sh
TMPDIR="$WORK/tmp" exec "$MARK" --record "$WORK/dots.c" --out "$WORK/rec.scr"
SH
chmod +x "$WORK/record.sh"
APP=$WORK/record.sh
require_program
start_xvfb
start_app

# The middle of the drawing area's width is logical x 0.
xdotool mousemove $((WIN_X + WIN_W / 2)) $((WIN_Y + WIN_H / 2)) click 1
sleep 0.3
xdotool key a
sleep 0.3
xdotool key ctrl+q
expect_clean_exit

[ -f rec.scr ] || fail "no recorded script"
lines=$(tr -d '\r' <rec.scr)
echo "recorded: $lines"
if [ "$(wc -l <rec.scr)" -ne 2 ] || [ "$(grep -c "$(printf '\r')\$" rec.scr)" -ne 2 ]; then
    fail "the script is not two lines ending in CR LF"
fi
first=$(echo "$lines" | head -n 1)
echo "$first" | grep -Eqx 'VORNA_MOUSE\(-?[0-2], -?[0-9]+\);' || fail "the click was recorded as: $first"
[ "$(echo "$lines" | tail -n 1)" = "VORNA_KBD(97);" ] || fail "the key was not recorded as VORNA_KBD(97)"
[ -z "$(ls "$WORK/tmp")" ] || fail "vorna-mark left its stage folder: $(ls "$WORK/tmp")"
echo "ok: vorna-mark --record recorded the click and the key"
