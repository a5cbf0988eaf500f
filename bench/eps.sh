#!/usr/bin/env bash
# Times opening 12-megapixel EPS files whose TIFF previews are deflate
# (predictor 2, 64-row strips) and JPEG (YCbCr 2x2, 16-row strips) compressed,
# saved as BMP: pixtrel-cli on the EPS beside ImageMagick on the same TIFF.
#
#   bench/eps.sh [RUNS]        RUNS timed runs per command (default 10)
#
# PIXTREL_CLI overrides the binary (default build/pixtrel-cli). The pictures
# are made under bench/data/ from the photo of bench/run.sh (made here too
# when missing) by libtiff's tiffcp, and wrapped in the 30-byte DOS EPS
# header with a line of PostScript after the preview.
set -euo pipefail

bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$bench")
cli=${PIXTREL_CLI:-$root/build/pixtrel-cli}
runs=${1:-${RUNS:-10}}
corpus=${PIXTREL_CORPUS:-$root/../shared/corpus}
data=$bench/data
out=$data/out
im=$(command -v convert-im6.q16 || command -v magick || command -v convert || true)

[[ -x $cli ]] || { echo "pixtrel-cli not found at $cli (build it, or set PIXTREL_CLI)" >&2; exit 1; }
[[ -n $im ]] || { echo "ImageMagick is needed" >&2; exit 1; }
command -v tiffcp > /dev/null || { echo "tiffcp (libtiff-tools) is needed" >&2; exit 1; }
mkdir -p "$out"

jpg=$data/photo-12mp.jpg
if [[ ! -s $jpg ]]; then
  src=$corpus/refs/jpeg/vips-6.jpg.png
  [[ -s $src ]] || { echo "corpus picture $src missing" >&2; exit 1; }
  echo "making $jpg"
  "$im" "$src" -resize '4000x3000!' -seed 42 -attenuate 0.6 +noise Gaussian \
    -sampling-factor 2x2 -quality 90 "$jpg"
fi
plain=$data/photo-12mp-plain.tif
[[ -s $plain ]] || "$im" "$jpg" -type TrueColor -compress none "$plain"

wrap() {  # TIFF -> EPS with the preview right after the header
  python3 - "$1" "$2" << 'PY'
import struct, sys
tiff = open(sys.argv[1], "rb").read()
ps = b"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 4000 3000\n%%EOF\n"
header = b"\xc5\xd0\xd3\xc6" + struct.pack("<IIIIIIH", 30 + len(tiff), len(ps), 0, 0, 30, len(tiff), 0xFFFF)
open(sys.argv[2], "wb").write(header + tiff + ps)
PY
}

declare -A options=([deflate]="-c zip:2 -r 64" [jpeg]="-c jpeg:90 -r 16")
for kind in deflate jpeg; do
  tif=$data/photo-12mp-$kind.tif
  [[ -s $tif ]] || tiffcp ${options[$kind]} "$plain" "$tif"
  [[ -s $data/photo-12mp-$kind.eps ]] || wrap "$tif" "$data/photo-12mp-$kind.eps"
done

names=()
commands=()
add() { names+=("$1"); commands+=("$2"); }
for kind in deflate jpeg; do
  add "$kind pixtrel" "'$cli' convert '$data/photo-12mp-$kind.eps' '$out/eps-$kind-p.bmp'"
  add "$kind imagemagick" "'$im' '$data/photo-12mp-$kind.tif' -type TrueColor 'BMP3:$out/eps-$kind-im.bmp'"
done
for i in "${!commands[@]}"; do
  bash -c "${commands[$i]}" > /dev/null 2>&1 || { echo "failed: ${names[$i]}: ${commands[$i]}" >&2; exit 1; }
done

results=$data/eps-results.tsv
if command -v hyperfine > /dev/null; then
  args=()
  for i in "${!commands[@]}"; do args+=(-n "${names[$i]}" "${commands[$i]}"); done
  hyperfine --style basic --warmup 2 --runs "$runs" --export-json "$data/eps-results.json" "${args[@]}" \
    > "$data/eps-hyperfine.log" 2>&1
  python3 - "$data/eps-results.json" > "$results" << 'PY'
import json, sys
for r in json.load(open(sys.argv[1]))["results"]:
    print(f'{r["command"]}\t{r["median"]}\t{r["min"]}\t{r["max"]}')
PY
else
  : > "$results"
  for i in "${!commands[@]}"; do
    best=999
    for ((r = 0; r < runs; r++)); do
      s=$(date +%s.%N)
      bash -c "${commands[$i]}" > /dev/null 2>&1
      e=$(date +%s.%N)
      best=$(echo "$e - $s" | bc -l | awk -v b="$best" '{print ($1 < b) ? $1 : b}')
    done
    printf '%s\t%s\t%s\t%s\n' "${names[$i]}" "$best" "$best" "$best" >> "$results"
  done
fi

echo "12-megapixel EPS previews to BMP, $runs runs each (median seconds; ratio = pixtrel / ImageMagick)"
python3 - "$results" << 'PY'
import sys
rows = [line.rstrip("\n").split("\t") for line in open(sys.argv[1])]
t = {name: float(median) for name, median, *_ in rows}
for kind in ("deflate", "jpeg"):
    p, m = t[f"{kind} pixtrel"], t[f"{kind} imagemagick"]
    print(f"{kind:8} pixtrel {p:7.3f}s  imagemagick {m:7.3f}s  ratio {p / m:5.2f}")
PY
