#!/usr/bin/env bash
# Checks how the folders may use each other: who may include whom, that the Qt-free
# parts stay Qt-free, and that other folders include only a library's exported headers.
# Prints every violation; exit status 1 when there is one.
set -uo pipefail
cd "$(dirname "$0")/.."

# folder: the folders its sources may include from (besides itself).
declare -A may=(
  [base]=""
  [decoder]=""
  [platform/audio]="base"
  [platform/desktop]="base"
  [platform/input]="base"
  [platform/power]=""
  [platform/mime]=""
  [engine]="base decoder platform/audio"
  [controls]="base"
  [playlist/core]="base engine"
  [settings/core]="base engine platform/mime"
  [alarm/core]="base engine"
  [maplink/core]="base engine"
  [playlist]="base engine controls"
  [settings]="base engine controls platform/input"
  [alarm]="base engine platform controls"
  [maplink]="base platform"
  [app/core]="base decoder engine playlist/core settings/core alarm/core maplink/core"
  [app]="base decoder engine platform controls playlist settings alarm maplink"
  [tools]="base decoder engine platform"
  [bench]="base decoder engine"
)
# Headers a library keeps to itself (tests may still include them).
internal='^decoder/(Layer3|Layer3Tables|HuffTables|HeaderTables|Layer12|Synth)\.h$|^decoder/simd/'

fail=0
report() { echo "$1"; fail=1; }

owner() {
  case "$1" in
    platform/audio/*) echo platform/audio ;;
    platform/desktop/*) echo platform/desktop ;;
    platform/input/*) echo platform/input ;;
    platform/power/*) echo platform/power ;;
    platform/mime/*) echo platform/mime ;;
    playlist/core/* | settings/core/* | alarm/core/* | maplink/core/* | app/core/*) echo "${1%%/core/*}/core" ;;
    *) echo "${1%%/*}" ;;
  esac
}

while IFS= read -r -d '' f; do
  from=$(owner "$f")
  [ "$from" = tests ] && continue
  allowed=" $from ${may[$from]-} "
  while IFS= read -r inc; do
    to=$(owner "$inc")
    case "$allowed" in *" $to "*|*" ${to%%/*} "*) ;; *) report "$f includes $inc ($from may not use $to)" ;; esac
    if [ "$to" != "$from" ] && [[ "$inc" =~ $internal ]]; then
      [ "$from" = bench ] || report "$f includes $inc, internal to $to"
    fi
  done < <(sed -n 's/^\s*#\s*include\s*"\([^"]*\/[^"]*\)".*/\1/p' "$f")
done < <(git ls-files -z -- '*.cpp' '*.h')

# The Qt-free parts.
while IFS= read -r hit; do report "Qt in a Qt-free folder: $hit"; done < <(
  git grep -n -E '^\s*#\s*include\s*[<"]Q[A-Za-z]' -- 'base/*' 'decoder/*' 'engine/*' '*/core/*' 2>/dev/null)

[ $fail = 0 ] && echo "layering: ok"
exit $fail
