#!/usr/bin/env bash
# Builds the Debian package of the programs, their data, the menu entry, the
# icons and the manual page into build-package/ (or $PIXTREL_PACKAGE_DIR)
# with CPack (stripped; the objects are those of scripts/build.sh, so ccache
# serves them), and prints its path. Install it with
#   apt install ./build-package/pixtrel_11.0_amd64.deb
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PIXTREL_PACKAGE_DIR:-$root/build-package}"
jobs="${PIXTREL_JOBS:-$(nproc)}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIXTREL_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr "$@"
cmake --build "$build" -j "$jobs"
(cd "$build" && cpack -G DEB > cpack.log) || { cat "$build/cpack.log"; exit 1; }
ls "$build"/pixtrel_*.deb
