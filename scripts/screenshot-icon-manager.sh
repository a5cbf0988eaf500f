#!/usr/bin/env bash
# Makes docs/icon-manager.png: the icon manager on a virtual display (Xvfb,
# with twm as window manager when it is installed) showing a library of the
# shared corpus, one of its icons selected and that icon's images listed.
# Needs a build (scripts/build.sh) and the packages of scripts/setup.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/screen-lib.sh"
build="${PIXTREL_BUILD_DIR:-$root/build}"
library="${2:-$root/../shared/corpus/icl/own-icl-named-shift4-shared.icl}"
out="${1:-$root/docs/icon-manager.png}"
[[ -x $build/pixtrel ]] || { echo "screenshot: build the program first ($build/pixtrel)" >&2; exit 1; }
[[ -f $library ]] || { echo "screenshot: no library $library" >&2; exit 1; }
mkdir -p "$(dirname "$out")"

on_virtual_display 1024x640 "$0" "$@"

# The program with its icons in a folder of its own, so that no settings of
# an earlier run move the windows.
make_work_folder
cp "$build/pixtrel" "$work/pixtrel"
cp -r "$build/icons" "$work/icons"
start_window_manager "$work"
# A library given on the command line opens in the icon manager.
"$work/pixtrel" "$library" 2>/dev/null &
pids+=($!)
wid=""
for _ in $(seq 60); do
  wid="$(xdotool search --name '^Library: ' 2> /dev/null | head -n 1 || true)"
  [[ -n $wid ]] && break
  sleep 0.5
done
[[ -n $wid ]] || { echo "screenshot: the icon manager did not show" >&2; exit 1; }
sleep 1.5
xdotool windowraise "$wid"
eval "$(xdotool getwindowgeometry --shell "$wid")"
# A row of the library list below the first.
xdotool mousemove $((X + 120)) $((Y + 95)) click 1
sleep 0.8
import -window "$wid" "$out"
echo "screenshot: wrote $out"
