#!/usr/bin/env bash
# Installs what is missing, builds, and starts the player on the bundled demo list.
# The demo folder is the player's home directory for the run, so the list's relative
# lines find the demo songs and the user's own settings stay untouched.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
exec build/app/sorrel --home "$PWD/demo" "$PWD/demo/demo.pdr" "$@"
