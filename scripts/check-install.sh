#!/usr/bin/env bash
# Installs a built tree into a scratch folder and checks what an installation
# holds: the programs, the desktop entry and the metainfo (both validated), the
# file type of series files (a desktop reading the scratch tree names a series
# file by it and opens it with Kestrava), the icons, the help pages, the
# samples and the manual page with every command.
# Usage: check-install.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
cmake --install "$build" --prefix "$root/usr" >/dev/null

status=0
need() { [ -e "$root/usr/$1" ] || { echo "missing: $1"; status=1; }; }
for file in bin/kestrava bin/kestrava-calc \
            share/applications/kestrava.desktop share/metainfo/com.tovanek.Kestrava.metainfo.xml \
            share/icons/hicolor/scalable/apps/kestrava.svg \
            share/mime/packages/kestrava.xml share/icons/hicolor/scalable/mimetypes/application-x-kestrava-series.svg \
            share/kestrava/help/index.html share/kestrava/help/help.css \
            share/kestrava/samples/sample.ops share/kestrava/samples/SMPL.csv \
            share/man/man1/kestrava-calc.1; do
  need "$file"
done

desktop-file-validate "$root/usr/share/applications/kestrava.desktop" || status=1
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/com.tovanek.Kestrava.metainfo.xml" >/dev/null \
  || { appstreamcli validate --no-net "$root/usr/share/metainfo/com.tovanek.Kestrava.metainfo.xml"; status=1; }

# The file type, as a desktop sees it once the package's triggers have run:
# the MIME database and the desktop entries' cache rebuilt in the scratch tree,
# and only there. GNOME's way of asking (gio) reads that database; the generic
# one falls back to file(1), which does not.
type=application/x-kestrava-series
grep -q "^MimeType=.*$type;" "$root/usr/share/applications/kestrava.desktop" \
  || { echo "the desktop entry does not declare $type"; status=1; }
grep -q '^Exec=kestrava %F$' "$root/usr/share/applications/kestrava.desktop" \
  || { echo "the desktop entry does not pass the files it opens"; status=1; }
desktop_env=(env XDG_DATA_DIRS="$root/usr/share:/usr/share" XDG_DATA_HOME="$root/home" XDG_CURRENT_DESKTOP=GNOME)
"${desktop_env[@]}" update-mime-database "$root/usr/share/mime"
"${desktop_env[@]}" update-desktop-database "$root/usr/share/applications"
files=$root/files
mkdir -p "$files"
cp samples/sample.ops "$files/SPX.ops"
cp samples/sample.ops "$files/SPX-backup"       # a series without its extension: the magic
head -c 200 /dev/zero > "$files/ZEROS.OPS"      # any file named so: the glob, in any case
printf '' > "$files/almost"  # too short for the magic
for case in "SPX.ops $type" "SPX-backup $type" "ZEROS.OPS $type" "almost application/octet-stream"; do
  set -- $case
  found=$("${desktop_env[@]}" xdg-mime query filetype "$files/$1" || true)
  [ "$found" = "$2" ] || { echo "xdg-mime query filetype $1: $found, expected $2"; status=1; }
done
found=$("${desktop_env[@]}" xdg-mime query default $type || true)
[ "$found" = kestrava.desktop ] || { echo "xdg-mime query default $type: '$found', expected kestrava.desktop"; status=1; }

# Every command of kestrava-calc has its section in the manual page.
page=$(MANWIDTH=100 man -l "$root/usr/share/man/man1/kestrava-calc.1" 2>&1)
for command in $("$root/usr/bin/kestrava-calc" --help | sed -n '/^Commands:/,$p' | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p'); do
  grep -q "^   $command\$" <<<"$page" || { echo "no manual section for $command"; status=1; }
done
[ $status -eq 0 ] && echo "install tree complete and valid"
exit $status
