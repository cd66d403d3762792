# xvfb_lib.sh: what the end-to-end scripts share, sourced by them: a virtual X server on a free
# display, the program started in a scratch directory, screenshots, and cleaning up.
#
# The sourcing script sets APP (the program) and may set EXTRA_FAIL_HOOK (a function run on
# failure). Exit code 77 means skipped.
#
# VORNA_E2E_WM chooses the desktop: "openbox" (the default) runs a window manager that frames
# windows, as users run programs; "none" runs the bare X server.
E2E_WM=${VORNA_E2E_WM:-openbox}
case $E2E_WM in openbox | none) ;; *) echo "FAIL: VORNA_E2E_WM must be openbox or none, not $E2E_WM"; exit 1 ;; esac

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
    [ -n "${EXTRA_FAIL_HOOK:-}" ] && "$EXTRA_FAIL_HOOK"
    exit 1
}

require_tools() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
    done
}

# An absolute path, since the program runs in the scratch directory.
absolute() {
    echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
}

# The tools every script needs, and $APP a program: APP becomes its absolute path.
require_program() {
    require_tools Xvfb xdotool import convert
    [ -x "$APP" ] || fail "no program at $APP"
    APP=$(absolute "$APP")
}

WORK=$(mktemp -d)
XVFB_PID=
WM_PID=
APP_PID=
cleanup() {
    if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
        kill "$APP_PID" 2>/dev/null
        sleep 1
        kill -9 "$APP_PID" 2>/dev/null
    fi
    if [ -n "$WM_PID" ] && kill -0 "$WM_PID" 2>/dev/null; then
        kill "$WM_PID" 2>/dev/null
    fi
    if [ -n "$XVFB_PID" ] && kill -0 "$XVFB_PID" 2>/dev/null; then
        kill "$XVFB_PID" 2>/dev/null
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# Xvfb picks a free display itself and writes its number once it accepts connections.
start_xvfb() {
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
    mkdir -p -m 700 "$WORK/runtime"
    cd "$WORK" || fail "no work directory"
    [ "$E2E_WM" = none ] || start_window_manager
    echo "desktop: Xvfb on $DISPLAY, window manager: $E2E_WM"
}

# Starts openbox with its stock settings and waits until it has finished starting: it names its
# check window early, but loads its theme and fonts after that (slow on a cold font cache) and
# frames no window until then, so a program started in between would settle unframed. The
# client list on the root window is written last, once it manages the screen.
start_window_manager() {
    require_tools openbox xprop
    XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache" openbox --sm-disable >"$WORK/wm.log" 2>&1 &
    WM_PID=$!
    tries=0
    until xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -q 'window id'; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || fail "openbox did not start: $(cat "$WORK/wm.log")"
        kill -0 "$WM_PID" 2>/dev/null || fail "openbox ended: $(cat "$WORK/wm.log")"
        sleep 0.1
    done
}

# Starts $APP in the work directory, output to app.log, and waits until its graphics window
# is on the screen: sets WINDOW and the screen geometry of the window inside its frame (menu
# bar and drawing area) WIN_X, WIN_Y, WIN_W, WIN_H.
start_app() {
    require_tools xdotool xwininfo
    env -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$WORK/runtime" "$APP" >"$WORK/app.log" 2>&1 &
    APP_PID=$!
    WINDOW=
    info=
    tries=0
    until echo "$info" | grep -q 'Map State: IsViewable'; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || fail "no window named VORNA Graphics appeared"
        kill -0 "$APP_PID" 2>/dev/null || fail "the program ended before its window appeared"
        sleep 0.1
        [ -n "$WINDOW" ] || WINDOW=$(xdotool search --name '^VORNA Graphics$' 2>/dev/null | head -n 1)
        [ -z "$WINDOW" ] || info=$(xwininfo -id "$WINDOW" 2>/dev/null)
    done
    WIN_X=$(echo "$info" | awk '/Absolute upper-left X:/ { print $4 }')
    WIN_Y=$(echo "$info" | awk '/Absolute upper-left Y:/ { print $4 }')
    WIN_W=$(echo "$info" | awk '/  Width:/ { print $2 }')
    WIN_H=$(echo "$info" | awk '/  Height:/ { print $2 }')
}

# Waits up to 5 s for the program to end and fails unless its exit code is 0.
expect_clean_exit() {
    tries=0
    while kill -0 "$APP_PID" 2>/dev/null; do
        tries=$((tries + 1))
        [ $tries -le 50 ] || fail "the program still runs 5 s after it was asked to end"
        sleep 0.1
    done
    wait "$APP_PID"
    rc=$?
    APP_PID=
    [ $rc -eq 0 ] || fail "the program exited with code $rc"
    echo "ok: ended with exit code 0"
}

shot() {
    import -window root "png:$WORK/$1.png" || fail "screenshot failed"
}

# Colour of a screen pixel of screenshot $1 as RRGGBB.
screen_pixel() {
    convert "$WORK/$1.png" -crop "1x1+$2+$3" -depth 8 txt:- | grep -o '#[0-9A-Fa-f]\{6\}' | tr -d '#' | tr a-f A-F
}

# The car scene's logical origin on the screen, from screenshot $1: sets ORIGIN_X and
# ORIGIN_Y. The drawing area fills the window's width, so x is its middle column; the day sky's
# first row near the left edge is logical y 250.
find_scene_origin() {
    sky_top=$(convert "$WORK/$1.png" -crop "1x${WIN_H}+$((WIN_X + 10))+${WIN_Y}" +repage -depth 8 txt:- |
        awk -F'[,:]' 'toupper($0) ~ /#99FFFF/ { print $2; exit }')
    [ -n "$sky_top" ] || fail "no ice-blue day sky in the window"
    ORIGIN_X=$((WIN_X + WIN_W / 2))
    ORIGIN_Y=$((WIN_Y + sky_top + 250))
    echo "logical origin at screen ($ORIGIN_X, $ORIGIN_Y)"
}

# Pixels of colour $5 (RRGGBB) in screenshot $1, in the scene's row y $2 from logical x $3 to $4.
count_in_row() {
    convert "$WORK/$1.png" -crop "$(($4 - $3 + 1))x1+$((ORIGIN_X + $3))+$((ORIGIN_Y - $2))" -depth 8 txt:- |
        grep -c -i "#$5"
}

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
