#!/usr/bin/env bash
# Configures and builds Kestrava with a preset of CMakePresets.json: PRESET
# (default dev, into build/); BUILD_DIR puts the same preset's tree elsewhere.
# Further arguments go to the configure step (-DNAME=VALUE). TARGETS names
# the targets to build (default: all of them).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${PRESET:-dev}
# Two more jobs than cores keep the cores busy while a job waits on the disk
# or a link.
jobs=${JOBS:-$(( $(nproc) + 2 ))}
if [ -n "${BUILD_DIR:-}" ]; then
  cmake --preset "$preset" -B "$BUILD_DIR" "$@" >/dev/null
  cmake --build "$BUILD_DIR" -j "$jobs" ${TARGETS:+--target $TARGETS}
else
  cmake --preset "$preset" "$@" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" ${TARGETS:+--target $TARGETS}
  # Editors and clang-tidy find the compile commands of the everyday tree at
  # the top of the source tree.
  if [ "$preset" = dev ]; then
    ln -sfn build/compile_commands.json compile_commands.json
  fi
fi
