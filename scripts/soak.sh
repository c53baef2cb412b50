#!/usr/bin/env bash
# scripts/soak.sh [--load] [PRESSES]: the soak run (not part of scripts/test.sh; about 10
# minutes for the default 200 presses). Builds the program and the e2e helpers (the i686
# product where Wine runs 32-bit programs on this machine, else the x86_64 build; it says
# which), then presses the hotkey PRESSES times on alternating folder / file / web address
# / not-found selections in Notepad under Wine, checking the clipboard after every press and the
# program's GDI objects and windows at the end. Exit status 0 when everything held.
# --load runs the presses under CPU and disk load (stress-ng: two CPU workers and one disk
# writer, stopped when the presses end and after 20 minutes at most).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
load=""
if [ "${1:-}" = --load ]; then
  load=1
  shift
fi
"$top/scripts/install-deps.sh"
if "$top/scripts/wine32-works.sh"; then
  arch=i686
  echo "soak: the i686 build, the product (Wine runs 32-bit programs on this machine)"
else
  arch=x86_64
  echo "soak: the x86_64 build (this machine cannot run 32-bit programs under Wine)"
fi
build="$top/build/soak-$arch"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-$arch-mingw.cmake" >/dev/null
cmake --build "$build" --target Selvane e2e_probe e2e_recorder bench_ctl >/dev/null
export SELVANE_EXE="$build/bin/Selvane.exe" E2E_PROBE="$build/tests/e2e/e2e_probe.exe"
export E2E_RECORDER="$build/tests/e2e/e2e_recorder.exe" SELVANE_SOURCE_DIR="$top"
export E2E_ROOT="$build/soak-wine"
status=0
stress=""
if [ -n "$load" ]; then
  mkdir -p "$build/soak-load"
  stress-ng --cpu 2 --hdd 1 --temp-path "$build/soak-load" --timeout 1200s >/dev/null 2>&1 &
  stress=$!
  echo "soak: under load (stress-ng --cpu 2 --hdd 1, process $stress)"
fi
python3 "$top/bench/soak.py" "$@" || status=$?
if [ -n "$stress" ]; then
  kill "$stress" 2>/dev/null || true
  wait "$stress" 2>/dev/null || true
fi
# Stop this run's own Wine server and display.
server=wineserver
[ -x /usr/lib/wine/wineserver64 ] && server=/usr/lib/wine/wineserver64
for prefix in "$E2E_ROOT"/*/; do
  [ -f "$prefix/system.reg" ] && WINEPREFIX=${prefix%/} $server -k >/dev/null 2>&1
done
if [ -f "$E2E_ROOT/xvfb.pid" ]; then
  kill "$(cat "$E2E_ROOT/xvfb.pid")" >/dev/null 2>&1 || true
  rm -f "$E2E_ROOT/xvfb.pid" "$E2E_ROOT/display"
fi
exit $status
