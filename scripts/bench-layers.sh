#!/usr/bin/env bash
# Side-by-side decoding speed: user CPU time of `sorrel-decode --raw` against
# `mpg123 -q -s` (its best decoder) on the same files, in one run.
#   scripts/bench-layers.sh [BUILD_DIR] [--cpu plain|sse|avx2|auto] [--runs N]
# The test files (5 minutes of synthetic music-like audio) are made once with
# sox, lame and twolame into BUILD_DIR/bench-data.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=build
CPU=auto
RUNS=3
while [ $# -gt 0 ]; do
  case "$1" in
    --cpu) CPU=$2; shift 2 ;;
    --runs) RUNS=$2; shift 2 ;;
    *) BUILD=$1; shift ;;
  esac
done
DEC=$BUILD/tools/decode/sorrel-decode
[ -x "$DEC" ] || { echo "no $DEC; build the sorrel-decode target first" >&2; exit 2; }
for t in sox lame twolame mpg123; do
  command -v $t >/dev/null || { echo "needs $t" >&2; exit 2; }
done
DATA=$BUILD/bench-data
mkdir -p "$DATA"
SRC=$DATA/src.wav
if [ ! -s "$SRC" ]; then
  # Two voices of swept tones over band-limited noise with a slow tremolo.
  sox -n -r 44100 -c 2 -b 16 "$SRC" synth 300 sine 110-3520 sine 220-7040 \
    synth 300 pinknoise mix vol 0.4 tremolo 3 40 2>/dev/null ||
    sox -n -r 44100 -c 2 -b 16 "$SRC" synth 300 pinknoise vol 0.4
fi
make() { [ -s "$DATA/$1" ] || { shift; "$@" >/dev/null 2>&1; }; }
make l3-cbr192.mp3 lame --quiet -b 192 -m j "$SRC" "$DATA/l3-cbr192.mp3"
make l3-vbr-v2.mp3 lame --quiet -V2 "$SRC" "$DATA/l3-vbr-v2.mp3"
make l3-mono22.mp3 lame --quiet -m m --resample 22.05 -b 64 "$SRC" "$DATA/l3-mono22.mp3"
make l2-cbr192.mp2 twolame --quiet -b 192 "$SRC" "$DATA/l2-cbr192.mp2"

usertime() { # best user CPU seconds of RUNS runs of the command
  local best=""
  for _ in $(seq "$RUNS"); do
    local t
    /usr/bin/time -o "$DATA/.time" -f "%U" "$@" >/dev/null 2>/dev/null || true
    t=$(tail -1 "$DATA/.time")
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; fi
  done
  echo "$best"
}
printf '%-16s %12s %12s %8s\n' file "sorrel[s]" "mpg123[s]" ratio
for f in l3-cbr192.mp3 l3-vbr-v2.mp3 l3-mono22.mp3 l2-cbr192.mp2; do
  s=$(usertime "$DEC" --raw --cpu "$CPU" "$DATA/$f" /dev/null)
  m=$(usertime mpg123 -q -s "$DATA/$f")
  printf '%-16s %12s %12s %8s\n' "$f" "$s" "$m" "$(awk "BEGIN{ if ($m > 0) printf \"%.2f\", $s / $m; else print \"-\" }")"
done
echo "(user CPU seconds, best of $RUNS; sorrel-decode --cpu $CPU; mpg123 $(mpg123 --version 2>/dev/null | head -1 | awk '{print $2}'))"
