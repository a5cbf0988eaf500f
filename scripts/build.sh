#!/usr/bin/env bash
# Configures and builds Pixtrel into build/ (or $PIXTREL_BUILD_DIR).
# Extra arguments go to the CMake configure step.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PIXTREL_BUILD_DIR:-$root/build}"
jobs="${PIXTREL_JOBS:-$(nproc)}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build" -j "$jobs"
