#!/usr/bin/env bash
# Playback engine figures: decode-thread CPU time while sorrel-play plays a 5-minute
# 192 kbit/s joint-stereo MP3 in real time through the null backend (a stretch of
# SECONDS, default 60, measured and scaled to a share of one core), the peak resident
# memory of sorrel-play (real-time run and a whole-file null:fast run), and the time
# from FileName assignment to the first buffer queued.  Needs sox and lame.
#   scripts/bench-engine.sh [BUILD_DIR] [SECONDS]    (default: build, 60)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
SECS=${2:-60}
[ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DSORREL_WITH_GUI=OFF >/dev/null
cmake --build "$BUILD" --target sorrel-play engine_bench >/dev/null
PLAY=$BUILD/tools/play/sorrel-play
for t in sox lame; do
  command -v $t >/dev/null || { echo "bench-engine: $t is missing (apt-get install $t)" >&2; exit 2; }
done
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
MP3=$T/bench.mp3
# The same signal as scripts/bench-decode.sh.
sox -n -r 44100 -c 2 -b 16 "$T/pluck.wav" synth 0.25 pluck A3 pluck E4 repeat 1199
sox -n -r 44100 -c 2 -b 16 "$T/chord.wav" synth 300 sine 220 sine 277.2 sine 329.6 tremolo 0.5 40
sox -n -r 44100 -c 2 -b 16 "$T/sweep.wav" synth 300 sine 100-8000 square 55
sox -n -r 44100 -c 2 -b 16 "$T/noise.wav" synth 300 pinknoise pinknoise
sox -m -v 0.45 "$T/pluck.wav" -v 0.25 "$T/chord.wav" -v 0.12 "$T/sweep.wav" -v 0.3 "$T/noise.wav" \
  "$T/mix.wav" norm -1
lame --quiet -b 192 -m j "$T/mix.wav" "$MP3"
rm -f "$T"/*.wav
TCK=$(getconf CLK_TCK)

echo "file: 5-minute 192 kbit/s joint stereo, $(stat -c %s "$MP3") bytes"

# 1. Real time through null: CPU of each engine thread after SECS seconds.
"$PLAY" --audio null "$MP3" </dev/null >/dev/null 2>&1 &
PID=$!
sleep "$SECS"
declare -A cpu
for task in /proc/$PID/task/*; do
  name=$(cat "$task/comm")
  # Fields after the "(comm)" part: utime and stime are the 14th and 15th overall.
  rest=$(sed 's/^.*) //' "$task/stat")
  read -r -a g <<< "$rest"
  cpu[$name]=$(( ${g[11]} + ${g[12]} ))
done
HWM=$(awk '/VmHWM/{print $2}' /proc/$PID/status)
kill -TERM $PID; wait $PID 2>/dev/null || true
dec=${cpu[mp3-decode]:-0}
awk -v t="$dec" -v hz="$TCK" -v s="$SECS" 'BEGIN{
  printf "decode thread CPU over %d s of real-time playback: %.2f s = %.3f %% of one core (%.1f s per 5 minutes)\n", s, t/hz, 100*t/hz/s, t/hz*300/s }'
for n in mp3-output wave-device sorrel-play; do
  v=${cpu[$n]:-0}
  awk -v n="$n" -v t="$v" -v hz="$TCK" -v s="$SECS" 'BEGIN{ printf "  %-12s thread CPU: %.2f s (%.3f %%)\n", n, t/hz, 100*t/hz/s }'
done
echo "peak resident memory of sorrel-play (real time, after $SECS s): $((HWM / 1024)) MiB ($HWM KiB)"

# 2. Whole file as fast as it decodes: peak RSS and wall time.
/usr/bin/time -f "%M %e %U" -o "$T/time" "$PLAY" --audio null:fast "$MP3" </dev/null >/dev/null 2>&1
read -r KB WALL USER < "$T/time"
echo "peak resident memory of sorrel-play (whole file, null:fast): $((KB / 1024)) MiB ($KB KiB); ${WALL} s wall, ${USER} s user"

# 3. FileName assignment to the first buffer queued.
"$BUILD/tests/engine/engine_bench" "$MP3" 20
