#!/usr/bin/env bash
# Installs a built tree into a scratch folder and checks what an installation
# holds: the programs, the desktop entry and the metainfo (both validated), the
# icon, the help pages, the samples and the manual page with every command.
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
            share/kestrava/help/index.html share/kestrava/help/help.css \
            share/kestrava/samples/sample.ops share/kestrava/samples/SMPL.csv \
            share/man/man1/kestrava-calc.1; do
  need "$file"
done

desktop-file-validate "$root/usr/share/applications/kestrava.desktop" || status=1
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/com.tovanek.Kestrava.metainfo.xml" >/dev/null \
  || { appstreamcli validate --no-net "$root/usr/share/metainfo/com.tovanek.Kestrava.metainfo.xml"; status=1; }

# Every command of kestrava-calc has its section in the manual page.
page=$(MANWIDTH=100 man -l "$root/usr/share/man/man1/kestrava-calc.1" 2>&1)
for command in $("$root/usr/bin/kestrava-calc" --help | sed -n '/^Commands:/,$p' | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p'); do
  grep -q "^   $command\$" <<<"$page" || { echo "no manual section for $command"; status=1; }
done
[ $status -eq 0 ] && echo "install tree complete and valid"
exit $status
