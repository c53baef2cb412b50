#!/usr/bin/env bash
# Runs Selvane: installs what is missing, builds the 32-bit program and starts it under
# Wine. On a machine without a display it runs headless on Xvfb instead and leaves
# screenshots in out/ (or $SELVANE_OUT).
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" || exit 1
# Only what it runs: the program and the registry tool the About page starts. The test
# command builds the rest of this configuration.
"$top/scripts/build.sh" --only Selvane,regjump i686 || exit 1
exe="$top/build/i686/bin/Selvane.exe"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  export WINEDEBUG=${WINEDEBUG:--all}
  exec wine "$exe"
fi

out=${SELVANE_OUT:-$top/out}
mkdir -p "$out"
exec "$top/scripts/demo.sh" "$exe" "$out"
