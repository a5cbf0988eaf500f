#!/usr/bin/env bash
# Makes the pictures of the photo formats and their options in OUT (default
# docs/): formats-options.png, a WebP photo open with the Options menu
# showing "Apply EXIF Orientation", "Keep Metadata" and "Convert to sRGB",
# and formats-webp-options.png, the WebP save's options box reached through
# Save As with the type "WebP Image (*.webp)".
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
"$build/pixtrel-cli" convert --jpeg-quality 80 "$root/samples/sunset.jpg" "$work/sunset.webp" > /dev/null
start_window_manager "$work"

"$work/pixtrel" "$work/sunset.webp" 2>/dev/null &
pids+=($!)
wid="$(timeout 30 xdotool search --sync --onlyvisible --name 'Pixtrel 11$' | head -n 1)"
sleep 1.5
xdotool windowsize "$wid" 1000 640 windowmove "$wid" 40 30
sleep 0.5
xdotool windowraise "$wid" windowfocus "$wid"
sleep 0.3

# Options with its items, the new ones last.
xdotool key alt+o
sleep 0.8
import -window root "$out/formats-options.png"
xdotool key Escape
sleep 0.3

# File > Save As, a name, the WebP type (last but one), Save: the options box.
xdotool key alt+f
sleep 0.5
xdotool key a
sleep 1.5
xdotool type --delay 50 "$work/copy"
xdotool key Tab
sleep 0.3
xdotool key End Up
sleep 0.3
xdotool key Return
sleep 1.5
import -window root "$out/formats-webp-options.png"
xdotool key Return
sleep 1
[[ -f $work/copy.WEBP ]] && echo "screenshot: the WebP was written ($(stat -c %s "$work/copy.WEBP") bytes)"
echo "screenshot: wrote $out/formats-options.png and $out/formats-webp-options.png"
