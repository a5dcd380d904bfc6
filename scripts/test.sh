#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#
# --sanitize: the same with the sanitize preset in build-sanitize/ (BUILD_DIR
# overrides), built with g++'s AddressSanitizer and UndefinedBehaviorSanitizer
# without recovery (at -O1, which keeps the build short and the stacks
# readable), so that any report ends its test with a failure. Leaks inside
# system libraries are suppressed by tests/support/lsan-suppressions.txt only.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen

if [ "${1:-}" = --sanitize ]; then
  build=${BUILD_DIR:-build-sanitize}
  PRESET=sanitize BUILD_DIR=$build bash scripts/build.sh
  source scripts/sanitizer-env.sh
  ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 900
  exit
fi

bash scripts/build.sh
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j "$(nproc)" --timeout 300
