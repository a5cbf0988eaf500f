#!/usr/bin/env bash
# Prints what pixtrel-cli makes of the corpus and the samples, one line per
# conversion: source, target format, exit code, a hash of the written file
# and the first line of standard error. Run it before and after a change
# that must not change behaviour and compare the two outputs with diff.
#   scripts/output-hashes.sh [CLI] > before.tsv
# Every corpus file is converted to BMP; every seventh also to each writable
# format; the samples go through scripts/convert-samples.sh.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cli="${1:-$root/build/pixtrel-cli}"
corpus="${PIXTREL_CORPUS:-$root/../shared/corpus}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
echo "pixtrel-samples" >"$work/password"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

mapfile -t formats < <("$cli" --help | sed -n 's/^Formats written: *//p' | tr ' ' '\n' | sed '/^$/d')
convert() {  # SOURCE FORMAT
  local target="$work/out$2"
  rm -f "$target"
  timeout 60 "$cli" convert "$1" "$target" --format "$2" --password-file "$work/password" >/dev/null 2>"$work/err"
  local rc=$? hash=none
  [[ -f $target ]] && hash="$(sha256sum <"$target" | cut -c1-16)"
  printf '%s\t%s\t%s\t%s\t%s\n' "${1#"$corpus"/}" "$2" "$rc" "$hash" "$(head -n 1 "$work/err")"
}
i=0
while IFS= read -r file; do
  convert "$file" .BMP
  if ((++i % 7 == 0)); then
    for format in "${formats[@]}"; do [[ $format == .BMP ]] || convert "$file" "$format"; done
  fi
done < <(find "$corpus" -type f ! -path '*/refs/*' ! -name '*.tsv' ! -name '*.md' ! -name '*.txt' | sort)

PIXTREL_DEMO=cli PIXTREL_CLI="$cli" "$root/scripts/convert-samples.sh" "$work/samples" >/dev/null 2>&1
echo "samples exit $?"
(cd "$work/samples" && sha256sum -- *)
