#!/usr/bin/env bash
# Times 12-megapixel conversions, JPEG -> BMP and BMP -> JPEG at quality 50,
# with pixtrel-cli, ImageMagick and libvips, in one run on the same files.
#
#   bench/run.sh [RUNS]        RUNS timed runs per command (default 10)
#
# PIXTREL_CLI overrides the binary (default build/pixtrel-cli). The test
# pictures are made once under bench/data/ and reused.
#
# libvips has no BMP writer or reader of its own: "vips copy x.jpg x.bmp" and
# "vips copy x.bmp x.jpg" go through its ImageMagick module. Both that and the
# same work with its own uncompressed format (binary PPM, the same bytes per
# pixel as a 24-bit BMP) are timed, so its JPEG codec is measured either way.
set -euo pipefail

bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$bench")
cli=${PIXTREL_CLI:-$root/build/pixtrel-cli}
runs=${1:-${RUNS:-10}}
corpus=${PIXTREL_CORPUS:-$root/../shared/corpus}
data=$bench/data
out=$data/out

# The versioned ImageMagick binary, so that no wrapper's start-up is timed.
im=$(command -v convert-im6.q16 || command -v magick || command -v convert || true)
vips=$(command -v vips || true)

if [[ ! -x $cli ]]; then
  echo "pixtrel-cli not found at $cli (build it, or set PIXTREL_CLI)" >&2
  exit 1
fi
if [[ -z $im ]]; then
  echo "ImageMagick is needed to make the test pictures" >&2
  exit 1
fi

mkdir -p "$out"
jpg=$data/photo-12mp.jpg
bmp=$data/photo-12mp.bmp
ppm=$data/photo-12mp.ppm

# A photo from the corpus, upscaled to 4000 x 3000 with seeded noise so that
# it compresses like a real photo and comes out the same on every machine.
if [[ ! -s $jpg ]]; then
  src=$corpus/refs/jpeg/vips-6.jpg.png
  [[ -s $src ]] || { echo "corpus picture $src missing" >&2; exit 1; }
  echo "making $jpg"
  "$im" "$src" -resize '4000x3000!' -seed 42 -attenuate 0.6 +noise Gaussian \
    -sampling-factor 2x2 -quality 90 "$jpg"
fi
if [[ ! -s $bmp ]]; then
  echo "making $bmp"
  "$im" "$jpg" -type TrueColor "BMP3:$bmp"
fi
if [[ -n $vips && ! -s $ppm ]]; then
  echo "making $ppm"
  "$vips" copy "$jpg" "$ppm"
fi

names=()
commands=()
add() { names+=("$1"); commands+=("$2"); }

add "jpg2bmp pixtrel" "'$cli' convert '$jpg' '$out/p.bmp'"
add "jpg2bmp imagemagick" "'$im' '$jpg' '$out/im.bmp'"
if [[ -n $vips ]]; then
  add "jpg2bmp vips" "'$vips' copy '$jpg' '$out/v.bmp'"
  add "jpg2bmp vips(ppm)" "'$vips' copy '$jpg' '$out/v.ppm'"
fi
add "bmp2jpg pixtrel" "'$cli' convert '$bmp' '$out/p.jpg' --jpeg-quality 50"
add "bmp2jpg imagemagick" "'$im' '$bmp' -quality 50 '$out/im.jpg'"
if [[ -n $vips ]]; then
  add "bmp2jpg vips" "'$vips' copy '$bmp' '$out/v.jpg[Q=50]'"
  add "bmp2jpg vips(ppm)" "'$vips' copy '$ppm' '$out/vppm.jpg[Q=50]'"
fi

# Every command once, so that a broken one stops the run before any timing.
for i in "${!commands[@]}"; do
  if ! bash -c "${commands[$i]}" > /dev/null 2>&1; then
    echo "failed: ${names[$i]}: ${commands[$i]}" >&2
    exit 1
  fi
done

results=$data/results.tsv
: > "$results"
if command -v hyperfine > /dev/null; then
  args=()
  for i in "${!commands[@]}"; do args+=(-n "${names[$i]}" "${commands[$i]}"); done
  hyperfine --style basic --warmup 2 --runs "$runs" --export-json "$data/results.json" "${args[@]}" > "$data/hyperfine.log"
  python3 - "$data/results.json" > "$results" <<'EOF'
import json, sys
for r in json.load(open(sys.argv[1]))["results"]:
    print(f'{r["command"]}\t{r["median"]}\t{r["min"]}\t{r["max"]}')
EOF
else
  for i in "${!commands[@]}"; do
    times=()
    for ((r = 0; r < runs; r++)); do
      start=$(date +%s.%N)
      bash -c "${commands[$i]}" > /dev/null 2>&1
      end=$(date +%s.%N)
      times+=("$(echo "$end - $start" | bc)")
    done
    sorted=$(printf '%s\n' "${times[@]}" | sort -g)
    median=$(echo "$sorted" | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}')
    printf '%s\t%s\t%s\t%s\n' "${names[$i]}" "$median" "$(echo "$sorted" | head -1)" "$(echo "$sorted" | tail -1)" >> "$results"
  done
fi

echo
echo "12-megapixel conversions, $runs runs each, median wall time ($(nproc) cores)"
python3 - "$results" "$out" <<'EOF'
import os, sys
rows = [line.rstrip("\n").split("\t") for line in open(sys.argv[1])]
base = {}
for name, median, lo, hi in rows:
    task, tool = name.split(" ", 1)
    if tool == "pixtrel":
        base[task] = float(median)
files = {"jpg2bmp pixtrel": "p.bmp", "jpg2bmp imagemagick": "im.bmp", "jpg2bmp vips": "v.bmp",
         "jpg2bmp vips(ppm)": "v.ppm", "bmp2jpg pixtrel": "p.jpg", "bmp2jpg imagemagick": "im.jpg",
         "bmp2jpg vips": "v.jpg", "bmp2jpg vips(ppm)": "vppm.jpg"}
print(f'{"task":8} {"tool":12} {"median s":>9} {"min s":>7} {"max s":>7} {"vs pixtrel":>10} {"output bytes":>13}')
for name, median, lo, hi in rows:
    task, tool = name.split(" ", 1)
    ratio = float(median) / base[task] if task in base else float("nan")
    path = os.path.join(sys.argv[2], files.get(name, ""))
    size = os.path.getsize(path) if os.path.isfile(path) else 0
    print(f'{task:8} {tool:12} {float(median):9.3f} {float(lo):7.3f} {float(hi):7.3f} {ratio:9.2f}x {size:13d}')
print("vs pixtrel = peer time / pixtrel time: above 1 means pixtrel is faster")
EOF
