#!/usr/bin/env bash
# Runs the desktop tests that need a real X server with a window manager
# (named "...OnXServer") under Xvfb and twm, started here and stopped at the
# end: on_x_server.sh TEST_PROGRAM. Without Xvfb the tests are skipped (77).
set -euo pipefail
program="$1"
command -v Xvfb > /dev/null || { echo "Xvfb is not installed"; exit 77; }
source "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/screen-lib.sh"
work="$(mktemp -d)"
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done; rm -rf "$work"' EXIT
# A display number of our own: the first free one from 90 on.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"
start_window_manager "$work"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
# On X, Qt asks the session bus for the accessibility bus; libdbus keeps a
# buffer of that attempt to the end, which LeakSanitizer (scripts/sanitize.sh)
# would count as the program's.
printf 'leak:libdbus-1.so\n' > "$work/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$work/lsan.supp"
PIXTREL_TEST_PLATFORM=xcb "$program" --gtest_filter='*OnXServer*' --gtest_also_run_disabled_tests=0
