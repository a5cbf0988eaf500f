#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for
# SECONDS seconds (default 60), seeded from the shared corpus. Fails on any
# finding; crashing inputs are kept under build-fuzz/findings/<target>/.
# PIXTREL_FUZZ_SEED fixes libFuzzer's random seed, so that a run (as CI's)
# mutates the same way each time; a tests/fuzz/dict/<target>.dict is used
# when there is one.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
shift || true
build="${PIXTREL_FUZZ_BUILD_DIR:-$root/build-fuzz}"
corpus="${PIXTREL_CORPUS:-$root/../shared/corpus}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPIXTREL_FUZZ=ON -DPIXTREL_CORPUS_DIR="$corpus" >/dev/null
targets=("$@")
if ((${#targets[@]} == 0)); then
  mapfile -t targets < <(sed -n 's/^fuzz_target(\([a-z0-9_]*\) .*/\1/p' "$root/tests/fuzz/CMakeLists.txt")
fi
cmake --build "$build" -j "${PIXTREL_JOBS:-$(nproc)}" --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
failed=()
for target in "${targets[@]}"; do
  seeds="$(sed -n "s/^fuzz_target($target \([a-z0-9 ]*\))/\1/p" "$root/tests/fuzz/CMakeLists.txt")"
  work="$build/fuzz-corpus/$target"
  findings="$build/findings/$target"
  mkdir -p "$work" "$findings"
  seed_dirs=()
  for s in $seeds; do
    [[ -d $corpus/$s ]] && seed_dirs+=("$corpus/$s")
    [[ -d $root/tests/fuzz/seeds/$s ]] && seed_dirs+=("$root/tests/fuzz/seeds/$s")
  done
  extra=()
  [[ -n ${PIXTREL_FUZZ_SEED:-} ]] && extra+=(-seed="$PIXTREL_FUZZ_SEED")
  [[ -f $root/tests/fuzz/dict/$target.dict ]] && extra+=(-dict="$root/tests/fuzz/dict/$target.dict")
  echo "== $target for ${seconds}s (seeds: ${seeds:-none})"
  if ! "$build/tests/fuzz/$target" "${extra[@]}" -max_total_time="$seconds" -max_len=262144 -rss_limit_mb=4096 \
      -timeout=20 -artifact_prefix="$findings/" -print_final_stats=1 "$work" "${seed_dirs[@]}" \
      >"$build/$target.log" 2>&1; then
    failed+=("$target")
    tail -40 "$build/$target.log" >&2
  else
    grep -E '^stat::number_of_executed_units' "$build/$target.log" || true
  fi
done
if ((${#failed[@]})); then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} targets ran ${seconds}s each without findings"
