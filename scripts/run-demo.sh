#!/usr/bin/env bash
# Installs what is missing, builds, and starts the player on the bundled demo list.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
exec build/app/sorrel "$PWD/demo/demo.pdr" "$@"
