#!/usr/bin/env bash
# Installs what is missing, builds the player (and only what it needs), and starts it on
# the bundled demo list.  Run it as yourself: only apt-get runs through sudo.
# The demo folder is the player's home directory for the run, so the list's relative
# lines find the demo songs and the user's own settings stay untouched.  Arguments go to
# the player (for example --audio null).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
TARGETS=sorrel scripts/build.sh
for f in demo demo/sorrel.ini demo/sorrel_Error.log; do
  if [ -e "$f" ] && [ ! -w "$f" ]; then
    echo "scripts/run-demo.sh: $f is not writable by you (left by a run through sudo?);" >&2
    echo "give it back to yourself (as root: chown -R $(id -un) $f) or remove it." >&2
    exit 1
  fi
done
# Without a display the player still runs, on Qt's offscreen platform, invisibly.
if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run-demo: no display; running on QT_QPA_PLATFORM=offscreen (stop it with Ctrl+C)" >&2
  export QT_QPA_PLATFORM=offscreen
fi
exec build/app/sorrel --home "$PWD/demo" "$PWD/demo/demo.pdr" "$@"
