# Helpers of the benchmark scripts, sourced by them; they set runs first.

# Prints how many files a list holds, their size and kilopixels:
# describe_files FOLDER EXTRA-TEXT FILE...
describe_files() {
  local folder=$1 extra=$2 pixels=0 w h
  shift 2
  while read -r w h; do pixels=$((pixels + w * h)); done < <(identify -format '%w %h\n' "$@" 2>/dev/null)
  echo "files: $# ($(du -sh "$folder" | cut -f1), $((pixels / 1000)) kilopixels), best of $runs runs$extra"
}

# best <out-dir> <command...>: runs the command runs times, each into an
# emptied out-dir, and prints the best wall time in seconds.
best() {
  local out="$1" t best="" r start end
  shift
  for ((r = 0; r < runs; r++)); do
    rm -rf "$out" && mkdir -p "$out"
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc)
    if [[ -z "$best" ]] || (($(echo "$t < $best" | bc))); then best=$t; fi
  done
  echo "$best"
}
