#!/usr/bin/env bash
# The Quick start's first step. With a display it starts the desktop program
# on the bundled samples/ folder and returns at once; without one (or with
# PIXTREL_DEMO=cli) it converts every sample image into every format that can
# be written, under ./out, and lists what it wrote.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
program="${PIXTREL_PROGRAM:-$root/build/pixtrel}"
if [[ ${PIXTREL_DEMO:-} != cli ]]; then
  if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]] && [[ -x $program ]]; then
    # Detached, so that the script (and a terminal closed later) does not hold it.
    setsid "$program" "$root/samples" >/dev/null 2>&1 < /dev/null &
    echo "Started the desktop program on $root/samples (PIXTREL_DEMO=cli runs the command-line demo instead)."
    exit 0
  fi
  if [[ -x $program ]]; then
    echo "No display to show the desktop program on: running the command-line demo instead."
  else
    echo "No desktop program at $program: running the command-line demo instead."
  fi
fi
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
