#!/usr/bin/env bash
# The map link's delay: the time from a position sentence (copy-data 9999, sent with
# sorrel-send) to the map program simulator's "AddIcon" line, over N sentences (default
# 50), each 110 m on from the last (so every one recentres, as a car does).  The player
# runs on the null audio device in a private session bus; the simulator's lines are
# stamped as they arrive.  Two figures per sentence:
#   sent   from starting sorrel-send (its own start-up and bus connection included)
#   taken  from sorrel-send's return, when the player has taken the sentence
# The real delay lies between the two.  It includes the 99 ms one-shot tm_DrawMapple.
#   scripts/bench-maplink.sh [BUILD_DIR] [N]    (default: build 50)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
N=${2:-50}
export LC_ALL=C
if [ -z "${SORREL_BENCH_PRIVATE_BUS:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "bench-maplink: dbus-run-session is missing (apt-get install dbus)" >&2; exit 2; }
  [ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja >/dev/null
  cmake --build "$BUILD" --target sorrel sorrel-send sorrel-mapple-sim >/dev/null
  exec env SORREL_BENCH_PRIVATE_BUS=1 dbus-run-session -- "$0" "$@"
fi
SORREL=$BUILD/app/sorrel
SEND=$BUILD/tools/send/sorrel-send
SIM=$BUILD/tools/mapple-sim/sorrel-mapple-sim
export QT_QPA_PLATFORM=offscreen
T=$(mktemp -d)
PIDS=()
cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  if [ -n "${KEEP:-}" ]; then echo "bench-maplink: kept $T" >&2; else rm -rf "$T"; fi
}
trap cleanup EXIT

waitfor() {  # waitfor SECONDS COMMAND...: polls every 5 ms
  local end=$((SECONDS + $1)); shift
  until "$@"; do
    [ $SECONDS -lt $end ] || { echo "bench-maplink: timed out waiting for: $*" >&2; exit 1; }
    sleep 0.005
  done
}
count() { grep -sc "$1" "$T/sim.log" || true; }
connected() { [ "$(count 'SetZoom(250)')" -ge 2 ]; }
drawn() { [ "$(count AddIcon)" -gt "$before" ]; }

mkdir -p "$T/home/A"
cp demo/Tones/01_a440.mp3 "$T/home/A/"
printf '%s/home/A\r\n' "$T" >"$T/list.pdr"
printf '[OvisAlarm]\r\nUseTNLink=1\r\n[MappleLink]\r\nUseMappleLink=1\r\nMappleClass=0\r\nMappleZoom=250\r\n' \
  >"$T/home/sorrel.ini"

"$SIM" 2>"$T/sim.err" > >(while IFS= read -r line; do printf '%s %s\n' "$EPOCHREALTIME" "$line"; done >"$T/sim.log") &
PIDS+=($!)
waitfor 10 grep -qs "# serving" "$T/sim.log"
SORREL_TRACE=1 "$SORREL" --home "$T/home" --audio null "$T/list.pdr" 2>"$T/sorrel.err" &
PIDS+=($!)
waitfor 20 grep -qs " play " "$T/sorrel.err"
"$SEND" post 0x599 69 0 >/dev/null
waitfor 10 connected

: >"$T/figures"
for i in $(seq 1 "$N"); do
  before=$(count AddIcon)
  lat=$(awk -v i="$i" 'BEGIN{printf "%.6f", 35.0 + i * 0.001}')
  t0=$EPOCHREALTIME
  "$SEND" copydata 9999 "\$tnlink_data,ido=$lat,kei=139.700000,dir=$(((i * 23) % 360)),vel=40" >/dev/null
  t1=$EPOCHREALTIME
  waitfor 10 drawn
  t2=$(grep AddIcon "$T/sim.log" | tail -1 | cut -d' ' -f1)
  awk -v a="$t0" -v b="$t1" -v c="$t2" 'BEGIN{printf "%.1f %.1f\n", (c - a) * 1000, (c - b) * 1000}' >>"$T/figures"
  sleep 0.15  # apart, so that each sentence is drawn on its own
done
"$SEND" post 0x599 4 0 >/dev/null || true

stats() {  # column: median and max
  cut -d' ' -f"$1" "$T/figures" | sort -n | awk '{v[NR]=$1} END{printf "median %.1f ms, max %.1f ms", v[int((NR+1)/2)], v[NR]}'
}
echo "sentence to AddIcon over $N sentences (99 ms one-shot included):"
echo "  sent:  $(stats 1)"
echo "  taken: $(stats 2)"
