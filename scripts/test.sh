#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native, fuzz, i686 and
# x86_64 configurations and runs CTest on each. Exit status is non-zero on any failure.
#
# The four CTest runs go side by side, each with its own log (printed when all are done)
# and, for the two Windows configurations, its own Xvfb display and Wine prefix
# (build/<cfg>/_wine): most of their time is spent waiting on Wine, not on the processor.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" || exit 1
start=$(date +%s)
"$top/scripts/build.sh" native fuzz i686 x86_64 || exit 1
built=$(date +%s)
echo "=== built in $((built - start)) s"
unset SELVANE_WINE_ROOT

wine32=1
if "$top/scripts/wine32-works.sh"; then
  echo "=== e2e tier: the i686 build, the product (Wine runs 32-bit programs on this machine)"
else
  wine32=0
  echo "=== e2e tier: the x86_64 build (this machine cannot execute 32-bit programs, so Wine"
  echo "=== cannot run the i686 build; the x86_64 build carries the Windows test tiers)"
fi

declare -A pid
for cfg in native fuzz i686 x86_64; do
  filter=()
  if [ "$cfg" = i686 ] && [ $wine32 = 0 ]; then
    # Wine runs 32-bit programs through a 32-bit Linux loader; a kernel without 32-bit
    # execution (some sandboxes) cannot start it. The x86_64 run covers the same code.
    filter=(-LE wine)
  fi
  # Three at a time in the Windows configurations: the Win32 tests (one at a time, they
  # share the keyboard and clipboard) and the two e2e lanes, each with a display of its own.
  jobs=2
  case $cfg in i686 | x86_64) jobs=3 ;; esac
  (cd "$top/build/$cfg" &&
     ctest --output-on-failure -j$jobs "${filter[@]}" ${CTEST_ARGS:-} >ctest.log 2>&1) &
  pid[$cfg]=$!
done

status=0
for cfg in native fuzz i686 x86_64; do
  wait "${pid[$cfg]}" || status=1
  echo "=== ctest: $cfg"
  if [ "$cfg" = i686 ] && [ $wine32 = 0 ]; then
    echo "i686: this machine cannot execute 32-bit programs, so Wine cannot run the i686"
    echo "i686: build; ran its checks that need no Wine (label 'wine' excluded)."
  fi
  cat "$top/build/$cfg/ctest.log"
done
"$top/scripts/stop-test-env.sh"
echo "=== $(( $(date +%s) - start )) s in all (build $((built - start)) s)"
exit $status
