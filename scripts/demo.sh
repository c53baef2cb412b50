#!/usr/bin/env bash
# scripts/demo.sh EXE OUTDIR: a headless demonstration of Selvane on its own Xvfb display
# and Wine prefix. Notepad shows a folder path, the path is selected, CTRL+WIN+O is pressed
# as real X key events, and Wine's explorer opens the folder. Screenshots of before and
# after go to OUTDIR; everything the script started is stopped at the end.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
exe=$1 out=$2
root="$top/build/demo-wine"
mkdir -p "$out" "$root"
out=$(cd "$out" && pwd)

# Wine runs 32-bit programs through a 32-bit Linux loader, which some kernels cannot
# execute; the x86_64 build of the same sources stands in for the demonstration there.
if [ "$(od -An -tx1 -j "$(od -An -tu4 -j 60 -N 4 "$exe" | tr -d ' ')" -N 6 "$exe" | tr -d ' \n')" = 504500004c01 ] &&
    ! "$top/scripts/wine32-works.sh"; then
  echo "demo: this machine cannot run 32-bit Windows programs; using the x86_64 build"
  dir="$top/build/x86_64"
  [ -f "$dir/build.ninja" ] || cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64-mingw.cmake" >/dev/null || exit 1
  cmake --build "$dir" --target Selvane >/dev/null || exit 1
  exe="$dir/bin/Selvane.exe"
fi

. "$top/cmake/wine-env.sh"
selvane_wine_env "$root" || exit 1
export WINEDEBUG=-all

pids=()
stop_all() {
  # The prefix is the demonstration's own: ending its server ends Selvane, Notepad and
  # the explorer window, and nothing else.
  WINEPREFIX=$WINEPREFIX "${WINESERVER:-wineserver}" -k >/dev/null 2>&1
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  if [ -f "$root/xvfb.pid" ]; then
    kill "$(cat "$root/xvfb.pid")" 2>/dev/null
    rm -f "$root/xvfb.pid" "$root/display"
  fi
}
trap stop_all EXIT
[ -x /usr/lib/wine/wineserver64 ] && [ "$SELVANE_WINE" != wine ] && WINESERVER=/usr/lib/wine/wineserver64

shot() {
  import -display "$DISPLAY" -window root "$out/$1.png" && echo "screenshot: $out/$1.png"
}

# Waits up to $1 seconds for a visible X window whose name matches $2; prints its id.
wait_window() {
  local i id
  for i in $(seq 1 $(($1 * 5))); do
    id=$(xdotool search --onlyvisible --name "$2" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

# A folder with something in it, on the prefix's drive C:.
folder_name="Selvane demo"
mkdir -p "$WINEPREFIX/drive_c/$folder_name/Reports"
printf 'Opened by Selvane.\r\n' >"$WINEPREFIX/drive_c/$folder_name/readme.txt"
selection="C:\\$folder_name"

# Settings as a returning user has them: no options window on this start.
$SELVANE_WINE reg delete 'HKCU\Software\Selvane' /f >/dev/null 2>&1
$SELVANE_WINE reg add 'HKCU\Software\Selvane' /v FirstLaunch /d 0 /f >/dev/null 2>&1

$SELVANE_WINE "$exe" </dev/null >/dev/null 2>&1 &
pids+=($!)
wait_window 60 "Wine System Tray" >/dev/null || { echo "demo: no tray icon appeared" >&2; exit 1; }
# Give the icon a moment to be drawn.
sleep 1

printf '%s' "$selection" >"$root/selection.txt"
# Wine maps the Linux root to drive Z:.
$SELVANE_WINE notepad "Z:${root//\//\\}\\selection.txt" </dev/null >/dev/null 2>&1 &
pids+=($!)
notepad=$(wait_window 30 "selection.txt") || { echo "demo: Notepad did not appear" >&2; exit 1; }
# Wine's tray sits at the top left of a display without a window manager, and its balloons
# below it: keep the windows clear of that corner so that the screenshots show them.
xdotool windowmove --sync "$notepad" 240 170
xdotool windowfocus --sync "$notepad"
xdotool key --clearmodifiers ctrl+a
sleep 0.5
shot 1-before-selected-path-in-notepad

echo "demo: pressing CTRL+WIN+O on \"$selection\""
xdotool key --clearmodifiers ctrl+super+o
if explorer=$(wait_window 30 "$folder_name"); then
  xdotool windowmove --sync "$explorer" 420 330
  echo "demo: Wine's explorer opened \"$selection\""
else
  echo "demo: no explorer window for \"$selection\" appeared" >&2
fi
# The balloon follows about two seconds after the request.
sleep 3
shot 2-after-folder-opened-and-balloon
# The corner with the tray icon and its balloon, enlarged.
convert "$out/2-after-folder-opened-and-balloon.png" -crop 320x120+0+0 +repage -scale 300% \
  "$out/3-balloon-close-up.png" && echo "screenshot: $out/3-balloon-close-up.png"
echo "demo: done; screenshots in $out"
