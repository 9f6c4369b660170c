#!/bin/sh
# Installs the build into a scratch prefix, as a per-user install does, then checks that the desktop
# finds both programs there: the entries and the AppStream data pass their validators, name
# the installed programs, and Dropslip is offered for links, pictures, PDFs and other files.
set -eu
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/prefix
prefix=$root
cmake --install "$build" --prefix "$root" >/dev/null
apps=$root/share/applications

fail() { echo "FAIL: $*" >&2; exit 1; }
for file in bin/quillory bin/dropslip share/icons/hicolor/scalable/apps/com.quillory.Quillory.svg \
    share/metainfo/com.quillory.Quillory.metainfo.xml \
    share/applications/com.quillory.Quillory.desktop share/applications/com.quillory.Dropslip.desktop; do
  [ -e "$root/$file" ] || fail "$file is not installed"
done

desktop-file-validate "$apps/com.quillory.Quillory.desktop" "$apps/com.quillory.Dropslip.desktop"
appstreamcli validate --no-net "$root/share/metainfo/com.quillory.Quillory.metainfo.xml"

grep -qx "Exec=$prefix/bin/quillory" "$apps/com.quillory.Quillory.desktop" ||
  fail "the menu entry does not start the installed quillory"
grep -qx "Exec=$prefix/bin/dropslip %U" "$apps/com.quillory.Dropslip.desktop" ||
  fail "the Open With entry does not hand its files and links to the installed dropslip"

# What file managers read for "Open With".
update-desktop-database "$apps"
for type in x-scheme-handler/https image/png image/jpeg application/pdf application/octet-stream; do
  grep -q "^$type=.*com.quillory.Dropslip.desktop" "$apps/mimeinfo.cache" ||
    fail "Dropslip is not offered for $type"
done
grep -q "com.quillory.Quillory.desktop" "$apps/mimeinfo.cache" &&
  fail "Quillory itself should open no files"
echo "desktop install checked under $root"
