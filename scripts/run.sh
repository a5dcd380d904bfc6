#!/usr/bin/env bash
# Installs what is missing, builds Kestrava and starts it. Without a display
# it says so and prices the sample series in the terminal instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# Only the two programs: the tests, benchmarks and screenshot programs are
# built by scripts/test.sh when they are wanted.
TARGETS="kestrava kestrava-calc" bash scripts/build.sh
if [ -x build/src/app/kestrava ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec build/src/app/kestrava "$@"
fi
if [ -x build/src/app/kestrava ]; then
  echo "No display found: showing the sample series in the terminal instead."
fi
exec build/src/cli/kestrava-calc price samples/sample.ops --format table
