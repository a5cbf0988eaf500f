#!/usr/bin/env bash
# Makes docs/capture.png (or PATH.png given): the frame "Close to Capture",
# opened by File > "&Capture..." over a photo shown by a peer viewer, sized
# and moved with the mouse and closed with Escape, then opened again at the
# same place; the program beside it shows the area under the hole as its
# image. Runs on a virtual display of its own with twm
# (scripts/on-virtual-display.sh); xdotool types and drags as a user would.
# Needs a build (scripts/build.sh) and the packages of scripts/setup.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/screen-lib.sh"
program="${PIXTREL_PROGRAM:-${PIXTREL_BUILD_DIR:-$root/build}/pixtrel}"
out="${1:-$root/docs/capture.png}"
[[ -x $program ]] || { echo "screenshot: build the program first ($program)" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
out="$(cd "$(dirname "$out")" && pwd)/$(basename "$out")"

if [[ -z ${SCREENSHOT_ON_DISPLAY:-} ]]; then
  exec env SCREENSHOT_ON_DISPLAY=1 "$root/scripts/on-virtual-display.sh" "$0" "$@"
fi

make_work_folder
cp "$program" "$work/pixtrel"
cp -r "$root/samples" "$work/samples"
# The photo, twice its size, in a peer viewer at the left; the program at the right.
display -geometry +30+40 -resize 200% -title photo "$root/samples/sunset.jpg" &
pids+=($!)
timeout 30 xdotool search --sync --onlyvisible --name '^photo' > /dev/null
"$work/pixtrel" "$work/samples" 2>/dev/null &
pids+=($!)
wid="$(timeout 30 xdotool search --sync --onlyvisible --name 'Pixtrel 11$' | head -n 1)"
sleep 1.5
xdotool windowsize "$wid" 560 520 windowmove "$wid" 450 200
sleep 0.5
xdotool windowraise "$wid" windowfocus "$wid"
sleep 0.3

# File > "&Capture...": the frame opens at its designed place; its bottom-right
# corner is dragged out, then its title band down and left.
open_frame() {
  xdotool windowfocus "$wid"
  sleep 0.3
  xdotool key alt+f
  sleep 0.5
  xdotool key c
  spy="$(timeout 10 xdotool search --sync --onlyvisible --name '^Close to Capture$' | head -n 1)"
  sleep 0.8
}
open_frame
eval "$(xdotool getwindowgeometry --shell "$spy")"
drag $((X + WIDTH - 2)) $((Y + HEIGHT - 2)) 12 10
sleep 0.3
drag $((X + 30)) $((Y + 10)) -8 22
sleep 0.5

# Escape closes the frame: the area under its hole becomes the image. The
# frame opened again shows the same area through its hole.
xdotool key Escape
sleep 1
open_frame
eval "$(xdotool getwindowgeometry --shell "$spy")"
xdotool mousemove $((X + 60)) $((Y + 10))
sleep 0.5
import -window root "$out"
xdotool key Escape
echo "screenshot: wrote $out"
