#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-sanitize/ and runs it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export PIXTREL_BUILD_DIR="${PIXTREL_BUILD_DIR:-$root/build-sanitize}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
exec "$root/scripts/test.sh" -DPIXTREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug "$@"
