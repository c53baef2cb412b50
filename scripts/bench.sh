#!/usr/bin/env bash
# scripts/bench.sh [--quick]: the benchmark. Builds the i686 product and, where this machine
# cannot run 32-bit programs under Wine, the x86_64 configuration; measures idle cost,
# open-selection overhead, start-up, memory and size against a minimal tray program under
# Wine (the i686 build where 32-bit programs run, else the x86_64 one; it says which),
# prints a table and writes docs/PERFORMANCE.md. Takes about five minutes; --quick gives
# rough figures in one.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
x64="$top/build/bench-x64"
i686="$top/build/bench-i686"
targets=(Selvane bench_minimal_tray bench_ctl bench_open_selection bench_relative_bases)
cmake -S "$top" -B "$i686" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DSELVANE_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-mingw.cmake" >/dev/null
if "$top/scripts/wine32-works.sh"; then
  run=$i686
  echo "bench: the i686 build, the product (Wine runs 32-bit programs on this machine)"
else
  run=$x64
  echo "bench: the x86_64 build (this machine cannot run 32-bit programs under Wine)"
  cmake -S "$top" -B "$x64" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DSELVANE_BUILD_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64-mingw.cmake" >/dev/null
  cmake --build "$x64" --target "${targets[@]}" >/dev/null
fi
cmake --build "$i686" --target "${targets[@]}" >/dev/null
status=0
python3 "$top/bench/bench.py" "$run" "$i686" "$run/_wine" "$top/docs/PERFORMANCE.md" "$@" ||
  status=$?
# Stop this benchmark's own Wine server and display.
if [ -f "$run/_wine/prefix/system.reg" ]; then
  server=wineserver
  [ -x /usr/lib/wine/wineserver64 ] && server=/usr/lib/wine/wineserver64
  WINEPREFIX="$run/_wine/prefix" $server -k >/dev/null 2>&1 || true
fi
if [ -f "$run/_wine/xvfb.pid" ]; then
  kill "$(cat "$run/_wine/xvfb.pid")" >/dev/null 2>&1 || true
  rm -f "$run/_wine/xvfb.pid" "$run/_wine/display"
fi
exit $status
