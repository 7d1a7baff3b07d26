#!/usr/bin/env bash
# Prints, for every Layer III conformance stream, the largest absolute difference and
# the PSNR against the reference output, in full-band mode and in the player's own
# configuration (24000 Hz limit), and whether the full-band figures pass (max diff
# <= 1, PSNR >= 96 dB).
#   scripts/conformance.sh [BUILD_DIR]      (default: build; builds the test if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DSORREL_WITH_GUI=OFF >/dev/null
fi
LOG=$(mktemp)
trap 'rm -f "$LOG"' EXIT
cmake --build "$BUILD" --target decoder_layer3_conformance_test >"$LOG" 2>&1 || { cat "$LOG"; exit 1; }
"$BUILD/tests/decoder/decoder_layer3_conformance_test" --gtest_brief=1 | grep -E 'full:|PASSED|FAILED'
