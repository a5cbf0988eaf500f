#!/usr/bin/env bash
# Builds and runs the whole test suite; ends with CTest's summary.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PIXTREL_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh" "$@"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$(mktemp -d)"
chmod 700 "$XDG_RUNTIME_DIR"
cd "$build"
ctest --output-on-failure -j "${PIXTREL_JOBS:-$(nproc)}"
