#!/bin/sh
# The teaching aids end to end under a virtual X server with real keys and pointer: F1 prints
# their list, F3 lays a grid over the window and takes it away again, F2 shows a label beside
# the pointer, F6 records the window as an animated GIF whose frames are the pictures the
# screen showed; none of the keys is an event for the program. In the car scene, which draws
# every tick, F4's click on the mountain names the call that painted it and outlines it.
#
# Usage: aids_e2e.sh <primitives_demo program> <carscene program>
set -u
APP=${1:?usage: aids_e2e.sh <primitives_demo> <carscene>}
SCENE=${2:?usage: aids_e2e.sh <primitives_demo> <carscene>}
. "$(dirname "$0")/xvfb_lib.sh"
require_program
require_tools identify compare
SCENE=$(absolute "$SCENE")

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

xdotool key --window "$WINDOW" F2
xdotool mousemove $((ox + 200)) $((oy - 200))
sleep 0.3

# F6: three pictures while recording, each on the screen for about half a second.
ms() { echo $(($(date +%s%N) / 1000000)); }
shot rec0
xdotool key --window "$WINDOW" F6
started=$(ms)
sleep 0.5
xdotool mousemove $((ox - 100)) $((oy - 60)) click 1
sleep 0.5
shot rec1
xdotool mousemove $((ox + 120)) $((oy + 90)) click 1
sleep 0.5
shot rec2
xdotool key --window "$WINDOW" F6
stopped=$(ms)
sleep 0.5
grep -q '^Recording animation VORNA-0001.gif$' "$WORK/console.log" || fail "F6 started no recording"
grep -q '^Saved animation VORNA-0001.gif (3 frames, ' "$WORK/console.log" ||
    fail "F6 again saved no 3-frame animation: $(grep animation "$WORK/console.log")"
[ "$(identify VORNA-0001.gif | wc -l)" -eq 3 ] || fail "VORNA-0001.gif does not hold 3 frames"
size=$(identify -format '%Wx%H\n' VORNA-0001.gif | head -n 1)
[ "$size" = 601x540 ] || fail "the animation is $size, not the canvas's 601x540"
# The frames' delays add up to the time between the two presses.
total_cs=$(identify -format '%T\n' VORNA-0001.gif | awk '{ t += $1 } END { print t }')
wall_cs=$(((stopped - started) / 10))
[ $((total_cs * 10)) -ge $((wall_cs * 8)) ] && [ $((total_cs * 10)) -le $((wall_cs * 12)) ] ||
    fail "the frames last $total_cs cs in all, the recording $wall_cs cs"
# Each frame is what the drawing area showed. The canvas's top-left is at the drawing area's;
# the origin is at the middle of the area, whose height is odd or even. Shapes are exact; a
# frame's smoothed text edges beyond 255 colours take the nearest colour kept, which the fuzz
# allows. The window's REC badge at the top right is the window's only, so it is masked.
convert VORNA-0001.gif -coalesce "png24:$WORK/frame-%d.png" || fail "VORNA-0001.gif does not decode"
area_w=$((WIN_W < 601 ? WIN_W : 601))
bottom=$((WIN_Y + WIN_H))
for f in 0 1 2; do
    matched=
    for oy_canvas in $((bottom - oy)) $((bottom - oy - 1)); do
        area_h=$((2 * oy_canvas < 540 ? 2 * oy_canvas : 540))
        convert "$WORK/rec$f.png" -crop "${area_w}x${area_h}+$((ox - WIN_W / 2))+$((oy - oy_canvas))" +repage \
            -fill black -draw "rectangle $((area_w - 80)),0 $area_w,30" "png24:$WORK/shown.png"
        convert "$WORK/frame-$f.png" -crop "${area_w}x${area_h}+0+0" +repage \
            -fill black -draw "rectangle $((area_w - 80)),0 $area_w,30" "png24:$WORK/framed.png"
        differ=$(compare -metric AE -fuzz 10% "$WORK/shown.png" "$WORK/framed.png" null: 2>&1)
        [ "$differ" = 0 ] && matched=yes && break
    done
    [ -n "$matched" ] || fail "frame $f differs from the window in $differ pixels"
done
echo "ok: F6 records the 3 pictures shown, lasting $total_cs cs of $wall_cs"

grep -q '^key ' "$WORK/app.log" && fail "an aid key reached the program as a key event"

xdotool key alt+r
sleep 0.5
xdotool key q
expect_clean_exit

# F4 in the car scene: the scene draws its frame every tick, so once the inspector is on the
# mountain's pixels are known. The black peak covers logical (0, 120).
APP=$SCENE
export VORNA_LOG="$WORK/scene.log"
start_app
sleep 0.5
xdotool mousemove $((WIN_X + WIN_W / 2)) $((WIN_Y + WIN_H / 2)) click 1
sleep 0.5
shot scene
find_scene_origin scene
xdotool key --window "$WINDOW" F4
sleep 0.5
xdotool mousemove "$ORIGIN_X" $((ORIGIN_Y - 120)) click 1
sleep 0.5
shot inspected
said=$(grep '^Inspector (0, 120): ' "$WORK/scene.log")
echo "$said" | grep -q '^Inspector (0, 120): call [0-9]* since the last clear: black triangle at (-180,75), (120,75), (0,200)' ||
    fail "the inspector said: ${said:-nothing} for the black peak"
# The outline's dashed yellow runs along the peak's left edge, from (-180,75) to (0,200).
edge="21x21+$((ORIGIN_X - 100))+$((ORIGIN_Y - 141))"
yellow() { convert "$WORK/$1.png" -crop "$edge" -depth 8 txt:- | grep -c -i '#FFE600'; }
[ "$(yellow scene)" -eq 0 ] && [ "$(yellow inspected)" -gt 0 ] || fail "no outline along the peak's edge"
echo "ok: F4 names the black peak's call and outlines it"
grep -q '^Inspector on' "$WORK/scene.log" || fail "F4 did not say the inspector is on"
