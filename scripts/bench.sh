#!/usr/bin/env bash
# scripts/bench.sh [--quick]: the benchmark. Builds the x86_64 configuration (run under
# Wine) and the i686 product (sizes), measures idle cost, open-selection overhead,
# start-up, memory and size against a minimal tray program, prints a table and writes
# docs/PERFORMANCE.md. Takes about five minutes; --quick gives rough figures in one.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
x64="$top/build/bench-x64"
i686="$top/build/bench-i686"
targets=(Selvane bench_minimal_tray bench_ctl bench_open_selection)
cmake -S "$top" -B "$x64" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DSELVANE_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64-mingw.cmake" >/dev/null
cmake --build "$x64" --target "${targets[@]}" >/dev/null
cmake -S "$top" -B "$i686" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DSELVANE_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-mingw.cmake" >/dev/null
cmake --build "$i686" --target Selvane bench_minimal_tray >/dev/null
status=0
python3 "$top/bench/bench.py" "$x64" "$i686" "$x64/_wine" "$top/docs/PERFORMANCE.md" "$@" ||
  status=$?
# Stop this benchmark's own Wine server and display.
if [ -f "$x64/_wine/prefix/system.reg" ]; then
  server=wineserver
  [ -x /usr/lib/wine/wineserver64 ] && server=/usr/lib/wine/wineserver64
  WINEPREFIX="$x64/_wine/prefix" $server -k >/dev/null 2>&1 || true
fi
if [ -f "$x64/_wine/xvfb.pid" ]; then
  kill "$(cat "$x64/_wine/xvfb.pid")" >/dev/null 2>&1 || true
  rm -f "$x64/_wine/xvfb.pid" "$x64/_wine/display"
fi
exit $status
