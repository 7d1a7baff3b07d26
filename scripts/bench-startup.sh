#!/usr/bin/env bash
# Start-up of the player with a large library: 100,000 songs in 5,000 directories (hard
# links of one demo song, so the library costs no space), a directory list naming them
# all, and a settings file stored by an earlier run.  Prints, for a few starts, the time
# from the program's start to the first buffer queued (its trace), and the peak resident
# memory of a run that plays for a while.  Figures only, no limits.
#
#   scripts/bench-startup.sh [BUILD_DIR] [SECONDS_PLAYED]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
played=${2:-20}
sorrel=$build/app/sorrel
[ -x "$sorrel" ] || { echo "bench-startup: $sorrel not built" >&2; exit 1; }
command -v dbus-run-session >/dev/null || { echo "bench-startup: dbus-run-session missing" >&2; exit 1; }

work=$(mktemp -d /tmp/sorrel-bench-startup.XXXXXX)
trap 'rm -rf "$work"' EXIT
lib=$work/lib
song=demo/Tones/01_a440.mp3
echo "generating 5,000 directories of 20 songs under $lib ..."
python3 - "$song" "$lib" "$work/list.pdr" <<'PY'
import os, shutil, sys
song, lib, listfile = sys.argv[1:]
os.makedirs(lib)
with open(listfile, "w", newline="") as out:
    for d in range(5000):
        dirname = os.path.join(lib, "d%04d" % d)
        os.mkdir(dirname)
        for f in range(1, 21):
            target = os.path.join(dirname, "song%02d.mp3" % f)
            try:
                os.link(song, target)
            except OSError:
                shutil.copyfile(song, target)
        out.write(dirname + "\r\n")
PY
home=$work/home
mkdir -p "$home"

run() {  # run SECONDS [ARGS...]: one start, ended with SIGTERM after SECONDS
  local seconds=$1
  shift
  SORREL_TRACE=1 QT_QPA_PLATFORM=offscreen /usr/bin/time -f 'maxrss_kib %M' \
    timeout -s TERM "$seconds" dbus-run-session -- "$sorrel" --home "$home" --audio null "$@" 2>&1 || true
}

# The first run opens the list and stores it as the default list; the others start from
# the stored settings, as a car's player does every morning.
run 5 "$work/list.pdr" >"$work/first.txt"
grep -q "play files 100000" "$work/first.txt" || { echo "bench-startup: the list did not give 100,000 songs" >&2; cat "$work/first.txt" >&2; exit 1; }
echo "start-up from the stored settings to the first buffer queued (ms, warm cache):"
for i in 1 2 3 4 5; do
  out=$(run 4)
  echo "$out" | sed -n 's/^sorrel: trace +\([0-9.]*\) first buffer queued$/  \1/p'
done
echo "playing for $played s:"
# The player's own high-water mark of resident memory, read just before it is ended.
SORREL_TRACE=0 QT_QPA_PLATFORM=offscreen dbus-run-session -- bash -c '
  "$1" --home "$2" --audio null & pid=$!
  sleep "$3"
  echo "  peak resident memory of sorrel: $(sed -n "s/^VmHWM:[[:space:]]*//p" /proc/$pid/status)"
  kill -TERM $pid; wait $pid' _ "$sorrel" "$home" "$played" 2>/dev/null
