#!/usr/bin/env bash
# Makes the pictures of the capture frame in docs/ (or the folder given): the
# frame "Close to Capture" opened by File > "&Capture..." over a photo shown
# by a peer viewer and sized with the mouse (capture-frame.png), and the
# program after the frame closed, with the area under the hole as its image
# (capture-result.png). Runs on a virtual display of its own with twm
# (scripts/on-virtual-display.sh); xdotool types and drags as a user would.
# Needs a build (scripts/build.sh) and the packages of scripts/setup.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/screen-lib.sh"
program="${PIXTREL_PROGRAM:-${PIXTREL_BUILD_DIR:-$root/build}/pixtrel}"
out="${1:-$root/docs}"
[[ -x $program ]] || { echo "screenshot: build the program first ($program)" >&2; exit 1; }
mkdir -p "$out"
out="$(cd "$out" && pwd)"

if [[ -z ${SCREENSHOT_ON_DISPLAY:-} ]]; then
  exec env SCREENSHOT_ON_DISPLAY=1 "$root/scripts/on-virtual-display.sh" "$0" "$@"
fi

work="$(mktemp -d)"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$program" "$work/pixtrel"
# The photo, twice its size, in a peer viewer at the left; the program at the right.
display -geometry +30+40 -resize 200% -title photo "$root/samples/sunset.jpg" &
pids+=($!)
timeout 30 xdotool search --sync --onlyvisible --name '^photo' > /dev/null
"$work/pixtrel" 2>/dev/null &
pids+=($!)
wid="$(timeout 30 xdotool search --sync --onlyvisible --name '^Pixtrel 11$' | head -n 1)"
sleep 1.5
xdotool windowsize "$wid" 560 520 windowmove "$wid" 450 200
sleep 0.5
xdotool windowraise "$wid" windowfocus "$wid"
sleep 0.3

# File > "&Capture...": the frame opens at its designed place; its bottom-right
# corner is dragged out, then its title band over the sun.
xdotool key alt+f
sleep 0.5
xdotool key c
spy="$(timeout 10 xdotool search --sync --onlyvisible --name '^Close to Capture$' | head -n 1)"
sleep 0.8
eval "$(xdotool getwindowgeometry --shell "$spy")"
drag $((X + WIDTH - 2)) $((Y + HEIGHT - 2)) 12 10
sleep 0.3
drag $((X + 30)) $((Y + 10)) -8 22
sleep 0.8
import -window root "$out/capture-frame.png"

# Escape closes the frame: the area under its hole becomes the image.
eval "$(xdotool getwindowgeometry --shell "$spy")"
xdotool mousemove $((X + 30)) $((Y + 10))
sleep 0.3
xdotool key Escape
sleep 1
import -window root "$out/capture-result.png"
echo "screenshot: wrote $out/capture-frame.png and $out/capture-result.png"
