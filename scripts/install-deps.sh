#!/usr/bin/env bash
# Installs the Debian 12 packages Kestrava builds and tests with, when missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  lld  # links the programs several times faster than ld
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcurl4-openssl-dev libcpp-httplib-dev zlib1g-dev
  libquantlib0-dev  # the reference engine in bench/pricing_bench
  xvfb xauth fonts-dejavu-core
  xdg-utils
  desktop-file-utils appstream dpkg-dev man-db  # the install tree's checks and the package
  shared-mime-info libglib2.0-bin  # the series file type in the install tree's checks (update-mime-database, gio)
  locales  # the tests run under de_DE and fr_FR as well
  poppler-utils  # reads printed pages back in the tests
  clang libclang-rt-14-dev  # the libFuzzer targets of scripts/fuzz.sh
  clang-format  # scripts/check-format.sh
  clang-tidy  # scripts/tidy.sh
)

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi

# The German and French locales write a decimal comma; the tests use both.
generate_locales() {
  local wanted=(de_DE.UTF-8 fr_FR.UTF-8) missing_locales=()
  for l in "${wanted[@]}"; do
    locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}" || missing_locales+=("$l")
  done
  [ ${#missing_locales[@]} -eq 0 ] && return 0
  for l in "${missing_locales[@]}"; do
    $SUDO sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
  done
  $SUDO locale-gen >/dev/null
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -ne 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
generate_locales
