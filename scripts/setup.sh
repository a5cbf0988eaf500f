#!/usr/bin/env bash
# Installs every Debian package Pixtrel needs to build, run and test.
# Idempotent: packages already present are left as they are.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git ccache
  qt6-base-dev libgl-dev
  libjpeg62-turbo-dev zlib1g-dev libcrypto++-dev
  libgtest-dev libgmock-dev
  # fuzzing and sanitizers
  clang libclang-rt-14-dev
  # fonts for the canvas
  fonts-dejavu-core
  # peers for tests and benchmarks
  imagemagick libvips-tools pngcheck gifsicle libtiff-tools icoutils netpbm hyperfine
  libjpeg-turbo-progs
  python3-pil
  # headless runs (xdotool types into the desktop program in its end-to-end test)
  xvfb xauth xdotool
  # the drawing object on a session bus of its own in tests: dbus-run-session,
  # dbus-send and gdbus
  dbus-daemon dbus-session-bus-common dbus-bin libglib2.0-bin
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "setup: run as root to install: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
echo "setup: all packages present"
