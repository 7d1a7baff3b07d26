#!/usr/bin/env bash
# Feeds damaged MPEG audio files to sorrel-decode and to the console player and counts
# how each one ends: ok, refused, crashed (a signal) or hung (timeout).  mpg123 decodes
# every file as well; a file it gets audio out of but sorrel refuses is one a listener
# would expect to play, so those are counted per kind of damage and the first few are
# shown with sorrel's message.
#
# The source files are made here (sox, lame, twolame when available) plus the demo
# MP3s; the damage is drawn from the seed, so a run with the same seed repeats and
# --keep DIR leaves the files behind to look at.
#
#   scripts/probe-damaged.sh [BUILD_DIR] [--count N] [--seed S] [--keep DIR]
#                            [--timeout SEC] [--jobs J] [--show K]
#     BUILD_DIR  where sorrel-decode and sorrel-play are built (default: build)
#     --count    number of damaged files (default 1000), besides the intact sources;
#                from 50 on an empty file and files of only 0xFF bytes are among them
#     --seed     damage seed (default 1)
#     --keep     work in DIR and keep the files, the results (results.tsv) and the
#                list of damage done (manifest.tsv) instead of a temporary directory
#     --timeout  seconds each program gets per file before it counts as hung (20)
#     --jobs     files probed at once (2)
#     --show     how many refused-but-mpg123-plays files to show (8)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)

usage() { # $1: exit status; help goes to stdout, a usage error to stderr
  if [ "$1" -eq 0 ]; then
    sed -n '/^#   scripts/,/^#     --show/s/^# \{0,1\}//p' "$0"
  else
    sed -n '/^#   scripts/,/^#     --show/s/^# \{0,1\}//p' "$0" >&2
  fi
  exit "$1"
}

BUILD=build COUNT=1000 SEED=1 KEEP="" TMO=20 JOBS=2 SHOW=8 build_set=""
while [ $# -gt 0 ]; do
  case $1 in
    --count) [ $# -ge 2 ] || usage 2; COUNT=$2; shift 2 ;;
    --seed) [ $# -ge 2 ] || usage 2; SEED=$2; shift 2 ;;
    --keep) [ $# -ge 2 ] || usage 2; KEEP=$2; shift 2 ;;
    --timeout) [ $# -ge 2 ] || usage 2; TMO=$2; shift 2 ;;
    --jobs) [ $# -ge 2 ] || usage 2; JOBS=$2; shift 2 ;;
    --show) [ $# -ge 2 ] || usage 2; SHOW=$2; shift 2 ;;
    -h | --help) usage 0 ;;
    -*) usage 2 ;;
    *) [ -z "$build_set" ] || usage 2; BUILD=$1; build_set=1; shift ;;
  esac
done
for v in COUNT SEED TMO JOBS SHOW; do
  [[ ${!v} =~ ^[0-9]+$ ]] || { echo "probe-damaged: --${v,,} wants a number" >&2; exit 2; }
done
if [ "$COUNT" -lt 1 ] || [ "$TMO" -lt 1 ] || [ "$JOBS" -lt 1 ]; then usage 2; fi

# A relative build directory is taken from where the script is called, else from the
# repository root (so both `scripts/probe-damaged.sh build` and an absolute path work).
if [ "${BUILD#/}" = "$BUILD" ] && [ ! -d "$BUILD" ]; then BUILD=$ROOT/$BUILD; fi
[ -d "$BUILD" ] || { echo "probe-damaged: no build directory $BUILD" >&2; exit 2; }
BUILD=$(cd "$BUILD" && pwd)
DEC=$BUILD/tools/decode/sorrel-decode
PLAY=$BUILD/tools/play/sorrel-play
if [ ! -x "$DEC" ] || [ ! -x "$PLAY" ]; then
  [ -f "$BUILD/build.ninja" ] || cmake -S "$ROOT" -B "$BUILD" -G Ninja -DSORREL_WITH_GUI=OFF >/dev/null
  cmake --build "$BUILD" --target sorrel-decode sorrel-play >/dev/null
fi

# Only what is missing goes to deps.sh (which asks for sudo when not root).
missing=()
for t in sox lame mpg123 python3 timeout xargs; do
  command -v "$t" >/dev/null && continue
  case $t in timeout | xargs) echo "probe-damaged: $t is missing (coreutils/findutils)" >&2; exit 2 ;; esac
  missing+=("$t")
done
[ ${#missing[@]} -eq 0 ] || "$ROOT/scripts/deps.sh" "${missing[@]}"
if ! command -v twolame >/dev/null; then
  "$ROOT/scripts/deps.sh" twolame >/dev/null 2>&1 || echo "probe-damaged: twolame not installable; no Layer II source" >&2
fi

if [ -n "$KEEP" ]; then
  mkdir -p "$KEEP"
  WORK=$(cd "$KEEP" && pwd)
  # Reuse only a directory this script made (or an empty one).
  if [ -n "$(ls -A "$WORK")" ] && [ ! -f "$WORK/manifest.tsv" ]; then
    echo "probe-damaged: $WORK is not empty and holds no earlier probe" >&2
    exit 2
  fi
  rm -rf "${WORK:?}"/{src,files,res,out,bin,manifest.tsv,results.tsv}
else
  WORK=$(mktemp -d "${TMPDIR:-/tmp}/probe-damaged.XXXXXX")
  trap 'rm -rf "$WORK"' EXIT
  trap 'exit 130' INT TERM
fi
mkdir -p "$WORK/src" "$WORK/files" "$WORK/res" "$WORK/out" "$WORK/bin"
START=$EPOCHSECONDS
# Copies, so that a rebuild of BUILD_DIR during the run does not mix two builds.
cp "$DEC" "$PLAY" "$WORK/bin/"
DEC=$WORK/bin/sorrel-decode PLAY=$WORK/bin/sorrel-play

# ---- sources: 3 s each, a sweep on one channel and noise on the other so that
# frames differ and VBR frame sizes vary.
S=$WORK/src
sox -R -n -r 44100 -c 2 -b 16 "$S/st44.wav" synth 3 sine 300-1200 pinknoise vol 0.4
sox -R -n -r 22050 -c 1 -b 16 "$S/mono22.wav" synth 3 sine 200-2000 vol 0.5
lame --quiet -t -b 128 -m s "$S/st44.wav" "$S/cbr-44k-stereo.mp3"
lame --quiet -V 2 "$S/st44.wav" "$S/vbr-44k-xing.mp3"
lame --quiet -b 32 -m m "$S/mono22.wav" "$S/mpeg2-22k-mono.mp3"
lame --quiet -b 160 --id3v2-only --tt "Probe Title" --ta "Probe Artist" --tl "Probe Album" \
  --ty 2024 --tn 3 "$S/st44.wav" "$S/id3v23-44k.mp3"
if command -v twolame >/dev/null; then
  twolame --quiet -b 192 "$S/st44.wav" "$S/layer2-44k.mp2"
fi
for f in "$ROOT"/demo/*/*.mp3; do
  [ -f "$f" ] || continue
  d=${f%/*}
  cp "$f" "$S/demo-${d##*/}-${f##*/}"
done
rm -f "$S"/*.wav

# ---- damaged files, written with a line each into manifest.tsv:
# name, kind, source, what was done.
python3 - "$S" "$WORK/files" "$COUNT" "$SEED" >"$WORK/manifest.tsv" <<'PY'
import os, random, struct, sys

src_dir, out_dir, count, seed = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]

KBPS = {
    (1, 1): (0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448),
    (1, 2): (0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384),
    (1, 3): (0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320),
    (2, 1): (0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256),
    (2, 2): (0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160),
}
KBPS[(2, 3)] = KBPS[(2, 2)]
RATES = {3: (44100, 48000, 32000), 2: (22050, 24000, 16000), 0: (11025, 12000, 8000)}


def frame_len(b, i):
    """Length of the frame whose header starts at i, or None."""
    if i + 4 > len(b) or b[i] != 0xFF or (b[i + 1] & 0xE0) != 0xE0:
        return None
    ver, lay = (b[i + 1] >> 3) & 3, (b[i + 1] >> 1) & 3
    bri, sri, pad = b[i + 2] >> 4, (b[i + 2] >> 2) & 3, (b[i + 2] >> 1) & 1
    if ver == 1 or lay == 0 or bri in (0, 15) or sri == 3:
        return None
    layer, mpeg1 = 4 - lay, ver == 3
    rate = RATES[ver][sri]
    br = KBPS[(1 if mpeg1 else 2, layer)][bri] * 1000
    if layer == 1:
        return (12 * br // rate + pad) * 4
    return (144 if layer == 2 or mpeg1 else 72) * br // rate + pad


def tag_len(b):
    if len(b) >= 10 and b[:3] == b"ID3" and all(x < 0x80 for x in b[6:10]):
        n = (b[6] << 21 | b[7] << 14 | b[8] << 7 | b[9]) + 10 + (10 if b[5] & 0x10 else 0)
        return min(n, len(b))
    return 0


def frames(b):
    """(offset, length) of the run of frames from the first place two headers chain."""
    i = tag_len(b)
    while i + 4 <= len(b):
        n = frame_len(b, i)
        if n and (i + n == len(b) or frame_len(b, i + n)):
            break
        i += 1
    out = []
    while i + 4 <= len(b):
        n = frame_len(b, i)
        if not n or i + n > len(b):
            break
        out.append((i, n))
        i += n
    return out


def rbytes(rng, n):
    return rng.getrandbits(8 * n).to_bytes(n, "little") if n else b""


def syncsafe(n):
    return bytes(((n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F))


def logsize(rng, lo, hi):
    return int(round(lo * (hi / lo) ** rng.random()))


class File:
    def __init__(self, name, data, others=()):
        self.name, self.data, self.others = name, data, others
        self.tag = tag_len(data)
        self.frames = frames(data)

    def audio_start(self):
        return self.frames[0][0] if self.frames else self.tag

    def boundaries(self):
        return [o for o, _ in self.frames] + ([sum(self.frames[-1])] if self.frames else [])


def junk(rng, f):
    """Bytes that are not audio; some of them look like the start of a frame."""
    k = rng.choice(("ff1", "ff1", "sync", "falsehdr", "random", "zeros", "ffrun", "ffrich"))
    if k == "ff1":
        return b"\xff", "one 0xFF byte"
    if k == "sync":
        s = rng.choice((b"\xff\xfb", b"\xff\xf3", b"\xff\xfa", b"\xff\xe2", b"\xff\xfd", b"\xff\xff\xfb"))
        s += rbytes(rng, rng.randint(0, 3))
        return s, "false sync " + s.hex(" ")
    if k == "falsehdr" and f.frames:
        o, n = f.frames[rng.randrange(len(f.frames))]
        cut = rng.randint(4, max(4, n - 1))
        return f.data[o:o + 4] + rbytes(rng, cut - 4), "false frame: real header + %d junk bytes (frame is %d)" % (cut - 4, n)
    n = logsize(rng, 2, 4096)
    if k == "zeros":
        return bytes(n), "%d zero bytes" % n
    if k == "ffrun":
        return b"\xff" * n, "%d 0xFF bytes" % n
    if k == "ffrich":
        return bytes(0xFF if rng.random() < 0.3 else rng.randrange(256) for _ in range(n)), "%d random bytes, 30%% 0xFF" % n
    return rbytes(rng, n), "%d random bytes" % n


def d_truncate(rng, f):
    b = f.data
    k = rng.choice(("anywhere", "anywhere", "early", "header", "last-frame", "in-tag"))
    if k == "in-tag" and f.tag > 1:
        p = rng.randrange(1, f.tag)
    elif k == "early" and f.frames:
        p = rng.randrange(f.audio_start(), sum(f.frames[min(2, len(f.frames) - 1)]))
    elif k == "header" and f.frames:
        p = rng.choice(f.frames)[0] + rng.randint(1, 3)
    elif k == "last-frame" and f.frames:
        o, n = f.frames[-1]
        p = o + rng.randrange(1, n)
    else:
        k, p = "anywhere", rng.randrange(len(b)) if b else 0
    return b[:p], "cut at byte %d of %d (%s)" % (p, len(b), k)


def d_flip(rng, f):
    b = bytearray(f.data)
    if not b:
        return bytes(b), "nothing to flip"
    k = rng.choice(("bytes", "headers", "sideinfo")) if f.frames else "bytes"
    if k == "bytes":
        n = logsize(rng, 1, 64)
        for _ in range(n):
            b[rng.randrange(len(b))] ^= rng.randint(1, 255)
        return bytes(b), "%d random bytes changed" % n
    n = rng.randint(1, 5)
    for _ in range(n):
        o, ln = rng.choice(f.frames)
        if k == "headers":
            b[o + rng.randrange(4)] ^= 1 << rng.randrange(8)
        else:
            b[o + rng.randint(4, min(35, ln - 1))] ^= rng.randint(1, 255)
    return bytes(b), "%s of %d frames damaged" % ("a header bit" if k == "headers" else "side info", n)


def d_zero(rng, f):
    b = bytearray(f.data)
    if not b:
        return bytes(b), "nothing to zero"
    k = rng.choice(("range", "range", "frame", "head")) if f.frames else "range"
    if k == "frame":
        o, n = rng.choice(f.frames)
        p, n = o, rng.randint(4, n)
    elif k == "head":
        p, n = f.audio_start(), logsize(rng, 4, 2000)
    else:
        p, n = rng.randrange(len(b)), logsize(rng, 1, 8192)
    n = min(n, len(b) - p)
    b[p:p + n] = bytes(n)
    return bytes(b), "%d bytes zeroed at %d (%s)" % (n, p, k)


def d_junk_head(rng, f):
    j, what = junk(rng, f)
    at = f.audio_start() if rng.random() < 0.7 or not f.tag else 0
    where = "before the first frame" if at else "at the start"
    if f.tag and at:
        where += ", after the ID3v2 tag"
    return f.data[:at] + j + f.data[at:], "%s inserted %s (offset %d)" % (what, where, at)


def d_junk_mid(rng, f):
    bs = f.boundaries()[1:-1]
    if not bs:
        return d_junk_head(rng, f)
    j, what = junk(rng, f)
    at = rng.choice(bs)
    return f.data[:at] + j + f.data[at:], "%s inserted between frames (offset %d)" % (what, at)


def text_frame(fid, text, size=None):
    body = b"\x00" + text.encode("latin-1")
    return fid + struct.pack(">I", len(body) if size is None else size) + b"\x00\x00" + body


def d_id3_badsize(rng, f):
    audio = f.data[f.tag:]
    body = text_frame(b"TIT2", "Fake Title") + text_frame(b"TPE1", "Fake Artist") + bytes(rng.randint(0, 64))
    first = f.frames[0][1] if f.frames else 400
    k = rng.choice(("over", "past-eof", "under", "not-syncsafe", "zero", "version", "twice"))
    ver, size = 3, len(body)
    if k == "over":
        size = len(body) + rng.randint(1, 3 * first)
    elif k == "past-eof":
        size = min(len(body) + len(audio) + logsize(rng, 1, 1 << 20), (1 << 28) - 1)
    elif k == "under":
        size = rng.randrange(len(body))
    elif k == "zero":
        size = 0
    elif k == "version":
        ver = rng.choice((0, 1, 5, 0xFF))
    head = b"ID3" + bytes((ver, 0, 0))
    if k == "not-syncsafe":
        raw = struct.pack(">I", len(body) | rng.choice((0x80, 0x8000, 0x800000, 0x80000000)))
        tag = head + raw + body
        what = "size bytes %s are not syncsafe" % raw.hex()
    else:
        tag = head + syncsafe(size) + body
        what = "declares %d bytes, holds %d (%s)" % (size, len(body), k)
    if k == "twice":
        tag = tag + tag
        what = "two ID3v2 tags in a row"
    return tag + audio, "fake ID3v2.%d tag %s" % (ver, what)


def d_id3_bigframe(rng, f):
    audio = f.data[f.tag:]
    frs = [text_frame(b"TIT2", "Big Tag Title"), text_frame(b"TPE1", "Big Tag Artist"), text_frame(b"TALB", "Album")]
    big = rng.choice(("COMM", "APIC", "TXXX"))
    n = rng.randint(4200, 9000)
    if big == "COMM":
        body = b"\x00eng\x00" + bytes(rng.choice(b"abcdefgh ") for _ in range(n))
    elif big == "TXXX":
        body = b"\x00Notes\x00" + bytes(rng.choice(b"ijklmnop ") for _ in range(n))
    else:  # a picture's bytes are full of 0xFF, as JPEG data is
        body = b"\x00image/jpeg\x00\x03\x00\xff\xd8\xff\xe0" + bytes(0xFF if rng.random() < 0.1 else rng.randrange(256) for _ in range(n))
    frs.insert(rng.randint(0, len(frs)), big.encode() + struct.pack(">I", len(body)) + b"\x00\x00" + body)
    which = rng.randrange(len(frs)) if rng.random() < 0.4 else next(i for i, x in enumerate(frs) if len(x) > 4096)
    real = len(frs[which]) - 10
    total = sum(map(len, frs))
    k = rng.choice(("over", "huge", "zero", "under", "syncsafe", "intact"))
    size = {"over": real + rng.randint(1, 8000), "huge": rng.choice((0xFFFFFFFF, 0x7FFFFFFF)), "zero": 0,
            "under": rng.randrange(1, max(2, real)), "syncsafe": int.from_bytes(syncsafe(real), "big"),
            "intact": real}[k]
    fr = bytearray(frs[which])
    fr[4:8] = struct.pack(">I", size)
    frs[which] = bytes(fr)
    pad = bytes(rng.choice((0, 0, 16, 500)))
    tag = b"ID3\x03\x00\x00" + syncsafe(total + len(pad)) + b"".join(frs) + pad
    what = "intact" if k == "intact" else "%s frame size %d instead of %d (%s)" % (frs[which][:4].decode(), size, real, k)
    return tag + audio, "ID3v2.3 tag of %d bytes with a %s frame of %d bytes: %s" % (len(tag), big, n, what)


def d_riff(rng, f):
    b = f.data if rng.random() < 0.2 else f.data[f.tag:]
    h = b[f.audio_start() - (0 if b is f.data else f.tag):][:4] if f.frames else b"\xff\xfb\x90\x00"
    ver = (h[1] >> 3) & 3 if len(h) == 4 else 3
    rate = RATES.get(ver, RATES[3])[min((h[2] >> 2) & 3, 2)] if len(h) == 4 else 44100
    ch = 1 if len(h) == 4 and h[3] >> 6 == 3 else 2
    layer = 4 - ((h[1] >> 1) & 3) if len(h) == 4 else 3
    if layer == 3:
        fmt = struct.pack("<HHIIHHHHIHHH", 0x55, ch, rate, 16000, 1, 0, 12, 1, 2, 417, 1, 1393)
    else:
        fmt = struct.pack("<HHIIHHHHIHHHHII", 0x50, ch, rate, 24000, 1, 0, 22, 2, 192000, 1, 0, 0, 0, 0, 0)
    chunks = b"fmt " + struct.pack("<I", len(fmt)) + fmt
    k = rng.choice(("data-ffffffff", "data-ffffffff", "data-ffffffff", "riff-ffffffff", "both-ffffffff",
                    "exact", "data-0", "data-short", "extra-chunks"))
    if k == "extra-chunks":
        chunks += b"fact" + struct.pack("<II", 4, 123456) + b"LIST" + struct.pack("<I", 13) + b"INFOISFT\x01\x00\x00\x00x" + b"\x00"
    dsize = {"data-0": 0, "data-short": len(b) // 3, "exact": len(b), "riff-ffffffff": len(b)}.get(k, 0xFFFFFFFF)
    body = b"WAVE" + chunks + b"data" + struct.pack("<I", dsize) + b + (b"\x00" if len(b) % 2 else b"")
    rsize = 0xFFFFFFFF if k in ("riff-ffffffff", "both-ffffffff") else len(body)
    return b"RIFF" + struct.pack("<I", rsize) + body, "RIFF WAVE (format 0x%02x) around the %s: %s (RIFF size 0x%x, data size 0x%x)" % (
        0x55 if layer == 3 else 0x50, "whole file" if b is f.data else "audio", k, rsize, dsize)


def d_dup_shuffle(rng, f):
    fr = list(f.frames)
    if len(fr) < 4:
        return d_junk_mid(rng, f)
    head, tail = f.data[:fr[0][0]], f.data[sum(fr[-1]):]
    chunks = [f.data[o:o + n] for o, n in fr]
    k = rng.choice(("dup", "shuffle", "swap", "repeat-first", "drop", "foreign"))
    if k == "dup":
        a = rng.randrange(len(chunks))
        n = rng.randint(1, min(20, len(chunks) - a))
        at = rng.randint(0, len(chunks))
        chunks[at:at] = chunks[a:a + n]
        what = "frames %d..%d copied to position %d" % (a, a + n - 1, at)
    elif k == "shuffle":
        cuts = sorted(rng.sample(range(1, len(chunks)), min(len(chunks) - 1, rng.randint(2, 8))))
        blocks = [chunks[a:b] for a, b in zip([0] + cuts, cuts + [len(chunks)])]
        rng.shuffle(blocks)
        chunks = [c for bl in blocks for c in bl]
        what = "%d runs of frames shuffled" % len(blocks)
    elif k == "swap":
        a, c = rng.sample(range(len(chunks)), 2)
        chunks[a], chunks[c] = chunks[c], chunks[a]
        what = "frames %d and %d swapped" % (a, c)
    elif k == "repeat-first":
        n = rng.randint(1, 5)
        chunks[0:0] = [chunks[0]] * n
        what = "first frame repeated %d times" % n
    elif k == "drop":
        a = rng.randrange(len(chunks))
        n = rng.randint(1, min(20, len(chunks) - a))
        del chunks[a:a + n]
        what = "frames %d..%d removed" % (a, a + n - 1)
    else:  # frames of another format in the middle
        o = File(*rng.choice(f.others))
        if len(o.frames) < 2:
            return d_junk_mid(rng, f)
        a = rng.randrange(len(o.frames) - 1)
        n = rng.randint(1, min(10, len(o.frames) - a))
        at = rng.randint(1, len(chunks))
        chunks[at:at] = [o.data[p:p + m] for p, m in o.frames[a:a + n]]
        what = "%d frames of %s inserted at frame %d" % (n, o.name, at)
    return head + b"".join(chunks) + tail, what


def d_append(rng, f):
    k = rng.choice(("junk", "junk", "partial-frame", "id3v1-cut", "id3v2"))
    if k == "partial-frame" and f.frames:
        o, n = rng.choice(f.frames)
        m = rng.randint(1, n - 1)
        return f.data + f.data[o:o + m], "first %d bytes of a %d-byte frame appended" % (m, n)
    if k == "id3v1-cut":
        m = rng.randint(3, 127)
        return f.data + (b"TAG" + b"x" * 125)[:m], "cut ID3v1 tag of %d bytes appended" % m
    if k == "id3v2":
        body = text_frame(b"TIT2", "Tail")
        return f.data + b"ID3\x03\x00\x00" + syncsafe(len(body)) + body, "ID3v2 tag appended"
    j, what = junk(rng, f)
    return f.data + j, what + " appended"


MAIN = [("truncate", d_truncate), ("flip", d_flip), ("zero", d_zero), ("junk-head", d_junk_head),
        ("junk-mid", d_junk_mid), ("id3-badsize", d_id3_badsize), ("id3-bigframe", d_id3_bigframe),
        ("riff", d_riff), ("dup-shuffle", d_dup_shuffle), ("append", d_append)]


def d_combo(rng, f):
    done = []
    for fn in rng.sample([fn for _, fn in MAIN], rng.randint(2, 3)):
        data, what = fn(rng, f)
        done.append(what)
        f = File(f.name, data, f.others)
    return f.data, " + ".join(done)


srcs = []
for n in sorted(os.listdir(src_dir)):
    with open(os.path.join(src_dir, n), "rb") as fh:
        srcs.append((n, fh.read()))
kinds = MAIN + [("combo", d_combo)]
ALLFF = (1, 2, 4, 417, 1045, 4096, 65536)
special = [("empty", 0)] + [("all-ff", n) for n in ALLFF] if count >= 50 else []
plan = []
for i in range(count - len(special)):
    k = kinds[i % len(kinds)]
    plan.append((k, srcs[(i // len(kinds)) % len(srcs)]))


def emit(name, kind, src, data, what):
    with open(os.path.join(out_dir, name), "wb") as fh:
        fh.write(data)
    print("\t".join((name, kind, src, what.replace("\t", " "))))


for n, data in srcs:
    emit("clean-" + n, "clean", n, data, "intact source")
for i, ((kind, fn), (n, data)) in enumerate(plan):
    rng = random.Random("%s:%d" % (seed, i))
    f = File(n, data, [s for s in srcs if s[0] != n])
    out, what = fn(rng, f)
    stem, ext = os.path.splitext(n)
    emit("%04d-%s-%s%s" % (i, kind, stem, ext), kind, n, out, what)
for kind, n in special:
    emit("%s-%d.mp3" % (kind, n), kind, "-", b"\xff" * n, "%d bytes" % n if kind == "all-ff" else "no bytes")
PY

# ---- probing: one line per file into res/NAME.tsv
# name, then for sorrel-decode: class, exit, seconds of audio, message; for sorrel-play:
# class, exit, message; for mpg123: class, exit, seconds of audio.
probe_one() {
  local name=$1 in=$WORK/files/$1 out=$WORK/out/$1 t0 el rc cl rc_d rc_p dcl pcl mcl
  local dmsg pmsg dsec="" msec=0 hdr="" h
  run() { # sets rc and el (ms); no subshells, forks are what this loop spends its time on
    t0=${EPOCHREALTIME/./}
    timeout -k 5 "$TMO" "$@"
    rc=$?
    el=$(((${EPOCHREALTIME/./} - t0) / 1000))
  }
  classify() { # sets cl from rc and el; $1: the exit code that means refusal (empty: any)
    if [ "$rc" -eq 0 ]; then cl=ok
    elif [ "$rc" -eq 124 ] || { [ "$rc" -eq 137 ] && [ "$el" -ge $((TMO * 1000)) ]; }; then cl=hung
    elif [ "$rc" -gt 128 ]; then cl=crashed
    elif [ -z "$1" ] || [ "$rc" -eq "$1" ]; then cl=refused
    else cl=other
    fi
  }
  message() { # first 300 characters of file $1 on one line, without the input's name
    local m=""
    read -r -d '' m <"$1" || true
    m=${m//$'\t'/ } m=${m//$'\n'/ } m=${m//"$in: "/}
    msg=${m:0:300}
  }
  local msg
  run "$DEC" "$in" "$out.wav" 2>"$out.derr" >/dev/null
  classify 1
  dcl=$cl rc_d=$rc
  message "$out.derr"
  dmsg=$msg
  [[ $dmsg =~ ([0-9.]+)\ s\ of\ audio ]] && dsec=${BASH_REMATCH[1]}
  run "$PLAY" --audio null:fast "$in" </dev/null >/dev/null 2>"$out.perr"
  classify ""
  pcl=$cl rc_p=$rc
  message "$out.perr"
  pmsg=$msg
  run mpg123 -q -w "$out.ref.wav" "$in" </dev/null >/dev/null 2>&1
  classify ""
  mcl=$cl
  # mpg123 may stop with an error after good audio: what counts is audio out.  It
  # writes a plain 44-byte header: channels at 22, rate (< 65536) at 24.
  if [ -s "$out.ref.wav" ]; then
    hdr=$(od -An -t u2 -j 22 -N 4 "$out.ref.wav" && stat -c %s "$out.ref.wav")
    read -r -d "" -a h <<<"$hdr" # channels, rate, file size
    if [ ${#h[@]} -eq 3 ] && [ "${h[0]}" -gt 0 ] && [ "${h[1]}" -gt 0 ] && [ "${h[2]}" -gt 44 ]; then
      msec=$(((h[2] - 44) * 1000 / (h[1] * h[0] * 2)))
    fi
  fi
  case $mcl in ok | refused) if [ "$msec" -gt 0 ]; then mcl=ok; else mcl=refused; fi ;; esac
  rm -f "$out.wav" "$out.ref.wav" "$out.derr" "$out.perr"
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$dcl" "$rc_d" "$dsec" "$dmsg" \
    "$pcl" "$rc_p" "$pmsg" "$mcl" "$rc" "$msec" >"$WORK/res/$name.tsv"
}
export -f probe_one
export WORK DEC PLAY TMO
# shellcheck disable=SC2016 # $1 is the inner shell's
cut -f1 "$WORK/manifest.tsv" | tr '\n' '\0' | xargs -0 -P "$JOBS" -n 1 bash -c 'probe_one "$1"' _ ||
  echo "probe-damaged: some files were not probed (see the summary)" >&2
find "$WORK/res" -name '*.tsv' -exec cat {} + >"$WORK/results.tsv"
ELAPSED=$((EPOCHSECONDS - START))

# ---- summary
BUILT=$(date -r "$BUILD/tools/decode/sorrel-decode" '+%F %T')
python3 - "$WORK/manifest.tsv" "$WORK/results.tsv" "$SEED" "$TMO" "$SHOW" "$ELAPSED" "$KEEP" "$BUILD" "$BUILT" <<'PY'
import collections, signal, sys

man_path, res_path, seed, tmo, show, elapsed, keep, build, built = sys.argv[1:]
man = {}
for line in open(man_path, encoding="utf-8", errors="replace"):
    name, kind, src, what = line.rstrip("\n").split("\t")
    man[name] = (kind, src, what)
res = {}
for line in open(res_path, encoding="utf-8", errors="replace"):
    f = line.rstrip("\n").split("\t")
    res[f[0]] = dict(dec=f[1], drc=f[2], dsec=float(f[3] or 0), dmsg=f[4], play=f[5], prc=f[6], pmsg=f[7],
                     mpg=f[8], mrc=f[9], msec=int(f[10]) / 1000)
lost = [n for n in man if n not in res]
man = {n: v for n, v in man.items() if n in res}
kinds = list(dict.fromkeys(k for k, _, _ in man.values()))
CL = ("ok", "refused", "crashed", "hung", "other")


def tally(names, prog):
    c = collections.Counter(res[n][prog] for n in names)
    return [c[x] for x in CL]


names = list(man)
damaged = [n for n in names if man[n][0] != "clean"]
print()
print("%s (sorrel-decode built %s)" % (build, built))
print("damaged files: %d (+ %d intact sources), seed %s, timeout %s s, run time %s s" % (
    len(damaged), len(names) - len(damaged), seed, tmo, elapsed))
if lost:
    print("no result for %d files (first: %s)" % (len(lost), lost[0]))
print("%-14s %6s %8s %8s %6s %6s" % ("program", *CL))
for label, prog in (("sorrel-decode", "dec"), ("sorrel-play", "play"), ("mpg123", "mpg")):
    print("%-14s %6d %8d %8d %6d %6d" % (label, *tally(damaged, prog)))
print("(mpg123 ok = at least one frame of audio out)")

bad_clean = [n for n in names if man[n][0] == "clean" and (res[n]["dec"] != "ok" or res[n]["play"] != "ok")]
for n in bad_clean:
    print("intact source not played: %s: decode %s (%s), play %s (%s)" % (
        n, res[n]["dec"], res[n]["dmsg"], res[n]["play"], res[n]["pmsg"]))

plays = lambda n: res[n]["mpg"] == "ok"
ref_dec = [n for n in damaged if plays(n) and res[n]["dec"] == "refused"]
ref_play = [n for n in damaged if plays(n) and res[n]["play"] == "refused"]
short = [n for n in damaged if plays(n) and res[n]["dec"] == "ok" and res[n]["dsec"] < 0.5 * res[n]["msec"]]


def by_kind(ns):
    c = collections.Counter(man[n][0] for n in ns)
    return ", ".join("%s %d" % (k, c[k]) for k in kinds if c[k]) or "-"


print()
print("refused by sorrel-decode but played by mpg123: %d (%s)" % (len(ref_dec), by_kind(ref_dec)))
print("refused by sorrel-play but played by mpg123:   %d (%s)" % (len(ref_play), by_kind(ref_play)))
print("decoded by sorrel-decode, < half of mpg123's audio: %d (%s)" % (len(short), by_kind(short)))

print()
print("%-19s | %-21s | %-21s | %-6s | %s" % ("", "sorrel-decode", "sorrel-play", "mpg123", "sorrel refuses,"))
print("%-13s %5s | %4s %4s %5s %4s | %4s %4s %5s %4s | %6s | %s" % (
    "kind", "files", "ok", "ref", "crash", "hang", "ok", "ref", "crash", "hang", "audio", "mpg123 plays: decode play"))
for k in kinds:
    ns = [n for n in names if man[n][0] == k]
    d, p = tally(ns, "dec"), tally(ns, "play")
    print("%-13s %5d | %4d %4d %5d %4d | %4d %4d %5d %4d | %6d | %20d %4d" % (
        k, len(ns), *d[:4], *p[:4], sum(map(plays, ns)), len(set(ns) & set(ref_dec)), len(set(ns) & set(ref_play))))

faults = [(n, prog) for n in names for prog in ("dec", "play") if res[n][prog] in ("crashed", "hung", "other")]
if faults:
    print()
    print("crashes, hangs and odd exits:")
    for n, prog in faults[:30]:
        r = res[n]
        rc = int(r["drc" if prog == "dec" else "prc"])
        how = "exit %d" % rc
        if r[prog] == "crashed" and rc - 128 in signal.valid_signals():
            how = signal.Signals(rc - 128).name
        print("  %s: %s %s (%s): %s\n    damage: %s" % (n, "sorrel-decode" if prog == "dec" else "sorrel-play",
              r[prog], how, r["dmsg" if prog == "dec" else "pmsg"] or "-", man[n][2]))
    if len(faults) > 30:
        print("  ... %d more in results.tsv" % (len(faults) - 30))

if ref_dec and int(show):
    # One of each kind first, so the examples show different causes.
    order, seen = [], set()
    for n in ref_dec:
        if man[n][0] not in seen:
            seen.add(man[n][0]); order.append(n)
    order += [n for n in ref_dec if n not in order]
    print()
    print("refused by sorrel-decode, played by mpg123 (first %d):" % min(int(show), len(order)))
    for n in order[:int(show)]:
        kind, src, what = man[n]
        print("  %s\n    damage: %s\n    refusal: %s\n    mpg123: %.2f s of audio" % (n, what, res[n]["dmsg"], res[n]["msec"]))
play_only = [n for n in ref_play if res[n]["dec"] == "ok"]
if play_only and int(show):
    order, seen = [], set()
    for n in play_only:
        if man[n][0] not in seen:
            seen.add(man[n][0]); order.append(n)
    print()
    print("refused by sorrel-play only (sorrel-decode and mpg123 decode it), one per kind:")
    for n in order[:int(show)]:
        print("  %s\n    damage: %s\n    refusal: %s" % (n, man[n][2], res[n]["pmsg"]))
print()
print("files, damage list and results kept in %s" % keep if keep else
      "rerun with --keep DIR (same seed) to keep the files, manifest.tsv and results.tsv")
PY
