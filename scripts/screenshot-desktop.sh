#!/usr/bin/env bash
# Makes the pictures of the desktop features on a virtual display (Xvfb +
# twm): docs/desktop-fitted.png (a large photo opened fitted),
# docs/desktop-zoomed.png (a small GIF zoomed in with a selection),
# docs/desktop-changed.png (the caption of a changed image) and
# docs/desktop-recent.png (File > "Recent Files"). Needs a build and the
# packages of scripts/setup.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
program="${PIXTREL_PROGRAM:-${PIXTREL_BUILD_DIR:-$root/build}/pixtrel}"
out="${1:-$root/docs}"
corpus="${PIXTREL_CORPUS_DIR:-$root/../shared/corpus}"
[[ -x $program ]] || { echo "screenshot: build the program first ($program)" >&2; exit 1; }
mkdir -p "$out"

source "$root/scripts/screen-lib.sh"
on_virtual_display 1280x800 "$0" "$@"
work="$(mktemp -d)"
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done; rm -rf "$work"' EXIT
# twm draws the caption's dash in a UTF-8 locale only.
LC_ALL=C.UTF-8 start_window_manager "$work"

# The program in a folder of its own with its settings beside it: a useful
# window size, and the recent files of an earlier session.
mkdir -p "$work/program" "$work/pictures"
cp "$program" "$work/program/pixtrel"
cp "$root/data/Pixtrel.html" "$work/program/" 2> /dev/null || true
# A large photo: a 1024 x 768 photograph of the corpus at twice its size.
convert "$corpus/jpeg/pillow-junk_jpeg_header.jpg" -resize 2048x1536 -quality 90 "$work/pictures/large-photo.jpg" 2> /dev/null
cp "$corpus/gif/gen-transparent-rose.gif" "$work/pictures/rose.gif"
cp "$root/samples/shapes.bmp" "$root/samples/sunset.jpg" "$work/pictures/"

settings() {
  cat > "$work/program/pixtrel.ini" <<END
[PixtrelF]
State=0
Left=40
Top=30
Width=1180
Height=720

[Settings]
lastDir=$work/pictures

[Recent Files]
File1=$work/pictures/sunset.jpg
File2=$work/pictures/rose.gif
File3=$work/pictures/shapes.bmp
File4=$work/pictures/large-photo.jpg
END
}

# Starts the program on a file and sets wid to its main window.
start() {
  settings
  "$work/program/pixtrel" "$1" 2> /dev/null &
  pids+=($!)
  wid="$(timeout 30 xdotool search --sync --onlyvisible --name 'Pixtrel 11$' | head -n 1)"
  sleep 2
  xdotool windowfocus "$wid" 2> /dev/null || true
  sleep 0.3
}

stop() {
  kill "${pids[-1]}" 2> /dev/null || true
  wait "${pids[-1]}" 2> /dev/null || true
  unset 'pids[-1]'
}

# The window with its frame and title bar as twm draws it, and the menus
# open over it: that area of the screen.
shoot() {
  local frame x y w h
  frame="$(xwininfo -tree -id "$wid" | awk '/Parent window id:/ {print $4}')"
  x="$(xwininfo -id "$frame" | awk '/Absolute upper-left X:/ {print $4}')"
  y="$(xwininfo -id "$frame" | awk '/Absolute upper-left Y:/ {print $4}')"
  w="$(xwininfo -id "$frame" | awk '/Width:/ {print $2}')"
  h="$(xwininfo -id "$frame" | awk '/Height:/ {print $2}')"
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$1"
  echo "screenshot: wrote $1"
}

start "$work/pictures/large-photo.jpg"
shoot "$out/desktop-fitted.png"
stop

start "$work/pictures/rose.gif"
for _ in 1 2 3 4 5 6; do xdotool key ctrl+equal; sleep 0.2; done
eval "$(xdotool getwindowgeometry --shell "$wid")"
# The image's top-left is near the workspace's; drag over a few pixels.
canvas_x=$((X + 250)) canvas_y=$((Y + 60))
drag "$((canvas_x + 40))" "$((canvas_y + 40))" 30 20 6
sleep 0.5
shoot "$out/desktop-zoomed.png"
stop

start "$work/pictures/sunset.jpg"
xdotool key F5
sleep 0.5
shoot "$out/desktop-changed.png"
stop

start "$work/pictures/shapes.bmp"
xdotool key alt+f
sleep 0.5
xdotool key f
sleep 0.8
shoot "$out/desktop-recent.png"
stop
