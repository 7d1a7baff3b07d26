#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR) with Ninja: everything, or only the
# targets in $TARGETS (and what they need).  Extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build}
# A build folder left by a run as root (through sudo) cannot be written by a user.
if [ -e "$dir" ] && [ -n "$(find "$dir" ! -user "$(id -u)" -print -quit)" ]; then
  echo "scripts/build.sh: $dir/ holds files of another user (an earlier run through sudo?);" >&2
  echo "remove it (as that user or root: rm -rf $dir) and run again, without sudo." >&2
  exit 1
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
# shellcheck disable=SC2086  # TARGETS is a list of words
cmake --build "$dir" -j "$(nproc)" ${TARGETS:+--target $TARGETS}
