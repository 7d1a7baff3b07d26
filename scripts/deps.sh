#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# Usage: scripts/deps.sh [extra-package...]
# As root it runs apt-get itself; as anyone else it runs apt-get (and nothing else)
# through sudo.  apt-get's output goes to a log file, shown only when it fails.
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config
      qt6-base-dev libasound2-dev libjpeg62-turbo-dev libgps-dev
      libgtest-dev libgmock-dev libbenchmark-dev
      dbus-daemon dbus-bin libglib2.0-bin
      fonts-ipafont-gothic fonts-ipafont-mincho "$@")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "scripts/deps.sh: missing packages: ${missing[*]}" >&2
    echo "There is no sudo here: install them as root, for example with" >&2
    echo "  su -c '$0 $*'" >&2
    exit 1
  fi
  SUDO=(sudo)
fi
# Outside the source tree, so that a run as root leaves nothing there owned by root.
log=${SORREL_DEPS_LOG:-${TMPDIR:-/tmp}/sorrel-deps-$(id -u).log}
echo "installing ${missing[*]} (apt-get's output: $log)" >&2
# sudo asks for a password on the terminal itself, not through the redirections.
if ! { "${SUDO[@]}" apt-get update -q &&
       "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
         "${missing[@]}"; } >"$log" 2>&1 </dev/null; then
  cat "$log" >&2
  echo "scripts/deps.sh: installing the packages failed (the output above is in $log)" >&2
  exit 1
fi
