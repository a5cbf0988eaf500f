#!/usr/bin/env bash
# Times decoding 12-megapixel legacy files to BMP: pixtrel-cli beside
# ImageMagick, the same files in one run, best of RUNS runs each.
#
#   tests/codecs/legacy/bench_legacy.sh [BUILD_DIR]   (default: build)
#
# The pictures (PSD with PackBits, SGI run-length, 24-bit PCX) are made from
# bench/data/photo-12mp.bmp by ImageMagick (run bench/run.sh once to make it).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
build=${1:-build}
[[ $build = /* ]] || build=$root/$build
cli=$build/pixtrel-cli
runs=${RUNS:-5}
im=$(command -v convert-im6.q16 || command -v convert)
src=$root/bench/data/photo-12mp.bmp
work=${WORK:-/tmp/pixtrel-legacy-bench}
mkdir -p "$work"
[[ -s $work/photo.psd ]] || "$im" "$src" -compress RLE -type TrueColor "$work/photo.psd"
[[ -s $work/photo.sgi ]] || "$im" "$src" -compress RLE -type TrueColor "$work/photo.sgi"
[[ -s $work/photo.pcx ]] || "$im" "$src" -type TrueColor "$work/photo.pcx"

best() {  # best wall time of RUNS runs of the command, in seconds
  local b=999
  for ((i = 0; i < runs; i++)); do
    local s e
    s=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    e=$(date +%s.%N)
    b=$(echo "$e - $s" | bc -l | awk -v b="$b" '{print ($1 < b) ? $1 : b}')
  done
  echo "$b"
}

printf '%-6s %10s %12s %8s\n' file pixtrel imagemagick ratio
for ext in psd sgi pcx; do
  ours=$(best "$cli" convert "$work/photo.$ext" "$work/out-ours.bmp")
  theirs=$(best "$im" "$work/photo.$ext[0]" -type TrueColor "BMP3:$work/out-im.bmp")
  printf '%-6s %9.3fs %11.3fs %8.2f\n' "$ext" "$ours" "$theirs" "$(echo "$ours / $theirs" | bc -l)"
done
