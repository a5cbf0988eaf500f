#!/usr/bin/env bash
# Installs every Debian package Pixtrel needs to build, run and test.
# Idempotent: packages already present are left as they are.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git ccache
  qt6-base-dev libgl-dev
  # the "Browser" tab of the desktop program
  qt6-webengine-dev
  libjpeg62-turbo-dev zlib1g-dev libcrypto++-dev
  libwebp-dev libheif-dev libavif-dev liblcms2-dev
  libgtest-dev libgmock-dev
  # fuzzing and sanitizers
  clang libclang-rt-14-dev
  # fonts for the canvas
  fonts-dejavu-core
  # peers for tests and benchmarks
  imagemagick libvips-tools pngcheck gifsicle libtiff-tools icoutils netpbm hyperfine
  libjpeg-turbo-progs
  python3-pil
  # WebP, HEIF and AVIF peers and EXIF for the format tests and benchmarks
  webp libheif-examples libavif-bin libimage-exiftool-perl
  # headless runs (xdotool types into the desktop program in its end-to-end test)
  xvfb xauth xdotool
  # a window manager on the virtual display (the capture frame's tests read the
  # screen under it; other tests and screenshots need one too)
  twm x11-utils
  # the install check and the Debian package: the menu entry's validator, the
  # MIME package's, CPack's dependency scan, and a fresh root to install into
  desktop-file-utils libxml2-utils dpkg-dev fakeroot file debootstrap
  # the drawing object on a session bus of its own in tests: dbus-run-session,
  # dbus-send and gdbus
  dbus-daemon dbus-session-bus-common dbus-bin libglib2.0-bin
  # scanning: SANE for our TWAIN source manager; scanimage and the test
  # backend (in libsane1) serve the tests as a real scanner
  libsane-dev sane-utils
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
