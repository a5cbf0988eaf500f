#!/usr/bin/env bash
# Times 12-megapixel conversions, JPEG -> BMP and BMP -> JPEG at quality 50,
# with pixtrel-cli, ImageMagick and libvips, in one run on the same files.
#
#   bench/run.sh [RUNS]        RUNS timed runs per command (default 10)
#
# PIXTREL_CLI overrides the binary (default build/pixtrel-cli). The test
# pictures are made once under bench/data/ and reused.
#
# Timing is by hyperfine when it is installed. BENCH_INTERLEAVE=1 (or no
# hyperfine) times the commands round-robin instead, which is fairer on a
# machine whose load changes during the run. BENCH_THP=1 adds pixtrel runs
# with glibc's transparent-huge-page malloc switched on
# (GLIBC_TUNABLES=glibc.malloc.hugetlb=1), to show what page faults cost.
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

# name, output file (under $out), command
names=()
outputs=()
commands=()
add() { names+=("$1"); outputs+=("$2"); commands+=("$3"); }
thp="GLIBC_TUNABLES=glibc.malloc.hugetlb=1"

add "jpg2bmp pixtrel" p.bmp "'$cli' convert '$jpg' '$out/p.bmp'"
if [[ ${BENCH_THP:-0} == 1 ]]; then
  add "jpg2bmp pixtrel(thp)" pt.bmp "$thp '$cli' convert '$jpg' '$out/pt.bmp'"
fi
add "jpg2bmp imagemagick" im.bmp "'$im' '$jpg' '$out/im.bmp'"
if [[ -n $vips ]]; then
  add "jpg2bmp vips" v.bmp "'$vips' copy '$jpg' '$out/v.bmp'"
  add "jpg2bmp vips(ppm)" v.ppm "'$vips' copy '$jpg' '$out/v.ppm'"
fi
add "bmp2jpg pixtrel" p.jpg "'$cli' convert '$bmp' '$out/p.jpg' --jpeg-quality 50"
if [[ ${BENCH_THP:-0} == 1 ]]; then
  add "bmp2jpg pixtrel(thp)" pt.jpg "$thp '$cli' convert '$bmp' '$out/pt.jpg' --jpeg-quality 50"
fi
add "bmp2jpg imagemagick" im.jpg "'$im' '$bmp' -quality 50 '$out/im.jpg'"
if [[ -n $vips ]]; then
  add "bmp2jpg vips" v.jpg "'$vips' copy '$bmp' '$out/v.jpg[Q=50]'"
  add "bmp2jpg vips(ppm)" vppm.jpg "'$vips' copy '$ppm' '$out/vppm.jpg[Q=50]'"
fi

# Every command once, so that a broken one stops the run before any timing.
for i in "${!commands[@]}"; do
  if ! bash -c "${commands[$i]}" > /dev/null 2>&1; then
    echo "failed: ${names[$i]}: ${commands[$i]}" >&2
    exit 1
  fi
done

results=$data/results.tsv
if command -v hyperfine > /dev/null && [[ ${BENCH_INTERLEAVE:-0} != 1 ]]; then
  method="hyperfine, 2 warm-up runs"
  args=()
  for i in "${!commands[@]}"; do args+=(-n "${names[$i]}" "${commands[$i]}"); done
  hyperfine --style basic --warmup 2 --runs "$runs" --export-json "$data/results.json" "${args[@]}" \
    > "$data/hyperfine.log" 2>&1
  python3 - "$data/results.json" > "$results" << 'PY'
import json, sys
for r in json.load(open(sys.argv[1]))["results"]:
    print(f'{r["command"]}\t{r["median"]}\t{r["min"]}\t{r["max"]}')
PY
else
  method="round-robin, date +%s.%N around bash -c"
  times=$data/times.tsv
  : > "$times"
  for ((r = 0; r < runs; r++)); do
    for i in "${!commands[@]}"; do
      start=$(date +%s.%N)
      bash -c "${commands[$i]}" > /dev/null 2>&1
      end=$(date +%s.%N)
      printf '%s\t%s\n' "${names[$i]}" "$(echo "$end - $start" | bc)" >> "$times"
    done
  done
  python3 - "$times" > "$results" << 'PY'
import statistics, sys
order, samples = [], {}
for line in open(sys.argv[1]):
    name, t = line.rstrip("\n").split("\t")
    if name not in samples:
        order.append(name)
        samples[name] = []
    samples[name].append(float(t))
for name in order:
    s = samples[name]
    print(f"{name}\t{statistics.median(s)}\t{min(s)}\t{max(s)}")
PY
fi

echo
echo "12-megapixel conversions, $runs runs each ($method)"
echo "median wall time; $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
for i in "${!names[@]}"; do printf '%s\t%s\n' "${names[$i]}" "${outputs[$i]}"; done > "$data/outputs.tsv"
python3 - "$results" "$data/outputs.tsv" "$out" << 'PY'
import os, sys
rows = [line.rstrip("\n").split("\t") for line in open(sys.argv[1])]
files = dict(line.rstrip("\n").split("\t") for line in open(sys.argv[2]))
base = {}
for name, median, lo, hi in rows:
    task, tool = name.split(" ", 1)
    if tool == "pixtrel":
        base[task] = float(median)
print(f'{"task":8} {"tool":13} {"median s":>9} {"min s":>7} {"max s":>7} {"vs pixtrel":>10} {"output bytes":>13}')
for name, median, lo, hi in rows:
    task, tool = name.split(" ", 1)
    ratio = float(median) / base[task] if task in base else float("nan")
    path = os.path.join(sys.argv[3], files.get(name, ""))
    size = os.path.getsize(path) if os.path.isfile(path) else 0
    print(f'{task:8} {tool:13} {float(median):9.3f} {float(lo):7.3f} {float(hi):7.3f} {ratio:9.2f}x {size:13d}')
print("vs pixtrel = this tool's time / pixtrel's time: above 1 means pixtrel is faster")
PY
