#!/usr/bin/env bash
# Every headline workload beside its fastest peer, each pair in one hyperfine
# run (both commands meet the same load), and one table: the two mean times,
# their ratio (pixtrel / peer, below 1 is faster), the goal where there is
# one, and each command's peak memory (/usr/bin/time -f %M, one run). The
# machine's load (uptime) is printed at the start and at the end.
#
#   bench/all.sh [BUILD_DIR]          (default: build)
#   RUNS=10 bench/all.sh              runs per command (default 5; start-up 20x,
#                                     the batch BATCH_RUNS, default 1)
#   ONLY='startup|resize' bench/all.sh   only the workloads matching
#
# The pictures are those of bench/run.sh (a 12-megapixel photo, made once
# under bench/data/), a 24-megapixel one made from it, and, for the batch,
# 200 copies of a 1.5-megapixel JPEG. bench/formats.sh (WebP and AVIF) runs
# after the table when it is there.
set -euo pipefail

bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$bench")
build="${1:-build}"
[[ "$build" = /* ]] || build="$root/$build"
cli="$build/pixtrel-cli"
runs="${RUNS:-5}"
only="${ONLY:-.}"
corpus="${PIXTREL_CORPUS:-$root/../shared/corpus}"
data="$bench/data"
im=$(command -v convert-im6.q16 || command -v convert || true)
py=/usr/bin/python3

[[ -x $cli ]] || { echo "no $cli: build the pixtrel-cli target first" >&2; exit 1; }
for tool in hyperfine vips cjpeg taskset "$im" /usr/bin/time; do
  command -v "$tool" > /dev/null || { echo "$tool is needed (scripts/setup.sh installs it)" >&2; exit 1; }
done
"$py" -c 'import PIL' 2> /dev/null || { echo "Pillow (python3-pil) is needed" >&2; exit 1; }

echo "start: $(uptime)"
mkdir -p "$data"
jpg="$data/photo-12mp.jpg"
bmp="$data/photo-12mp.bmp"
if [[ ! -s $jpg ]]; then
  src="$corpus/refs/jpeg/vips-6.jpg.png"
  [[ -s $src ]] || { echo "corpus picture $src missing" >&2; exit 1; }
  "$im" "$src" -resize '4000x3000!' -seed 42 -attenuate 0.6 +noise Gaussian -sampling-factor 2x2 -quality 90 "$jpg"
fi
[[ -s $bmp ]] || "$im" "$jpg" -type TrueColor "BMP3:$bmp"
jpg24="$data/photo-24mp.jpg"
[[ -s $jpg24 ]] || "$im" "$jpg" -resize '6000x4000!' -sampling-factor 2x2 -quality 90 "$jpg24"
vimage="$data/photo-12mp.v"
[[ -s $vimage ]] || vips copy "$jpg" "$vimage"
tiny="$data/1x1.bmp"
[[ -s $tiny ]] || "$im" -size 1x1 xc:teal -type TrueColor "BMP3:$tiny"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
out="$work/out"
mkdir -p "$out" "$out/b" "$out/b1" "$out/b2" "$out/m" "$out/v"

# The batch: 200 copies of one 1.5-megapixel JPEG cut from the photo.
photos="$work/photos"
mkdir -p "$photos"
"$im" "$jpg" -resize '1500x1000!' -quality 90 "$work/photo.jpg"
for ((i = 0; i < 200; ++i)); do cp "$work/photo.jpg" "$photos/p$i.jpg"; done

cat > "$work/pil.py" << 'PY'
import sys
from PIL import Image
op, src, dst = sys.argv[1], sys.argv[2], sys.argv[3]
im = Image.open(src).convert("RGB")
if op == "double":
    im = im.resize((im.width * 2, im.height * 2), Image.LANCZOS)
    im.save(dst, "BMP")
elif op == "web":
    im.convert("P", palette=Image.WEB, dither=Image.NONE).save(dst, "GIF")
elif op == "octree":
    im.quantize(256, method=Image.FASTOCTREE, dither=Image.FLOYDSTEINBERG).save(dst, "GIF")
PY
printf '3 3 32 0\n3 3 3\n3 8 3\n3 3 3\n' > "$work/blur.mat"
printf '#!/bin/sh\nexec vips copy "$1" "%s/v/$(basename "$1" .jpg).png$2"\n' "$out" > "$work/vips-png.sh"
chmod +x "$work/vips-png.sh"

# Peak resident memory of one run, in MB.
peak() {
  /usr/bin/time -f %M -o "$work/peak" "$@" > /dev/null 2>&1 || true
  awk '{ printf "%.0f", $1 / 1024 }' "$work/peak"
}

rows="$work/rows.tsv"
: > "$rows"
# compare NAME RUNS PIXTREL-COMMAND PEER-NAME PEER-COMMAND GOAL [PEER-NAME PEER-COMMAND GOAL]...
# Times pixtrel's command and the peers' in one hyperfine run and adds one
# row per peer. Peak memory is taken from one more run of each command unless
# PEAK=0 (the batches, whose runs are long).
compare() {
  local name="$1" n="$2" ours="$3"
  shift 3
  [[ $name =~ $only ]] || return 0
  local args=(-n pixtrel "$ours") all="$ours" peers=() goals=() theirs=()
  while (($# >= 3)); do
    peers+=("$1")
    theirs+=("$2")
    goals+=("$3")
    args+=(-n "$1" "$2")
    all+="$2"
    shift 3
  done
  # Without a shell where no command needs one (globs, pipes).
  local shell=(-N)
  [[ "$all" == *[*\|\;]* ]] && shell=()
  local warmup=1
  ((n > 2)) || warmup=0
  if ! hyperfine "${shell[@]}" --style none --warmup "$warmup" --runs "$n" --export-json "$work/h.json" \
    "${args[@]}" > "$work/h.log" 2>&1; then
    echo "hyperfine failed on $name:" >&2
    tail -3 "$work/h.log" >&2
    return 0
  fi
  local pm="-" tm i
  [[ ${PEAK:-1} == 1 ]] && pm=$(peak bash -c "exec $ours")
  for i in "${!peers[@]}"; do
    tm="-"
    [[ ${PEAK:-1} == 1 ]] && tm=$(peak bash -c "exec ${theirs[$i]}")
    "$py" - "$work/h.json" "$name" "${goals[$i]}" "${peers[$i]}" "$pm" "$tm" >> "$rows" << 'PY'
import json, sys
path, name, goal, peer, pm, tm = sys.argv[1:]
r = {x["command"]: x for x in json.load(open(path))["results"]}
p, q = r["pixtrel"], r[peer]
print("\t".join([name, f'{p["mean"]:.4f}', peer, f'{q["mean"]:.4f}', f'{p["mean"] / q["mean"]:.2f}', goal, pm, tm]))
PY
    tail -1 "$rows" | awk -F'\t' '{ printf "  %-22s %8.3fs  %-12s %8.3fs  ratio %s\n", $1, $2, $3, $4, $5 }'
  done
}

# pair NAME GOAL RUNS PEER-NAME PIXTREL-COMMAND PEER-COMMAND
pair() { compare "$1" "$3" "$5" "$4" "$6" "$2"; }

c="'$cli'"
# shellcheck disable=SC2016
pair startup "<=0.70" $((runs * 20)) imagemagick "$c info '$tiny'" "'$im' '$tiny' '$out/im1.bmp'"
# vips writes PNG at zlib level 6 with no row filter by default; pixtrel's
# writer always filters with Sub and deflates at level 7 (a smaller file for
# more work). vips-same is vips doing the same work.
compare jpeg-to-png "$runs" "$c convert '$jpg' '$out/p.png'" \
  vips "vips copy '$jpg' '$out/v.png'" "<=0.60" \
  vips-same "vips copy '$jpg' '$out/v7.png[compression=7,filter=sub]'" "-"
pair bmp-to-jpeg-q50 "<=1.20" "$runs" cjpeg "$c convert '$bmp' '$out/p.jpg' --jpeg-quality 50" \
  "cjpeg -quality 50 -outfile '$out/c.jpg' '$bmp'"
pair blur "" "$runs" vips "$c convert '$bmp' '$out/pb.bmp' --apply blur" \
  "vips conv '$bmp' '$out/vb.v' '$work/blur.mat' --precision integer"
pair lighter "" "$runs" vips "$c convert '$bmp' '$out/pl.bmp' --apply lighter" \
  "vips linear '$bmp' '$out/vl.v' 0.90196 25 --uchar"
# vips reads a BMP through ImageMagick; its own format shows its resampling.
compare lanczos3-half "$runs" "$c convert '$bmp' '$out/ph.bmp' --apply resize=2000x1500" \
  vips "vips resize '$bmp' '$out/vh.v' 0.5 --kernel lanczos3" "<=0.67" \
  vips-native "vips resize '$vimage' '$out/vn.v' 0.5 --kernel lanczos3" "-"
pair lanczos3-double "" "$runs" pillow "$c convert '$bmp' '$out/pd.bmp' --apply resize=8000x6000" \
  "$py '$work/pil.py' double '$bmp' '$out/ld.bmp'"
pair gif-web-palette "" "$runs" pillow "$c convert '$bmp' '$out/pw.gif' --gif-reduction netscape216" \
  "$py '$work/pil.py' web '$bmp' '$out/lw.gif'"
pair gif-octree-fs "" "$runs" pillow \
  "$c convert '$bmp' '$out/po.gif' --gif-reduction optimized --gif-dither floyd-steinberg" \
  "$py '$work/pil.py' octree '$bmp' '$out/lo.gif'"
# The 200-photo batch: all cores (the default) beside the same batch held to
# one core, vips (its default PNG and the same work as ours) and mogrify on two
# processes, in one hyperfine run of BATCH_RUNS runs (default 1).
PEAK=0 compare batch-200 "${BATCH_RUNS:-1}" \
  "$c batch --overwrite --to PNG --dest '$out/b2' '$photos'/*.jpg" \
  one-core "taskset -c 0 $c batch --overwrite --to PNG --dest '$out/b1' '$photos'/*.jpg" "<=0.53" \
  vips-P2 "ls '$photos'/*.jpg | xargs -P2 -I{} '$work/vips-png.sh' {}" "<1" \
  vips-same-P2 "ls '$photos'/*.jpg | xargs -P2 -I{} '$work/vips-png.sh' {} '[compression=7,filter=sub]'" "-" \
  mogrify-P2 "ls '$photos'/*.jpg | xargs -P2 -n 100 mogrify -path '$out/m' -format png" "<1"

# Peak memory of a 24-megapixel JPEG to PNG against twice the decoded image.
if [[ jpeg-to-png-24mp =~ $only ]]; then
  decoded=$(identify -format '%w %h' "$jpg24" | awk '{ printf "%.0f", $1 * $2 * 3 / 1048576 }')
  p24=$(peak "$cli" convert "$jpg24" "$out/p24.png")
  v24=$(peak vips copy "$jpg24" "$out/v24.png")
  printf 'jpeg-to-png-24mp\t-\tvips\t-\t-\t<=%sMB\t%s\t%s\n' $((2 * decoded)) "$p24" "$v24" >> "$rows"
fi

echo
echo "12-megapixel photo unless named; $(nproc) cores; mean of $runs runs (start-up $((runs * 20)))"
"$py" - "$rows" << 'PY'
import sys
print(f'{"workload":24} {"pixtrel s":>9} {"peer":>12} {"peer s":>8} {"ratio":>6} {"goal":>9} {"MB ours":>8} {"MB peer":>8}')
for line in open(sys.argv[1]):
    name, p, peer, q, ratio, goal, pm, qm = line.rstrip("\n").split("\t")
    print(f"{name:24} {p:>9} {peer:>12} {q:>8} {ratio:>6} {goal or '-':>9} {pm:>8} {qm:>8}")
print("ratio: pixtrel's mean time over the peer's in the same hyperfine run (below 1 is faster);")
print("batch-200 against one-core is the time on every core over one core (0.53 is a 1.9x speed-up).")
PY
echo "end: $(uptime)"

if [[ -x $bench/formats.sh && formats =~ $only ]]; then
  echo
  "$bench/formats.sh" "$build"
fi
