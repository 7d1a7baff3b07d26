#!/usr/bin/env bash
# Decoding speed: makes a 5-minute 192 kbit/s joint-stereo MP3 with LAME from a
# synthetic signal (plucked notes, chords, a sweep and noise), then prints the user
# CPU time of `sorrel-decode --raw` (with the plain portable routines and with the
# processor's best) and of `mpg123 -q -s` on it, best of 3 runs each, and the
# ratios.  Needs sox, lame and mpg123 (Debian packages).
#   scripts/bench-decode.sh [BUILD_DIR]    (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
DEC=$BUILD/tools/decode/sorrel-decode
if [ ! -x "$DEC" ]; then
  [ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DSORREL_WITH_GUI=OFF >/dev/null
  cmake --build "$BUILD" --target sorrel-decode >/dev/null
fi
for t in sox lame mpg123; do
  command -v $t >/dev/null || { echo "bench-decode: $t is missing (apt-get install $t)" >&2; exit 2; }
done
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
MP3=$T/bench.mp3
sox -n -r 44100 -c 2 -b 16 "$T/pluck.wav" synth 0.25 pluck A3 pluck E4 repeat 1199
sox -n -r 44100 -c 2 -b 16 "$T/chord.wav" synth 300 sine 220 sine 277.2 sine 329.6 tremolo 0.5 40
sox -n -r 44100 -c 2 -b 16 "$T/sweep.wav" synth 300 sine 100-8000 square 55
sox -n -r 44100 -c 2 -b 16 "$T/noise.wav" synth 300 pinknoise pinknoise
sox -m -v 0.45 "$T/pluck.wav" -v 0.25 "$T/chord.wav" -v 0.12 "$T/sweep.wav" -v 0.3 "$T/noise.wav" \
  "$T/mix.wav" norm -1
lame --quiet -b 192 -m j "$T/mix.wav" "$MP3"
rm -f "$T"/*.wav

best() {  # best user time of 3 runs of the given command (stdout discarded)
  local b="" u
  for _ in 1 2 3; do
    /usr/bin/time -f %U -o "$T/time" "$@" >/dev/null 2>/dev/null
    u=$(tail -1 "$T/time")
    if [ -z "$b" ] || awk "BEGIN{exit !($u < $b)}"; then b=$u; fi
  done
  echo "$b"
}
P=$(best "$DEC" --cpu plain --raw "$MP3" -)
A=$(best "$DEC" --raw "$MP3" -)
M=$(best mpg123 -q -s "$MP3")
echo "file: 300 s, 44100 Hz, joint stereo, 192 kbit/s ($(stat -c %s "$MP3") bytes)"
printf 'sorrel-decode --cpu plain --raw : %6.2f s user  (%.2f x mpg123)\n' "$P" "$(awk "BEGIN{print $P / $M}")"
printf 'sorrel-decode --raw (auto)      : %6.2f s user  (%.2f x mpg123)\n' "$A" "$(awk "BEGIN{print $A / $M}")"
printf 'mpg123 -q -s                    : %6.2f s user\n' "$M"
