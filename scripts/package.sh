#!/usr/bin/env bash
# Builds the Debian package build-release/kestrava_VERSION_ARCH.deb from the
# release preset (the programs without tests), its dependencies found by
# dpkg-shlibdeps. With --install-check it then installs the package
# system-wide (apt-get, as root) and starts both programs from the installed
# files: kestrava-calc --help, and the window under xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# PACKAGE_FROM=DIR packages a tree already built with the same optimised
# programs (CI packages the dev build it has just tested) instead of
# building build-release/.
tree=${PACKAGE_FROM:-build-release}
if [ -z "${PACKAGE_FROM:-}" ]; then
  PRESET=release bash scripts/build.sh
fi
rm -f "$tree"/kestrava_*.deb
(cd "$tree" && cpack -G DEB >/dev/null)
deb=$(ls "$tree"/kestrava_*.deb)
echo "Built $deb"
dpkg-deb --field "$deb" Depends

if [ "${1:-}" = "--install-check" ]; then
  SUDO=; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "./$deb" >/dev/null
  /usr/bin/kestrava-calc --help >/dev/null
  grid=$(/usr/bin/kestrava-calc price /usr/share/kestrava/samples/sample.ops --format table)
  head -3 <<<"$grid"
  # The window runs until it is stopped: still running after five seconds
  # (timeout's status 124) is a start.
  home=$(mktemp -d)
  set +e
  HOME=$home timeout 5 xvfb-run -a /usr/bin/kestrava
  started=$?
  set -e
  rm -rf "$home"
  [ $started -eq 124 ] || { echo "the installed kestrava did not start (status $started)"; exit 1; }
  echo "Installed package starts: kestrava-calc and the window"
fi
