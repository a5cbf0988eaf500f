#!/usr/bin/env bash
# Times batch conversion of a folder of the corpus JPEGs and PNGs to PNG and
# to JPG (quality 50): pixtrel-cli batch with one and with two jobs beside
# ImageMagick mogrify (one process for the folder) and libvips (vips copy in a
# shell loop, one process per file), in one run on the same files. Best of
# RUNS runs; prints seconds and each command's time over pixtrel --jobs 1.
#
#   bench/batch.sh [BUILD_DIR]          (default: build)
#   RUNS=5 COPIES=4 bench/batch.sh build-logic
#
# COPIES repeats the folder's files under new names so that the batch is long
# enough to time (the corpus pictures are small). Files that pixtrel-cli or
# ImageMagick cannot open are left out, since a batch stops at its first error.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build}"
[[ "$build" = /* ]] || build="$here/$build"
cli="$build/pixtrel-cli"
corpus="${PIXTREL_CORPUS:-$here/../shared/corpus}"
runs="${RUNS:-3}"
copies="${COPIES:-4}"
[[ -x "$cli" ]] || { echo "no $cli: build the pixtrel-cli target first" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
in="$work/in"
mkdir -p "$in"
for f in "$corpus"/jpeg/*.jpg "$corpus"/png/*.png; do
  "$cli" info "$f" >/dev/null 2>&1 || continue
  identify "$f" >/dev/null 2>&1 || continue
  base="$(basename "$f")"
  for ((c = 1; c <= copies; c++)); do cp "$f" "$in/c$c-$base"; done
done
mapfile -t files < <(find "$in" -type f | sort)
source "$here/bench/lib.sh"
describe_files "$in" "" "${files[@]}"

vips_loop() {  # vips_loop <ext> <suffix> <out>
  local ext="$1" suffix="$2" out="$3" f name
  for f in "${files[@]}"; do
    name="$(basename "$f")"
    vips copy "$f" "$out/${name%.*}.$ext$suffix"
  done
}

printf '%-6s %-28s %9s %9s\n' target command seconds "/jobs 1"
for target in PNG JPG; do
  lower="$(echo "$target" | tr A-Z a-z)"
  suffix=""
  mog=(-format "$lower")
  if [[ $target == JPG ]]; then
    suffix="[Q=50]"
    mog+=(-quality 50)
  fi
  out="$work/out"
  t1=$(best "$out" "$cli" batch --to "$target" --dest "$out" --overwrite --jobs 1 "${files[@]}")
  n1=$(find "$out" -type f | wc -l)
  t2=$(best "$out" "$cli" batch --to "$target" --dest "$out" --overwrite --jobs 2 "${files[@]}")
  tm=$(best "$out" mogrify -path "$out" "${mog[@]}" "${files[@]}")
  tv=$(best "$out" vips_loop "$lower" "$suffix" "$out")
  for row in "pixtrel-cli batch --jobs 1:$t1" "pixtrel-cli batch --jobs 2:$t2" "mogrify (one process):$tm" \
             "vips copy (shell loop):$tv"; do
    name="${row%:*}"
    t="${row##*:}"
    printf '%-6s %-28s %9.3f %9.2f\n' "$target" "$name" "$t" "$(echo "$t / $t1" | bc -l)"
  done
  echo "       ($n1 files written by pixtrel-cli)"
done
