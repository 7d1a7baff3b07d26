#!/usr/bin/env bash
# `cmake --install` of a build tree into a private prefix, then what a desktop finds
# there: the programs, a valid menu entry, the icon in the hicolor theme, and the list
# file types in the prefix's rebuilt MIME database.  A staged install (DESTDIR) puts
# the same files under the stage and leaves the database to the packager.
# Usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d /tmp/sorrel-install-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail=0
check() { if ! "$@"; then echo "FAILED: $*" >&2; fail=1; fi; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"
cat "$work/install.log"

check test -x "$prefix/bin/sorrel-decode"
check test -x "$prefix/bin/sorrel-play"
if [ -x "$build/app/sorrel" ]; then check test -x "$prefix/bin/sorrel"; fi
for f in share/applications/sorrel.desktop share/icons/hicolor/scalable/apps/sorrel.svg \
         share/mime/packages/sorrel.xml; do
  check test -f "$prefix/$f"
done
# Test peers stay in the build tree.
check test ! -e "$prefix/bin/fake_window"

if command -v desktop-file-validate >/dev/null; then
  check desktop-file-validate "$prefix/share/applications/sorrel.desktop"
fi
if command -v update-mime-database >/dev/null; then
  check test -f "$prefix/share/mime/application/x-sorrel-pfl.xml"
  if command -v xdg-mime >/dev/null && command -v mimetype >/dev/null; then
    printf '/music/a.mp3\n' >"$work/x.pfl"
    printf '/music\n' >"$work/x.pdr"
    mkdir -p "$work/home"
    for ext in pfl pdr; do
      got=$(env -u XDG_CURRENT_DESKTOP -u DE -u DESKTOP_SESSION -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS \
              HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_DATA_DIRS="$prefix/share:/usr/share" \
              xdg-mime query filetype "$work/x.$ext")
      check test "$got" = "application/x-sorrel-$ext"
    done
  fi
fi

# Staged: the files under the stage, no database built there.
stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr/local >"$work/stage.log"
check test -f "$stage/usr/local/share/mime/packages/sorrel.xml"
check test -f "$stage/usr/local/share/applications/sorrel.desktop"
check test ! -e "$stage/usr/local/share/mime/mime.cache"
check grep -q "DESTDIR set" "$work/stage.log"

[ $fail = 0 ] && echo "install: ok"
exit $fail
