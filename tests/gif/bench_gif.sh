#!/usr/bin/env bash
# Times GIF work on the 12-megapixel photo of bench/run.sh, pixtrel-cli beside
# ImageMagick, libvips and gifsicle, in one run on the same files:
#   web palette, nearest colour     pixtrel convert in.jpg out.gif
#                                   convert in.jpg -remap netscape: +dither out.gif
#   optimized 256, Floyd-Steinberg  pixtrel --gif-reduction optimized --gif-dither floyd-steinberg
#                                   convert in.jpg -colors 256 -dither FloydSteinberg out.gif
#                                   vips copy in.jpg out.gif (its own quantizer, dithered)
#   GIF to GIF on the web palette   pixtrel convert big.gif out.gif
#                                   gifsicle --use-colormap=web big.gif
#   decoding a large GIF            pixtrel convert big.gif out.bmp / convert big.gif out.bmp
#                                   vips copy big.gif out.v
#
#   tests/gif/bench_gif.sh [RUNS]   (default 5; PIXTREL_CLI overrides the binary)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
cli=${PIXTREL_CLI:-$root/build/pixtrel-cli}
runs=${1:-5}
data=$root/bench/data
jpg=$data/photo-12mp.jpg
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
im=$(command -v convert-im6.q16 || command -v convert)
[[ -s $jpg ]] || { echo "run bench/run.sh once to make $jpg" >&2; exit 1; }

# The large GIF to decode: the photo on the web palette, made by ImageMagick.
big=$data/photo-12mp.gif
[[ -s $big ]] || "$im" "$jpg" -remap netscape: +dither "$big"

hyperfine --runs "$runs" --warmup 1 --export-markdown "$out/results.md" \
  -n "web nearest: pixtrel" "'$cli' convert '$jpg' '$out/p1.gif'" \
  -n "web nearest: imagemagick" "'$im' '$jpg' -remap netscape: +dither '$out/i1.gif'" \
  -n "optimized FS: pixtrel" "'$cli' convert '$jpg' '$out/p2.gif' --gif-reduction optimized --gif-dither floyd-steinberg" \
  -n "optimized FS: imagemagick" "'$im' '$jpg' -colors 256 -dither FloydSteinberg '$out/i2.gif'" \
  -n "optimized FS: vips" "vips copy '$jpg' '$out/v2.gif'" \
  -n "gif to gif web: pixtrel" "'$cli' convert '$big' '$out/p3.gif'" \
  -n "gif to gif web: gifsicle" "gifsicle --use-colormap=web '$big' -o '$out/g3.gif'" \
  -n "decode gif: pixtrel" "'$cli' convert '$big' '$out/p4.bmp'" \
  -n "decode gif: imagemagick" "'$im' '$big' '$out/i4.bmp'" \
  -n "decode gif: vips" "vips copy '$big' '$out/v4.v'" >/dev/null
cat "$out/results.md"
ls -l "$out"/*.gif | awk '{print $5, $9}'
