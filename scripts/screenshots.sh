#!/usr/bin/env bash
# scripts/screenshots.sh [OUTDIR]: makes the README's pictures (docs/ by default) from a
# headless run on a private Xvfb display and Wine prefix:
#   settings-tab.png      the options window's Settings tab
#   balloon.png           the balloon after CTRL+WIN+O opened a folder, with the tray icon
#   installer-options.png the installer's Options page
# Wine here runs the x86_64 build and a 64-bit installer (this kind of machine cannot run
# 32-bit Windows programs); they look the same as the 32-bit product. Everything the script
# started is stopped at the end.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/docs}
mkdir -p "$out"
out=$(cd "$out" && pwd)
"$top/scripts/install-deps.sh" || exit 1
"$top/scripts/build.sh" x86_64 >/dev/null || exit 1
bin="$top/build/x86_64/bin"
root="$top/build/shots-wine"
# A fresh prefix each time: a first launch, no earlier install.
rm -rf "$root/prefix"
mkdir -p "$root"
setup="$root/Selvane-setup.exe"
"$top/scripts/make-installer.sh" --win64 "$bin/Selvane.exe" "$bin/util/regjump.exe" "$setup" || exit 1

. "$top/cmake/wine-env.sh"
selvane_wine_env "$root" || exit 1
export WINEDEBUG=-all
[ -x /usr/lib/wine/wineserver64 ] && [ "$SELVANE_WINE" != wine ] && WINESERVER=/usr/lib/wine/wineserver64
stop_all() {
  # The prefix is this script's own: ending its server ends every program it started.
  "${WINESERVER:-wineserver}" -k >/dev/null 2>&1
  if [ -f "$root/xvfb.pid" ]; then
    kill "$(cat "$root/xvfb.pid")" 2>/dev/null
    rm -f "$root/xvfb.pid" "$root/display"
  fi
}
trap stop_all EXIT

# Waits up to $1 seconds for a visible X window whose name matches $2; prints its id.
wait_window() {
  local i id
  for i in $(seq 1 $(($1 * 5))); do
    id=$(xdotool search --onlyvisible --name "$2" 2>/dev/null | tail -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}
# Saves X window $1 as $2 (a name under $out), cut down to the geometry $3 when given.
shoot() {
  local file="$out/$2"
  import -display "$DISPLAY" -window "$1" "$file" || return 1
  [ -n "${3:-}" ] && mogrify -crop "$3" +repage "$file"
  # No time stamps or tool names: the same picture gives the same file.
  mogrify -strip "$file"
  echo "screenshot: $file"
}
# Clicks at ($2, $3) inside X window $1.
click_in() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

# 1. The first launch shows the options window on its Welcome tab; the Settings tab is the
#    second tab, at the window's top left.
$SELVANE_WINE "$bin/Selvane.exe" </dev/null >/dev/null 2>&1 &
options=$(wait_window 60 '^Selvane$') || { echo "screenshots: no options window" >&2; exit 1; }
xdotool windowmove --sync "$options" 200 150
sleep 1
click_in "$options" 75 18
sleep 1
# The page's lower part is empty.
shoot "$options" settings-tab.png 470x200+0+0 || exit 1
xdotool key --window "$options" Escape
xdotool windowunmap "$options" 2>/dev/null

# 2. A folder path selected in Notepad, CTRL+WIN+O: Explorer opens the folder and the
#    balloon appears under the tray icon, at the display's top left.
mkdir -p "$WINEPREFIX/drive_c/Projects/Reports"
printf 'C:\\Projects\\Reports' >"$root/selection.txt"
$SELVANE_WINE notepad "Z:${root//\//\\}\\selection.txt" </dev/null >/dev/null 2>&1 &
notepad=$(wait_window 30 "selection.txt") || { echo "screenshots: no Notepad" >&2; exit 1; }
xdotool windowsize --sync "$notepad" 440 120
xdotool windowmove --sync "$notepad" 150 100
xdotool windowfocus --sync "$notepad"
xdotool key --clearmodifiers ctrl+a
sleep 0.5
xdotool key --clearmodifiers ctrl+super+o
wait_window 30 "Reports" >/dev/null || echo "screenshots: no Explorer window appeared" >&2
explorer=$(wait_window 5 Reports) &&
  xdotool windowsize --sync "$explorer" 460 260 windowmove --sync "$explorer" 250 170
sleep 3
shoot root balloon.png 740x420+0+0 || exit 1
# Xvfb's root is black: paint the background a desktop blue, from a corner no window covers.
mogrify -fill '#3a6ea5' -draw 'color 0,419 floodfill' "$out/balloon.png"

# 3. The installer: Next on the folder page leads to the Options page.
$SELVANE_WINE "$setup" </dev/null >/dev/null 2>&1 &
installer=$(wait_window 60 'Selvane Setup') || { echo "screenshots: no installer" >&2; exit 1; }
xdotool windowmove --sync "$installer" 200 150
xdotool windowfocus --sync "$installer"
sleep 1
xdotool key --clearmodifiers Return
sleep 2
shoot "$installer" installer-options.png || exit 1
echo "screenshots: done; pictures in $out"
