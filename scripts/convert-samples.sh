#!/usr/bin/env bash
# The main job: converts every bundled sample image into every format that
# can be written, under ./out, and lists what it wrote.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cli="${PIXTREL_CLI:-$root/build/pixtrel-cli}"
out="${1:-$PWD/out}"
mkdir -p "$out"

# The writable formats, as the CLI's help lists them.
mapfile -t formats < <("$cli" --help | sed -n 's/^Formats written: *//p' | tr ' ' '\n' | sed '/^$/d')

# The encrypted containers need a password: the samples use this one.
password_file="$(mktemp)"
trap 'rm -f "$password_file"' EXIT
echo "pixtrel-samples" >"$password_file"

status=0
for sample in "$root"/samples/*; do
  [[ -f $sample ]] || continue
  name="$(basename "$sample")"
  stem="${name%.*}"
  for format in "${formats[@]}"; do
    ext="$(echo "${format#.}" | tr 'A-Z' 'a-z')"
    target="$out/${stem}-from-${name##*.}.${ext}"
    if ! "$cli" convert "$sample" "$target" --format "$format" --password-file "$password_file" >/dev/null; then
      echo "failed: $sample -> $format" >&2
      status=1
    fi
  done
done
echo "Wrote into $out (encrypted files under the password \"pixtrel-samples\"):"
ls -l "$out"
exit $status
