#!/usr/bin/env bash
# The drive demo: the player on the demo list with its position link on, while a car
# drives past two speed cameras.  gpsd replays demo/drive.nmea through gpsfake (one fix
# a second, the route driven again and again), sorrel-gpslink hands each fix to the
# player as a position sentence, and the player shows its alarm window and speaks the
# warning from demo/Voice.  Ctrl+C (or closing the player) ends everything.
#
# usage: scripts/run-drive-demo.sh [--map] [--audio BACKEND]
#   --map            also the map link: UseMappleLink on and the map program's
#                    simulator (sorrel-mapple-sim) started beside the player
#   --audio BACKEND  the player's sound output (alsa, null, wav-rt:FILE ...)
#
# Everything runs in a session bus of its own, so a player you already run is neither
# disturbed nor mistaken for the demo's.  The player's home is a temporary folder made
# from demo/ (settings, the point file demo/ovis.pot, the voices) and removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

map=0
player_args=()
while [ $# -gt 0 ]; do
  case $1 in
    --map) map=1 ;;
    --audio)
      [ $# -ge 2 ] || { echo "run-drive-demo: --audio needs a backend" >&2; exit 2; }
      player_args+=(--audio "$2")
      shift ;;
    --audio=*) player_args+=(--audio "${1#--audio=}") ;;
    -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run-drive-demo: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
  shift
done

# gpsd and gpsfake besides what the build needs; the session bus's daemon is in deps.sh.
scripts/deps.sh gpsd gpsd-clients
targets="sorrel sorrel-send sorrel-gpslink"
[ $map = 1 ] && targets+=" sorrel-mapple-sim"
TARGETS=$targets scripts/build.sh
for p in build/app/sorrel build/tools/gpslink/sorrel-gpslink; do
  [ -x "$p" ] || { echo "run-drive-demo: $p was not built" >&2; exit 1; }
done

# Without a display the player still runs, on Qt's offscreen platform, invisibly.
if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run-drive-demo: no display; running on QT_QPA_PLATFORM=offscreen (stop it with Ctrl+C)" >&2
  export QT_QPA_PLATFORM=offscreen
fi

home=$(mktemp -d "${TMPDIR:-/tmp}/sorrel-drive-demo.XXXXXX")
pids=()
cleanup() {
  trap - EXIT INT TERM
  # Each helper runs in a process group of its own (gpsfake with its gpsd): end the
  # groups we started, then give them a moment before insisting.
  local pid
  for pid in "${pids[@]}"; do kill -TERM -- "-$pid" 2>/dev/null || true; done
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    local alive=0
    for pid in "${pids[@]}"; do kill -0 -- "-$pid" 2>/dev/null && alive=1; done
    [ $alive = 0 ] && break
    sleep 0.3
  done
  for pid in "${pids[@]}"; do kill -KILL -- "-$pid" 2>/dev/null || true; done
  if [ -n "${bus_pid:-}" ]; then kill "$bus_pid" 2>/dev/null || true; fi
  rm -rf "$home"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The home: the demo songs by absolute path, the cameras, the voices, the settings.
printf '%s\r\n' "$top/demo/Tones" "$top/demo/Chords" >"$home/drive.pdr"
cp "$top/demo/ovis.pot" "$home/"
cp -r "$top/demo/Voice" "$home/"
{
  printf '[OvisAlarm]\r\nUseTNLink=1\r\nAlarmDistance=800\r\nAlarmHideDelay=3000\r\n'
  [ $map = 1 ] && printf '[MappleLink]\r\nUseMappleLink=1\r\n'
  true
} >"$home/sorrel.ini"

# A session bus of our own.
read -r bus_address bus_pid < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | paste -sd ' ')
export DBUS_SESSION_BUS_ADDRESS=$bus_address

start() {  # start LOG PROGRAM ARGS...: in a process group of its own
  local log=$1
  shift
  if [ "$log" = - ]; then setsid "$@" & else setsid "$@" >"$log" 2>&1 & fi
  pids+=($!)
}

if [ $map = 1 ]; then
  start "$home/mapple-sim.log" build/tools/mapple-sim/sorrel-mapple-sim --show
  echo "run-drive-demo: the map program's simulator runs (its calls, while the demo runs: $home/mapple-sim.log)" >&2
fi
# gpsd on a port of our own, fed one fix (a GGA and an RMC sentence) a second.
port=$((20000 + $$ % 20000))
start "$home/gpsfake.log" gpsfake -q -P "$port" -c 0.5 "$top/demo/drive.nmea"
start - build/tools/gpslink/sorrel-gpslink --port "$port"
echo "run-drive-demo: a car drives north past a camera on the highway, turns right and" \
  "passes a camera in town; the drive repeats every two minutes" >&2
start - build/app/sorrel --home "$home" "$home/drive.pdr" "${player_args[@]}"
player=${pids[-1]}
if [ $map = 1 ]; then
  # Command 69 (keypad 5 with 0 held) starts the map link; the map then follows the car.
  build/tools/send/sorrel-send --timeout 20000 post 0x599 69 0 >/dev/null ||
    echo "run-drive-demo: the player did not take command 69; the map stays where it is" >&2
fi
# Until the player ends (its window closed) or Ctrl+C.
wait "$player" || true
