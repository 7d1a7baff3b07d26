#!/usr/bin/env bash
# Decodes every Layer III conformance stream with sorrel-decode, in full-band mode
# and in the player's configuration, and prints the largest absolute difference and
# the PSNR against the reference output over the common length.
#   scripts/conformance.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
DEC=$BUILD/tools/decode/sorrel-decode
[ -x "$DEC" ] || { echo "no $DEC; build the sorrel-decode target first" >&2; exit 2; }
VEC=tests/data/vectors
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
printf '%-24s %12s %10s %12s %10s\n' stream "full:maxdiff" "full:PSNR" "play:maxdiff" "play:PSNR"
for bit in "$VEC"/l3-*.bit "$VEC"/M2L3_*.bit; do
  name=$(basename "$bit" .bit)
  ref=$VEC/$name.pcm
  "$DEC" --raw --full-band "$bit" "$TMP/full.pcm" 2>/dev/null
  "$DEC" --raw "$bit" "$TMP/play.pcm" 2>/dev/null
  python3 - "$ref" "$TMP/full.pcm" "$TMP/play.pcm" "$name" <<'PY'
import sys, math
from array import array
def load(p):
    a = array('h')
    with open(p, 'rb') as f:
        a.frombytes(f.read()[: (len(open(p,'rb').read()) // 2) * 2])
    if sys.byteorder != 'little':
        a.byteswap()
    return a
ref = load(sys.argv[1])
out = []
for p in sys.argv[2:4]:
    d = load(p)
    n = min(len(ref), len(d))
    mx = 0
    se = 0
    for i in range(n):
        e = d[i] - ref[i]
        if e < 0: e = -e
        if e > mx: mx = e
        se += e * e
    psnr = float('inf') if se == 0 else 10 * math.log10(32767.0**2 / (se / max(n, 1)))
    out.append((mx, psnr))
print('%-24s %12d %10.2f %12d %10.2f' % (sys.argv[4], out[0][0], out[0][1], out[1][0], out[1][1]))
PY
done
