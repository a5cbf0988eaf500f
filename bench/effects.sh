#!/usr/bin/env bash
# Times effects on a 12-megapixel 24-bit BMP: pixtrel-cli beside the closest
# equivalents in ImageMagick (convert), libvips (vips) and Pillow, each whole
# command from reading the file to writing the result, best of RUNS runs.
# Prints the seconds of each tool and our time over the fastest peer's.
#
#   bench/effects.sh [BUILD_DIR]     (default: build)
#   RUNS=5 WIDTH=4000 HEIGHT=3000 PEER_TIMEOUT=120 bench/effects.sh build-effects
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build}"
[[ "$build" = /* ]] || build="$here/$build"
cli="$build/pixtrel-cli"
runs="${RUNS:-3}"
width="${WIDTH:-4000}"
height="${HEIGHT:-3000}"
[[ -x "$cli" ]] || { echo "no $cli: build the pixtrel-cli target first" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
in="$work/in.bmp"
# A picture with detail at every scale, so no effect meets a flat image.
convert -size "${width}x${height}" -seed 7 plasma:fractal -depth 8 -type TrueColor "BMP3:$in" 2>/dev/null
half="$((width / 2))x$((height / 2))"
double="$((width * 2))x$((height * 2))"

printf '3 3 32 0\n3 3 3\n3 8 3\n3 3 3\n' > "$work/blur.mat"
cat > "$work/pil.py" <<'PY'
import sys
from PIL import Image, ImageFilter, ImageOps
op, src, dst = sys.argv[1], sys.argv[2], sys.argv[3]
im = Image.open(src).convert("RGB")
if op == "blur":
    im = im.filter(ImageFilter.Kernel((3, 3), [3, 3, 3, 3, 8, 3, 3, 3, 3], 32))
elif op == "grayscale":
    im = im.convert("L").convert("RGB")
elif op == "lighter":
    im = im.point(lambda c: c + 25 * (255 - c) // 255)
elif op == "invert":
    im = ImageOps.invert(im)
elif op.startswith("resize"):
    w, h = map(int, op.split("=")[1].split("x"))
    im = im.resize((w, h), Image.LANCZOS)
im.save(dst, "BMP")
PY
pil_python=""
for p in /usr/bin/python3 python3; do
  if "$p" -c "import PIL" 2>/dev/null; then pil_python="$p"; break; fi
done

# Best wall-clock seconds of a command over the runs.
best() {
  local bestns="" s e ns
  for ((i = 0; i < runs; i++)); do
    s=$(date +%s%N)
    "$@" >/dev/null 2>&1 || { echo "failed"; return; }
    e=$(date +%s%N)
    ns=$((e - s))
    [[ -z "$bestns" || "$ns" -lt "$bestns" ]] && bestns=$ns
  done
  awk -v n="$bestns" 'BEGIN { printf "%.3f", n / 1e9 }'
}

# A peer's time, "-" when the tool is missing, "failed" when it fails or runs
# past PEER_TIMEOUT seconds (ImageMagick can take minutes on 48 megapixels).
peer_timeout="${PEER_TIMEOUT:-120}"
peer() {
  local tool="$1"; shift
  if ! command -v "$tool" >/dev/null 2>&1; then echo "-"; return; fi
  best timeout "$peer_timeout" "$tool" "$@"
}

out="$work/out.bmp"
printf '%-14s %9s %9s %9s %9s %8s\n' effect pixtrel magick vips pillow ratio
row() {
  local name="$1" apply="$2" im="$3" vipsop="$4" pilop="$5"
  local ours magick vips pil fastest ratio
  ours=$(best "$cli" convert "$in" "$out" --apply "$apply")
  # shellcheck disable=SC2086
  magick=$(peer convert "$in" $im "BMP3:$out")
  # shellcheck disable=SC2086
  vips=$(peer vips $vipsop)
  if [[ -n "$pil_python" ]]; then pil=$(peer "$pil_python" "$work/pil.py" "$pilop" "$in" "$out"); else pil="-"; fi
  fastest=$(printf '%s\n' "$magick" "$vips" "$pil" | grep -E '^[0-9.]+$' | sort -g | head -1)
  if [[ -n "$fastest" && "$ours" != failed ]]; then
    ratio=$(awk -v a="$ours" -v b="$fastest" 'BEGIN { printf "%.2f", a / b }')
  else
    ratio="-"
  fi
  printf '%-14s %9s %9s %9s %9s %8s\n' "$name" "$ours" "$magick" "$vips" "$pil" "$ratio"
}

row blur blur "-define convolve:scale=1/32 -morphology Convolve 3x3:3,3,3,3,8,3,3,3,3" \
  "conv $in $out $work/blur.mat --precision integer" blur
row grayscale grayscale "-colorspace Gray -type TrueColor" "colourspace $in $out b-w" grayscale
row lighter lighter "+level 9.8%,100%" "linear $in $out 0.90196 25 --uchar" lighter
row invert invert "-negate" "invert $in $out" invert
row resize-half "resize=$half" "-filter Lanczos -resize $half!" "resize $in $out 0.5 --kernel lanczos3" "resize=$half"
row resize-double "resize=$double" "-filter Lanczos -resize $double!" "resize $in $out 2 --kernel lanczos3" \
  "resize=$double"
echo "ratio: pixtrel's time over the fastest peer's (below 1 is faster); $(nproc) cores, best of $runs"
