#!/usr/bin/env bash
# Stops every Wine server and Xvfb display that the test launchers started under build/.
top=$(cd "$(dirname "$0")/.." && pwd)
for root in "$top"/build/_wine* "$top"/build/*/_wine* "$top"/build/*/e2e-wine*; do
  [ -d "$root" ] || continue
  for prefix in "$root"/*/; do
    [ -f "$prefix/system.reg" ] && WINEPREFIX=${prefix%/} wineserver -k >/dev/null 2>&1
  done
  if [ -f "$root/xvfb.pid" ]; then
    kill "$(cat "$root/xvfb.pid")" >/dev/null 2>&1
    rm -f "$root/xvfb.pid" "$root/display"
  fi
done
exit 0
