#!/usr/bin/env bash
# Makes docs/screenshot.png: the desktop program on a virtual display (Xvfb)
# with a bundled sample open, a selection drawn and the file list beside it.
# Needs a build (scripts/build.sh) and the packages of scripts/setup.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
program="${PIXTREL_PROGRAM:-${PIXTREL_BUILD_DIR:-$root/build}/pixtrel}"
out="${1:-$root/docs/screenshot.png}"
[[ -x $program ]] || { echo "screenshot: build the program first ($program)" >&2; exit 1; }
mkdir -p "$(dirname "$out")"

if [[ -z ${SCREENSHOT_ON_DISPLAY:-} ]]; then
  exec env SCREENSHOT_ON_DISPLAY=1 QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x640x24" "$0" "$@"
fi

# A settings folder of its own, so that no placement of an earlier run moves the window.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$program" "$work/pixtrel"
"$work/pixtrel" "$root/samples/sunset.jpg" 2>/dev/null &
pid=$!
wid="$(timeout 30 xdotool search --sync --onlyvisible --name '^Pixtrel 11$' | head -n 1)"
sleep 1.5
# Drag a selection on the image: it shows as an inverted outline, and its
# size in the status bar.
eval "$(xdotool getwindowgeometry --shell "$wid")"
xdotool mousemove $((X + 230)) $((Y + 80)) mousedown 1 mousemove $((X + 330)) $((Y + 150)) \
  mousemove $((X + 400)) $((Y + 200)) mouseup 1
sleep 0.5
import -window "$wid" "$out"
kill "$pid"
wait "$pid" 2>/dev/null || true
echo "screenshot: wrote $out"
