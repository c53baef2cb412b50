#!/usr/bin/env bash
# CTest's emulator for cross-built programs: runs one Windows program under Wine on the
# test display. The Wine root is SELVANE_WINE_ROOT, or _wine in the program's build tree.
set -u
exe=$1
root=${SELVANE_WINE_ROOT:-}
if [ -z "$root" ]; then
  d=$(cd "$(dirname "$exe")" && pwd)
  while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  root="$d/_wine"
fi
. "$(dirname "$0")/wine-env.sh"
selvane_wine_env "$root" || exit 1
exec $SELVANE_WINE "$@"
