#!/usr/bin/env bash
# Makes the pictures of scanning in docs/ (or the folder given): the source's
# dialog of our SANE-backed source manager over the main window
# (twain-source.png) and the workspace after File > "&Twain Scan..." has
# scanned the SANE test backend's colour pattern (twain-scan.png). The
# desktop program and its source manager run from a folder of their own on a
# virtual display (Xvfb, with twm when it is installed); xdotool opens the
# menu and answers the dialogs with keys as a user would. Needs a build
# (scripts/build.sh) and the packages of scripts/setup.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/screen-lib.sh"
build="${PIXTREL_BUILD_DIR:-$root/build}"
program="${PIXTREL_PROGRAM:-$build/pixtrel}"
manager="$(dirname "$program")/libpixtrel-twain-sane.so"
out="${1:-$root/docs}"
[[ -x $program && -f $manager ]] || { echo "screenshot: build the program first ($program)" >&2; exit 1; }
mkdir -p "$out"
out="$(cd "$out" && pwd)"

on_virtual_display 1100x720 "$0" "$@"

make_work_folder
cp "$program" "$manager" "$work/"
start_window_manager "$work"
# SANE with its test backend only; the source manager remembers its choices
# under a configuration folder of this run.
mkdir -p "$work/sane" "$work/config"
echo test > "$work/sane/dll.conf"
printf 'number_of_devices 2\nmode Gray\nresolution 50\nbr_x 110.0\nbr_y 80.0\ntest-picture "Color pattern"\n' \
  > "$work/sane/test.conf"
export SANE_CONFIG_DIR="$work/sane:" XDG_CONFIG_HOME="$work/config"

"$work/pixtrel" 2>"${SCREENSHOT_LOG:-/dev/null}" &
pids+=($!)
wid="$(timeout 30 xdotool search --sync --onlyvisible --name 'Pixtrel 11$' | head -n 1)"
sleep 1.5
xdotool windowsize "$wid" 900 600 windowmove "$wid" 40 30
sleep 0.5
xdotool windowraise "$wid" windowfocus "$wid"
sleep 0.3

# File > "&Twain Scan...": the chooser takes the first scanner.
xdotool key alt+f
sleep 0.4
xdotool key t
timeout 10 xdotool search --sync --onlyvisible --name '^Select Source$' > /dev/null
sleep 0.6
xdotool key Return
# The source's dialog: mode Color (one step down from Gray), 75 dpi.
dialog="$(timeout 10 xdotool search --sync --onlyvisible --name 'Noname' | head -n 1)"
sleep 0.8
xdotool windowfocus "$dialog"
sleep 0.2
xdotool key Down Tab Down
sleep 0.5
import -window root "$out/twain-source.png"
xdotool key Return
sleep 1.5
import -window root "$out/twain-scan.png"
echo "screenshot: $out/twain-source.png $out/twain-scan.png"
