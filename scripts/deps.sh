#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# Usage: scripts/deps.sh [extra-package...]   (as root, or through sudo)
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config
      qt6-base-dev libasound2-dev libjpeg62-turbo-dev
      libgtest-dev libgmock-dev libbenchmark-dev
      dbus-daemon dbus-bin libglib2.0-bin
      fonts-ipafont-gothic fonts-ipafont-mincho xvfb xdotool x11-xkb-utils xauth "$@")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "installing: ${missing[*]}" >&2
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
