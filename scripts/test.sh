#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build, then the
# parsers' corpus replays in a sanitizer build, then the threaded libraries' tests under
# ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
# The tests' peers: a real X server and key presses, the reference decoder, an MPRIS
# client, a fake logind, real taggers, the desktop's MIME and desktop-entry tools, gpsd
# with gpsfake.
scripts/deps.sh xvfb xdotool xauth mpg123 playerctl python3-dbusmock python3-mutagen eyed3 id3v2 \
  xdg-utils libfile-mimeinfo-perl shared-mime-info desktop-file-utils gpsd gpsd-clients
scripts/build.sh
ctest --test-dir build --no-tests=error --output-on-failure -j "$(nproc)"
TARGETS=sanitizer_tests BUILD_DIR=build-asan scripts/build.sh -DSORREL_SANITIZE=ON -DSORREL_WITH_GUI=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --no-tests=error --output-on-failure -j "$(nproc)" -L sanitize
# A data race fails the test that shows it (ThreadSanitizer's exit status).
TARGETS=sanitizer_tests BUILD_DIR=build-tsan scripts/build.sh -DSORREL_TSAN=ON -DSORREL_WITH_GUI=OFF
TSAN_OPTIONS="second_deadlock_stack=1 history_size=4" \
  ctest --test-dir build-tsan --no-tests=error --output-on-failure -j "$(nproc)" -L tsan
