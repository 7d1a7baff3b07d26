#!/usr/bin/env bash
# The main window's own cost: the time from the start of `sorrel` to its window shown,
# over a few starts, and the processor time of its GUI thread (the window's timers,
# painting and events; decoding runs on threads of its own) per minute of playing the
# demo list.  Figures only, no limits.
#
#   scripts/bench-window.sh [BUILD_DIR] [SECONDS_PLAYED]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
played=${2:-60}
sorrel=$(realpath "$build/app/sorrel")
[ -x "$sorrel" ] || { echo "bench-window: $sorrel not built" >&2; exit 1; }
work=$(mktemp -d /tmp/sorrel-bench-window.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp -r demo/Tones demo/Chords demo/demo.pdr "$work/"
platform=${QT_QPA_PLATFORM:-offscreen}

echo "start to the window shown (ms, QT_QPA_PLATFORM=$platform):"
for i in 1 2 3 4 5; do
  SORREL_TRACE=1 QT_QPA_PLATFORM=$platform timeout -s TERM 2 dbus-run-session -- \
    "$sorrel" --home "$work" --audio null "$work/demo.pdr" 2>&1 |
    sed -n 's/^sorrel: trace +\([0-9.]*\) window shown$/  \1/p' || true
done

echo "GUI thread while playing for $played s:"
QT_QPA_PLATFORM=$platform dbus-run-session -- bash -c '
  "$1" --home "$2" --audio null "$2/demo.pdr" 2>/dev/null & pid=$!
  sleep 2
  ticks() { awk "{print \$14 + \$15}" /proc/$pid/task/$pid/stat; }
  all() { awk "{print \$14 + \$15}" /proc/$pid/stat; }
  t0=$(ticks); a0=$(all); s0=$(date +%s.%N)
  sleep "$3"
  t1=$(ticks); a1=$(all); s1=$(date +%s.%N)
  hz=$(getconf CLK_TCK)
  awk -v t=$((t1 - t0)) -v a=$((a1 - a0)) -v hz="$hz" -v s0="$s0" -v s1="$s1" "BEGIN {
    secs = s1 - s0
    printf \"  GUI thread: %.2f s of processor per minute of playing (%.2f %% of a core)\n\", t / hz * 60 / secs, t / hz / secs * 100
    printf \"  whole player (decoding included): %.2f %% of a core\n\", a / hz / secs * 100 }"
  kill -TERM $pid; wait $pid' _ "$sorrel" "$work" "$played"
