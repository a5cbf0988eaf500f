#!/usr/bin/env bash
# Makes the pictures of the "Browser" tab in docs/ (or the folder given): the
# tiled preview (browser-tiled.png), the transparent one (browser-transparent.png),
# the PNG tab's "Preview in Browser" (browser-png.png), and each shipped
# wizard before and after it drew (wizard-<name>.png, wizard-<name>-drawn.png).
# The desktop program runs from a folder of its own with its data beside it,
# on a virtual display (Xvfb, with twm when it is installed); keys and clicks
# are a user's, and an answer script answers the wizards' open dialogs. Needs
# a build (scripts/build.sh) and the packages of scripts/setup.sh.
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

make_work_folder
start_window_manager "$work"
cp "$program" "$work/pixtrel"
cp -r "$root/data/." "$work/"
# A shape with a caption on white: white is its bottom-left colour.
convert -size 140x90 xc:white "$work/white.bmp"
"$cli" stamp "$work/white.bmp" "$work/cloud.bmp" --kind zstCloudRight --box 5,5,130,80 --brush '#FFD040' \
  --gradient zgdCircOut --gradient-color '#E05000' --pen '#603000' --pen-width 2 --caption Tiles \
  --font-size 14 --bold --font-color '#402000' >/dev/null
wizards=(frame banner turtle)
# Where each wizard's button lies below the page's top.
declare -A button_y=([frame]=383 [banner]=502 [turtle]=388)
for name in "${wizards[@]}"; do printf 'open %s\n' "$work/wizards/$name-wizard.html"; done >"$work/answers.txt"

PIXTREL_ANSWERS="$work/answers.txt" "$work/pixtrel" "$work/cloud.bmp" 2>/dev/null &
pid=$!
pids+=($pid)
wid="$(timeout 30 xdotool search --sync --onlyvisible --name 'Pixtrel 11$' | head -n 1)"
sleep 1.5
xdotool windowsize "$wid" 1000 640 windowmove "$wid" 40 30
sleep 0.5
xdotool windowfocus "$wid"

# Where the window's client area lies on the screen (xdotool's geometry
# counts the window manager's title bar twice).
locate() {
  X="$(xwininfo -id "$wid" | awk '/Absolute upper-left X/ {print $NF}')"
  Y="$(xwininfo -id "$wid" | awk '/Absolute upper-left Y/ {print $NF}')"
}

# The first page shown turns the window into one drawn through OpenGL, which
# Qt does by making a new native window: it is looked up again each time.
shot() {
  sleep "${2:-2}"
  wid="$(xdotool search --onlyvisible --name 'Pixtrel 11$' | tail -n 1)"
  locate
  import -window "$wid" "$out/$1"
}

# F2 and Ctrl+F2.
xdotool key F2
shot browser-tiled.png 3
xdotool key ctrl+F2
shot browser-transparent.png

# The "PNG" tab chosen by hand, the alpha level paged down, then the
# preview's pop-up menu.
xdotool mousemove $((X + 300)) $((Y + 30)) click 1
sleep 0.5
for step in 1 2 3 4 5 6 7 8 9 10; do
  xdotool mousemove $((X + 400)) $((Y + 62)) click 1
  sleep 0.1
done
sleep 0.3
xdotool mousemove $((X + 250)) $((Y + 130))
sleep 0.3
xdotool mousedown 3
sleep 0.2
xdotool mouseup 3
sleep 0.5
xdotool mousemove $((X + 280)) $((Y + 142)) click 1
shot browser-png.png

# Each wizard through Tools > "Load Wizard..." (the last item), then its
# button.
for name in "${wizards[@]}"; do
  # A page in the browser keeps the keys: the tab bar takes them back.
  xdotool mousemove $((X + 181)) $((Y + 30)) click 1
  sleep 0.3
  xdotool key alt+t
  sleep 0.3
  xdotool key Up Return
  shot "wizard-$name.png"
  xdotool mousemove $((X + 225)) $((Y + ${button_y[$name]})) click 1
  shot "wizard-$name-drawn.png"
done

kill "$pid"
wait "$pid" 2>/dev/null || true
echo "screenshot: wrote the browser pictures in $out"
