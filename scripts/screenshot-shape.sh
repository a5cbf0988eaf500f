#!/usr/bin/env bash
# Makes the pictures of the shape in docs/ (or the folder given): the shape
# shown with F3 over a photo, styled from its tool bar and pop-up menu,
# moved and sized with the mouse and selected (shape.png), its pop-up menu
# with the kinds and their images (shape-menu.png), and the photo after
# "Paint Shape" with the shape dragged away from its stamp
# (shape-stamped.png). The desktop program runs on a virtual display (Xvfb,
# with twm as window manager when it is installed); xdotool types and drags
# as a user would, and an answer script answers the prompts and the colour
# dialog. Needs a build (scripts/build.sh) and the packages of
# scripts/setup.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/screen-lib.sh"
build="${PIXTREL_BUILD_DIR:-$root/build}"
program="${PIXTREL_PROGRAM:-$build/pixtrel}"
out="${1:-$root/docs}"
[[ -x $program ]] || { echo "screenshot: build the program first ($program)" >&2; exit 1; }
mkdir -p "$out"
out="$(cd "$out" && pwd)"

on_virtual_display 1100x720 "$0" "$@"

make_work_folder
cp "$program" "$work/pixtrel"
cp "$root/samples/sunset.jpg" "$work/sunset.jpg"
start_window_manager "$work"
# The answers, in the order they are asked: the caption, the font colour,
# the brush colour, the gradient colour, the pen size.
printf 'input Sunset\ncolor #FFF4D0\ncolor #FFE070\ncolor #D04010\ninput 3\n' > "$work/answers.txt"

PIXTREL_ANSWERS="$work/answers.txt" "$work/pixtrel" "$work/sunset.jpg" 2>"${SCREENSHOT_LOG:-/dev/null}" &
pids+=($!)
wid="$(timeout 30 xdotool search --sync --onlyvisible --name 'Pixtrel 11$' | head -n 1)"
sleep 1.5
xdotool windowsize "$wid" 1000 640 windowmove "$wid" 40 30
sleep 0.5
xdotool windowraise "$wid" windowfocus "$wid"
sleep 0.3

# F3: the shape and its tool bar.
xdotool key F3
sleep 0.8
eval "$(xdotool getwindowgeometry --shell "$wid")"
# The workspace image's top-left corner and the tool bar's row, from the
# window's place as xdotool reports it under twm.
ox=$((X + 156))
oy=$((Y + 50))
bar=$((Y + 36))
[[ -n ${SCREENSHOT_PROBE:-} ]] && { echo "window at $X,$Y"; import -window root "$out/probe.png"; exit 0; }

# The tool bar: "Shape caption" (answered "Sunset"), "Font color", "Bold",
# "Larger" three times.
button() {
  xdotool mousemove $((X + $1)) "$bar"
  sleep 0.2
  xdotool mousedown 1
  sleep 0.1
  xdotool mouseup 1
  sleep 0.5
}
button 809
button 649
button 684
for _ in 1 2 3; do button 853; done
sleep 1

# The pop-up menu by keyboard: "Shape Style" > zstCloudRight (the 39th kind),
# "Brush Color...", "GradientStyle" > zgdCircOut, "Gradient Color...",
# "Pen" > "Size...".
popup() {
  # Under twm a right click now and then opens no menu: the menu's white
  # shows beside the shape once it is open.
  for _ in 1 2 3 4 5 6; do
    xdotool mousemove $((ox + 264)) $((oy + 120))
    sleep 0.3
    xdotool click 3
    sleep 0.8
    [[ $(import -window root -crop 1x1+$((ox + 300))+$((oy + 135)) txt:- | tail -n 1) == *'#FFFFFF'* ]] && return 0
  done
  echo "screenshot: the shape's menu did not open" >&2
  exit 1
}
popup
xdotool key --delay 120 Down Right
for _ in $(seq 38); do xdotool key --delay 60 Down; done
xdotool key Return
sleep 0.4
popup
xdotool key --delay 120 Down Down Down Down Down Return
sleep 0.4
popup
xdotool key --delay 120 Down Down Right Down Down Down Down Down Down Down Down Return
sleep 0.4
popup
xdotool key --delay 120 Down Down Down Down Return
sleep 0.4
popup
xdotool key --delay 120 Down Down Down Down Down Down Down Right Down Down Return
sleep 0.4
# The menu once more, with "Shape Style" open on its images.
popup
xdotool key --delay 120 Down Right
sleep 0.6
import -window root -crop 620x720+$((ox + 150))+0 "$out/shape-menu.png"
xdotool key --delay 120 Escape Escape
sleep 0.4

# "Resize shape": the bottom-right corner dragged out to 180 x 110; "Move
# shape": the shape dragged to (82, 48); Shift-click selects it.
button 334
drag $((ox + 292)) $((oy + 148)) 23 9
sleep 0.3
button 292
drag $((ox + 250)) $((oy + 100)) -30 -8
sleep 0.3
xdotool mousemove $((ox + 172)) $((oy + 103)) keydown shift click 1 keyup shift
sleep 0.6
import -window "$wid" "$out/shape.png"

# F9 stamps it (without the selection mark); the shape, deselected and
# dragged away, leaves its stamp in the photo.
xdotool key F9
sleep 0.4
xdotool mousemove $((ox + 172)) $((oy + 103)) keydown shift click 1 keyup shift
sleep 0.2
drag $((ox + 172)) $((oy + 103)) 20 15 6
sleep 0.6
import -window "$wid" "$out/shape-stamped.png"
echo "screenshot: wrote $out/shape.png $out/shape-menu.png $out/shape-stamped.png"
