#!/usr/bin/env bash
# Makes the speed-camera alarm's voice files of the drive demo (demo/Voice/), spoken by
# espeak-ng and brought to 16 kHz mono 16-bit PCM by sox; both are needed only to
# regenerate them (apt-get install espeak-ng sox), not to run the player or its tests.
# The names are the ones the alarm plays: the distance rounded down to 100 m up to
# 900m.wav, このさき.wav beyond that, road word + type word for the camera, and nil.wav
# when the warning ends.
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in espeak-ng sox; do
  command -v "$tool" >/dev/null || { echo "make-demo-voices: $tool is not installed" >&2; exit 1; }
done
out=demo/Voice
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# NAME (without .wav) and what is said, in kana so the reading does not depend on the
# voice's dictionary.
say() {
  espeak-ng -v ja -s 150 -w "$tmp/raw.wav" "$2"
  # 16 kHz mono 16-bit, leading and trailing silence cut, a little quieter than full
  # scale; without dither (-D -R), so that making them again gives the same files.
  sox -D -R "$tmp/raw.wav" -r 16000 -c 1 -b 16 "$out/$1.wav" silence 1 0.01 0.5% reverse silence 1 0.01 0.5% reverse gain -n -3
}

say このさき "このさき"
say 0m "ゼロメートル"
numbers=(ひゃく にひゃく さんびゃく よんひゃく ごひゃく ろっぴゃく ななひゃく はっぴゃく きゅうひゃく)
for i in "${!numbers[@]}"; do
  say "$(( (i + 1) * 100 ))m" "${numbers[$i]}メートル"
done
declare -A road=([一般]=いっぱんどうろ [高速]=こうそくどうろ)
declare -A type=([Hシステム]=エイチシステム [ループ]=ループコイル [レーダ]=レーダー [オービス]=オービス)
for r in 一般 高速; do
  for t in Hシステム ループ レーダ オービス; do
    say "$r$t" "${road[$r]}、${type[$t]}です"
  done
done
# The end of a warning: a short falling chime.
sox -D -R -n -r 16000 -c 1 -b 16 "$out/nil.wav" synth 0.3 sine 988-659 fade q 0.01 0.3 0.08 gain -12
echo "make-demo-voices: $(find "$out" -name '*.wav' | wc -l) files in $out"
