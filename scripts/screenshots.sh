#!/usr/bin/env bash
# Retakes every picture in docs/screenshots from a built tree (build/, or
# BUILD_DIR), at 100 % and at 200 % (the "-200" twins), on a virtual
# desktop-sized screen: no display is needed. The programs that draw them
# are in scripts/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
out=${1:-docs/screenshots}
mkdir -p "$out"
screen="$PWD/tests/support/offscreen-screen.json"

take() {  # take SCALE SUFFIX
  local scale=$1 suffix=$2
  export QT_QPA_PLATFORM="offscreen:configfile=$screen" QT_SCALE_FACTOR=$scale
  if [ "$scale" = 2 ]; then
    # The same desktop at twice the pixels.
    sed 's/"width": 1920, "height": 1200/"width": 3840, "height": 2400/' "$screen" > "$build/offscreen-screen-200.json"
    export QT_QPA_PLATFORM="offscreen:configfile=$PWD/$build/offscreen-screen-200.json"
  fi
  local programs=$build/scripts/screenshots
  "$programs/app_screenshots" "$out" $suffix
  "$programs/setup_screenshots" "$out" $suffix
  "$programs/page_screenshots" "$out" $suffix
  "$programs/beyond_screenshots" "$out" $suffix
  "$programs/chain_screenshots" "$out" $suffix
  "$programs/spinedit_screenshots" "$out/spinedits-$( [ "$scale" = 2 ] && echo 200 || echo 100 ).png"
}

take 1 ""
take 2 -200
# A printed grid page, as the print command writes it.
unset QT_SCALE_FACTOR
"$build/src/cli/kestrava-calc" print samples/sample.ops --pdf "$build/sample-print.pdf"
pdftoppm -png -r 100 -f 1 -l 1 -singlefile "$build/sample-print.pdf" "$out/printed-grid"
echo "Screenshots written to $out"
