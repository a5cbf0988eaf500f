# Helpers of the screenshot scripts, sourced by them on the virtual display.

# Runs the calling script again on a virtual display of size $1 (WxH) unless
# it runs on one already: on_virtual_display SIZE "$0" "$@".
on_virtual_display() {
  local size=$1
  shift
  [[ -n ${SCREENSHOT_ON_DISPLAY:-} ]] && return 0
  exec env SCREENSHOT_ON_DISPLAY=1 QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 ${size}x24" "$@"
}

# A fresh folder in $work for the run, removed at exit with the processes
# listed in the array pids.
make_work_folder() {
  work="$(mktemp -d)"
  pids=()
  trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
}

# Starts twm, when it is installed, with settings in folder $1 and adds its
# process to the array pids (which the caller's EXIT trap kills).
start_window_manager() {
  command -v twm > /dev/null || return 0
  # twm's default fonts are often missing; "fixed" always is.
  printf 'TitleFont "fixed"\nResizeFont "fixed"\nMenuFont "fixed"\nIconFont "fixed"\nIconManagerFont "fixed"\nNoGrabServer\nRandomPlacement\nUsePPosition "on"\n' \
    > "$1/twmrc"
  twm -f "$1/twmrc" > /dev/null 2>&1 &
  pids+=($!)
  sleep 1
}

# Drags with the left button from (x, y) in steps of (dx, dy), as a hand
# would: drag X Y DX DY [STEPS, default 5].
drag() {
  local x=$1 y=$2 dx=$3 dy=$4 steps=${5:-5} step
  xdotool mousemove "$x" "$y" mousedown 1
  for ((step = 1; step <= steps; ++step)); do
    xdotool mousemove $((x + step * dx)) $((y + step * dy))
    sleep 0.1
  done
  xdotool mouseup 1
}
