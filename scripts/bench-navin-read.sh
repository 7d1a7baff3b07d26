#!/usr/bin/env bash
# The cost of the alarm's screen reading over the session bus: a private bus, the
# navigation-program simulator (small status display) and N rounds of each step.
# Usage: scripts/bench-navin-read.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
build=${1:-build}
rounds=${2:-200}
sim=$build/tools/navin-sim/sorrel-navin-sim
bench=$build/tests/tools/bench_navin_read
for f in "$sim" "$bench"; do
  [[ -x $f ]] || { echo "bench-navin-read: $f is missing (build it first)" >&2; exit 2; }
done
exec dbus-run-session -- bash -c '
  QT_QPA_PLATFORM=offscreen "$1" --small >/dev/null 2>&1 &
  sim=$!
  for _ in $(seq 100); do
    "$2" 1 >/dev/null 2>&1 && break
    sleep 0.1
  done
  "$2" "$3"
  status=$?
  kill "$sim"
  exit $status' bench "$sim" "$bench" "$rounds"
