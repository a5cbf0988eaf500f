#!/usr/bin/env bash
# Makes docs/screenshot.png: the desktop program on a virtual display (Xvfb)
# with a bundled sample open fitted to the window, a selection drawn and the
# file list beside it.
# Needs a build (scripts/build.sh) and the packages of scripts/setup.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
program="${PIXTREL_PROGRAM:-${PIXTREL_BUILD_DIR:-$root/build}/pixtrel}"
out="${1:-$root/docs/screenshot.png}"
[[ -x $program ]] || { echo "screenshot: build the program first ($program)" >&2; exit 1; }
mkdir -p "$(dirname "$out")"

if [[ -z ${SCREENSHOT_ON_DISPLAY:-} ]]; then
  exec env SCREENSHOT_ON_DISPLAY=1 QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

# A settings folder of its own, so that no placement of an earlier run moves the window.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$program" "$work/pixtrel"
# A window large enough to show the file list, the picture and the menus.
printf '[PixtrelF]\nState=0\nLeft=20\nTop=20\nWidth=1120\nHeight=680\n' > "$work/pixtrel.ini"
"$work/pixtrel" "$root/samples/sunset.jpg" 2>/dev/null &
pid=$!
wid="$(timeout 30 xdotool search --sync --onlyvisible --name 'Pixtrel 11$' | head -n 1)"
sleep 1.5
# Fit the sample to the window (Ctrl+9), then drag a selection on it: it
# shows as an inverted outline, and its place and size in image pixels in
# the status bar.
xdotool windowfocus "$wid" 2> /dev/null || true
xdotool key ctrl+9
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$wid")"
xdotool mousemove $((X + 230)) $((Y + 80)) mousedown 1 mousemove $((X + 330)) $((Y + 150)) \
  mousemove $((X + 400)) $((Y + 200)) mouseup 1
sleep 0.5
import -window "$wid" "$out"
kill "$pid"
wait "$pid" 2>/dev/null || true
echo "screenshot: wrote $out"
