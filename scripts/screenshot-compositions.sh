#!/usr/bin/env bash
# Makes the pictures of the overlay and its tabs in docs/ (or the folder
# given): the overlay dragged over a photo (overlay.png), the "Blender" tab
# at 50 (blender.png), the "PNG" tab in shape mode on its checkerboard
# (png-tab.png) and the GIF Optimizer after "Convert" (gif-optimizer.png).
# The desktop program runs on a virtual display (Xvfb, with twm as window
# manager when it is installed); xdotool clicks and
# drags as a user would, and an answer script answers the overlay's open
# dialog. Needs a build (scripts/build.sh) and the packages of scripts/setup.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/screen-lib.sh"
build="${PIXTREL_BUILD_DIR:-$root/build}"
program="${PIXTREL_PROGRAM:-$build/pixtrel}"
cli="$build/pixtrel-cli"
out="${1:-$root/docs}"
[[ -x $program && -x $cli ]] || { echo "screenshot: build the program first ($program)" >&2; exit 1; }
mkdir -p "$out"
out="$(cd "$out" && pwd)"

on_virtual_display 1100x720 "$0" "$@"

# The photo, the overlay and the settings in a folder of their own.
make_work_folder
start_window_manager "$work"
cp "$program" "$work/pixtrel"
cp "$root/samples/sunset.jpg" "$work/sunset.jpg"
# The overlay: a shape with a caption on white, which is left out when drawn.
convert -size 140x90 xc:white "$work/white.bmp"
"$cli" stamp "$work/white.bmp" "$work/overlay.bmp" --kind zstCloudRight --box 5,5,130,80 --brush '#FFD040' \
  --gradient zgdCircOut --gradient-color '#E05000' --pen '#603000' --pen-width 2 --caption Overlay \
  --font-size 14 --bold --font-color '#402000' >/dev/null
printf 'open %s\n' "$work/overlay.bmp" >"$work/answers.txt"

PIXTREL_ANSWERS="$work/answers.txt" "$work/pixtrel" "$work/sunset.jpg" 2>/dev/null &
pid=$!
wid="$(timeout 30 xdotool search --sync --onlyvisible --name 'Pixtrel 11$' | head -n 1)"
sleep 1.5
xdotool windowsize "$wid" 1000 640 windowmove "$wid" 40 30
sleep 0.5
xdotool windowfocus "$wid"
eval "$(xdotool getwindowgeometry --shell "$wid")"
# The workspace image's top-left corner, where the overlay's coordinates start.
ox=$((X + 155))
oy=$((Y + 44))

# File > "O&verlay...": it shows at (200, 200); dragged by a point of it to
# the middle of the photo.
xdotool key alt+f
sleep 0.3
xdotool key v
sleep 0.5
drag $((ox + 260)) $((oy + 230)) -22 -24
sleep 0.5
import -window "$wid" "$out/overlay.png"

# The "Blender" tab chosen by hand, its scroll bar paged five times to 50.
xdotool mousemove $((X + 293)) $((Y + 30)) click 1
sleep 0.5
for step in 1 2 3 4 5; do
  xdotool mousemove $((X + 800)) $((Y + 62)) click 1
  sleep 0.2
done
sleep 0.5
import -window "$wid" "$out/blender.png"

# The "PNG" tab chosen by hand, then "Use Shape".
xdotool mousemove $((X + 234)) $((Y + 30)) click 1
sleep 0.5
xdotool mousemove $((X + 289)) $((Y + 62)) click 1
sleep 0.5
import -window "$wid" "$out/png-tab.png"

# Tools > "&GIF optimize", the 216-colour palette, "Convert".
xdotool key alt+t
sleep 0.3
xdotool key g
gid="$(timeout 10 xdotool search --sync --onlyvisible --name '^GIF Optimizer$' | head -n 1)"
sleep 0.8
xdotool windowmove "$gid" 200 120
sleep 0.3
xdotool windowfocus "$gid"
eval "$(xdotool getwindowgeometry --shell "$gid")"
xdotool key alt+p
sleep 0.3
xdotool key e
sleep 0.3
xdotool mousemove $((X + 141)) $((Y + HEIGHT - 36)) click 1
sleep 1.5
import -window "$gid" "$out/gif-optimizer.png"

kill "$pid"
wait "$pid" 2>/dev/null || true
echo "screenshot: wrote $out/overlay.png $out/blender.png $out/png-tab.png $out/gif-optimizer.png"
