#!/usr/bin/env bash
# Times JPEG -> WebP and JPEG -> AVIF conversion of the corpus JPEGs:
# pixtrel-cli batch (one job, so the encoders' own threads show) beside cwebp
# and vips webpsave for WebP, and beside vips heifsave (AV1) for AVIF, all at
# quality 50. Best of RUNS runs; prints seconds and each command's time over
# pixtrel-cli's, and the bytes written.
#
#   bench/formats.sh [BUILD_DIR]          (default: build)
#   RUNS=5 COPIES=2 bench/formats.sh
#
# COPIES repeats the files under new names so that the run is long enough to
# time. Peers missing from the machine are left out of the table.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build}"
[[ "$build" = /* ]] || build="$here/$build"
cli="$build/pixtrel-cli"
corpus="${PIXTREL_CORPUS:-$here/../shared/corpus}"
runs="${RUNS:-3}"
copies="${COPIES:-2}"
[[ -x "$cli" ]] || { echo "no $cli: build the pixtrel-cli target first" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
in="$work/in"
mkdir -p "$in"
# The colour JPEGs every tool opens (cwebp reads no CMYK).
for f in "$corpus"/jpeg/*.jpg; do
  "$cli" info "$f" >/dev/null 2>&1 || continue
  [[ "$(identify -format '%[colorspace]' "$f" 2>/dev/null)" == sRGB ]] || continue
  command -v cwebp >/dev/null && { cwebp -quiet "$f" -o /dev/null 2>/dev/null || continue; }
  base="$(basename "$f")"
  for ((c = 1; c <= copies; c++)); do cp "$f" "$in/c$c-$base"; done
done
mapfile -t files < <(find "$in" -type f | sort)
((${#files[@]})) || { echo "no JPEG files to convert" >&2; exit 1; }
source "$here/bench/lib.sh"
describe_files "$in" ", quality 50" "${files[@]}"

cwebp_loop() {  # cwebp_loop <out>
  local f name
  for f in "${files[@]}"; do
    name="$(basename "$f")"
    cwebp -quiet -q 50 -mt "$f" -o "$1/${name%.*}.webp"
  done
}

vips_loop() {  # vips_loop <ext> <suffix> <out>
  local f name
  for f in "${files[@]}"; do
    name="$(basename "$f")"
    vips copy "$f" "$3/${name%.*}.$1$2"
  done
}

printf '%-5s %-32s %9s %9s %10s\n' target command seconds "/pixtrel" bytes
row() {  # row <target> <name> <seconds> <reference seconds> <out-dir>
  printf '%-5s %-32s %9.3f %9.2f %10s\n' "$1" "$2" "$3" "$(echo "$3 / $4" | bc -l)" \
    "$(find "$5" -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}')"
}
out="$work/out"

tp=$(best "$out" "$cli" batch --to WEBP --dest "$out" --overwrite --jobs 1 --jpeg-quality 50 "${files[@]}")
row WEBP "pixtrel-cli batch --jobs 1" "$tp" "$tp" "$out"
if command -v cwebp >/dev/null; then
  t=$(best "$out" cwebp_loop "$out")
  row WEBP "cwebp -q 50 -mt (shell loop)" "$t" "$tp" "$out"
fi
t=$(best "$out" vips_loop webp "[Q=50]" "$out")
row WEBP "vips webpsave (shell loop)" "$t" "$tp" "$out"

tp=$(best "$out" "$cli" batch --to AVIF --dest "$out" --overwrite --jobs 1 --jpeg-quality 50 "${files[@]}")
row AVIF "pixtrel-cli batch --jobs 1" "$tp" "$tp" "$out"
t=$(best "$out" vips_loop avif "[Q=50,compression=av1]" "$out")
row AVIF "vips heifsave av1 (shell loop)" "$t" "$tp" "$out"
