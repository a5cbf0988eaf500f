#!/usr/bin/env bash
# Installs the build in BUILD_DIR into a fresh prefix and checks what a
# desktop needs: the two programs in bin, the data in share/pixtrel, the menu
# entry with its MIME types, the icons at the usual sizes, the MIME package
# and the manual page; then the installed programs run from there and find
# their data. check_install.sh BUILD_DIR
set -euo pipefail
build="$1"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
prefix="$stage/usr"
cmake --install "$build" --prefix "$prefix" > "$stage/install.log"
fail() { echo "FAIL: $*"; exit 1; }
for file in bin/pixtrel bin/pixtrel-cli share/pixtrel/Pixtrel.html share/pixtrel/icons/pixtrel.ico \
            share/applications/pixtrel.desktop share/mime/packages/pixtrel.xml share/man/man1/pixtrel-cli.1.gz; do
  [ -e "$prefix/$file" ] || fail "$file is not installed"
done
for size in 16 22 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/pixtrel.png"
  [ -e "$icon" ] || fail "no ${size}x${size} icon"
  file "$icon" | grep -q "PNG image data, $size x $size" || fail "the ${size}x${size} icon is $(file -b "$icon")"
done
entry="$prefix/share/applications/pixtrel.desktop"
grep -qx 'Exec=pixtrel %f' "$entry" || fail "Exec line: $(grep Exec= "$entry")"
grep -q '^MimeType=.*image/png;' "$entry" || fail "no MIME types"
if command -v desktop-file-validate > /dev/null; then desktop-file-validate "$entry" || fail "the menu entry is not valid"; fi
if command -v xmllint > /dev/null; then xmllint --noout "$prefix/share/mime/packages/pixtrel.xml" || fail "bad MIME package"; fi
zcat "$prefix/share/man/man1/pixtrel-cli.1.gz" | grep -q '^\.TH PIXTREL-CLI 1' || fail "the manual page"
# The installed command line converts, run from its menu entry's PATH.
export PATH="$prefix/bin:$PATH"
unset LD_LIBRARY_PATH
printf 'P3\n2 1\n255\n255 0 0 0 0 255\n' > "$stage/in.ppm"
pixtrel-cli convert "$stage/in.ppm" "$stage/out.png" > /dev/null || fail "the installed pixtrel-cli"
[ -s "$stage/out.png" ] || fail "nothing written"
# Drawing needs the module installed beside the program.
printf 'NewImage 40, 30\nLine 0, 0, 39, 29\n' | pixtrel-cli draw "$stage/in.ppm" "$stage/drawn.png" - > /dev/null ||
  fail "drawing with the installed pixtrel-cli"
# So do the photo formats: WebP written and read back.
pixtrel-cli convert "$stage/in.ppm" "$stage/out.webp" > /dev/null || fail "WebP with the installed pixtrel-cli"
pixtrel-cli info "$stage/out.webp" | grep -q "width=2 height=1" || fail "the installed pixtrel-cli reading WebP"
# The installed program starts with a picture (headless), finds the manual
# with its data and keeps its settings in the user's folder, since it may not
# write beside itself (as root the check runs it as nobody, whom the
# permissions bind).
home="$stage/home"
mkdir -p "$home"
chmod 755 "$stage"
as_user=()
if [ "$(id -u)" = 0 ]; then
  command -v setpriv > /dev/null || fail "as root the check needs setpriv"
  chown -R nobody "$home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
set +e
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$home" \
  QT_QPA_PLATFORM=offscreen PIXTREL_SELF_CHECK=1 timeout 60 "${as_user[@]}" "$prefix/bin/pixtrel" "$stage/out.png" \
  > "$stage/run.log" 2>&1
status=$?
set -e
[ $status -eq 0 ] || { cat "$stage/run.log"; fail "the installed program ended with $status"; }
grep -q "^manual: $prefix/share/pixtrel/Pixtrel.html$" "$stage/run.log" || { cat "$stage/run.log"; fail "the manual was not found"; }
grep -q "^caption: out.png " "$stage/run.log" || { cat "$stage/run.log"; fail "the picture was not opened"; }
[ -e "$home/.config/pixtrel/pixtrel.ini" ] || fail "no settings in the user's folder"
[ ! -e "$prefix/bin/pixtrel.ini" ] || fail "settings written beside the program"
echo "installed into a fresh prefix and ran from it"
