#!/usr/bin/env bash
# on-virtual-display.sh COMMAND [ARGUMENTS...]: runs the command on a virtual
# display of its own (Xvfb, 1024x768, 24 bits) under a window manager (twm,
# when installed), with QT_QPA_PLATFORM=xcb and, when there is none, a D-Bus
# session bus of its own; ends them all afterwards.
# Exits with the command's status, or 77 when no X server can start here.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/screen-lib.sh"

if ! command -v Xvfb > /dev/null; then
  echo "on-virtual-display: Xvfb is not installed (scripts/setup.sh)" >&2
  exit 77
fi
folder="$(mktemp -d)"
pids=()
trap 'kill "${pids[@]}" 2> /dev/null; wait 2> /dev/null; rm -rf "$folder"' EXIT

# -displayfd picks a free display and writes its number once the server
# listens, so runs side by side never meet.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$folder/display" 2> "$folder/xvfb.log" &
pids+=($!)
for _ in $(seq 1 100); do
  [[ -s $folder/display ]] && break
  kill -0 "${pids[0]}" 2> /dev/null || break
  sleep 0.1
done
if [[ ! -s $folder/display ]]; then
  echo "on-virtual-display: Xvfb did not start:" >&2
  cat "$folder/xvfb.log" >&2
  exit 77
fi
export DISPLAY=":$(head -n 1 "$folder/display")"
export QT_QPA_PLATFORM=xcb
start_window_manager "$folder"
# Without a session bus, D-Bus clients on an X display try to start one
# through the display (and the attempt leaks memory in libdbus).
bus=()
if [[ -z ${DBUS_SESSION_BUS_ADDRESS:-} ]] && command -v dbus-run-session > /dev/null; then
  bus=(dbus-run-session --)
fi
"${bus[@]}" "$@"
