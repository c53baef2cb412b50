#!/usr/bin/env bash
# scripts/demo.sh EXE OUTDIR: a headless run of Selvane on its own Xvfb display and Wine
# prefix, leaving screenshots in OUTDIR, then stopping what it started.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
exe=$1 out=$2
root="$top/build/demo-wine"
. "$top/cmake/wine-env.sh"
selvane_wine_env "$root" || exit 1
shot() { import -display "$DISPLAY" -window root "$out/$1.png" && echo "screenshot: $out/$1.png"; }

wine "$exe" </dev/null >/dev/null 2>&1 &
sleep 6
shot selvane-started
WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1
[ -f "$root/xvfb.pid" ] && kill "$(cat "$root/xvfb.pid")" 2>/dev/null; rm -f "$root/xvfb.pid" "$root/display"
