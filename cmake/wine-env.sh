#!/usr/bin/env bash
# Sourced by the Wine launchers. `selvane_wine_env ROOT [PREFIX_NAME]` makes sure that an
# Xvfb display and a prepared Wine prefix exist under ROOT and exports DISPLAY,
# WINEPREFIX and friends for them, and SELVANE_WINE, the loader command to use.
# Everything it starts is recorded under ROOT so that
# scripts/stop-test-env.sh can stop it.

selvane_wine_env() {
  local root=$1 name=${2:-prefix}
  mkdir -p "$root"
  root=$(cd "$root" && pwd)
  # One launcher at a time sets things up; tests themselves run in parallel.
  exec 9>"$root/lock"
  flock 9

  export WINEDEBUG=${WINEDEBUG:--all}
  # No Mono or Gecko installers: they would prompt, and nothing here needs them. No menu
  # builder either: Start-menu shortcuts made in a test prefix stay out of the Linux menus.
  export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  export WINEPREFIX="$root/$name"
  # Debian's `wine` runs the 32-bit loader first; where the kernel cannot execute
  # 32-bit programs (some sandboxes), only the 64-bit loader works.
  if /usr/lib/wine/wine --version >/dev/null 2>&1 || ! [ -x /usr/lib/wine/wine64 ]; then
    SELVANE_WINE=wine
  else
    SELVANE_WINE=/usr/lib/wine/wine64
    export WINELOADER=$SELVANE_WINE
  fi
  export SELVANE_WINE

  local disp=""
  if [ -f "$root/display" ]; then
    disp=$(cat "$root/display")
    xdpyinfo -display ":$disp" >/dev/null 2>&1 || disp=""
  fi
  if [ -z "$disp" ]; then
    # Display numbers are machine-wide: pick and start under a machine-wide lock, and
    # make sure the server that answers is the one started here.
    exec 8>/tmp/.selvane-xvfb.lock
    flock 8
    local n i pid
    for n in $(seq 91 190); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
      setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 8>&- 9>&- &
      pid=$!
      for i in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        xdpyinfo -display ":$n" >/dev/null 2>&1 && break
        sleep 0.1
      done
      if kill -0 "$pid" 2>/dev/null; then
        disp=$n
        echo "$pid" >"$root/xvfb.pid"
        break
      fi
    done
    exec 8>&-
    [ -n "$disp" ] || { echo "wine-env: could not start Xvfb" >&2; return 1; }
    echo "$disp" >"$root/display"
  fi
  export DISPLAY=":$disp"

  if [ ! -f "$WINEPREFIX/.selvane-ready" ]; then
    $SELVANE_WINE wineboot -i </dev/null >/dev/null 2>&1 9>&-
    # Foreground follows X focus without a window manager only with this off.
    $SELVANE_WINE reg add 'HKCU\Software\Wine\X11 Driver' /v UseTakeFocus /d N /f </dev/null >/dev/null 2>&1 9>&-
    # A crashing test must fail, not wait behind a crash dialog.
    $SELVANE_WINE reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 9>&-
    touch "$WINEPREFIX/.selvane-ready"
  fi
  # Keep the server and its services alive between tests, and off the caller's pipes:
  # otherwise CTest waits for them after every test. SELVANE_WINE_LOG, when set, collects
  # what they write (Wine's WINEDEBUG channels) instead.
  local server=wineserver log=${SELVANE_WINE_LOG:-/dev/null}
  [ -x /usr/lib/wine/wineserver64 ] && server=/usr/lib/wine/wineserver64
  setsid $server -p </dev/null >>"$log" 2>&1 9>&- || true
  $SELVANE_WINE wineboot </dev/null >>"$log" 2>&1 9>&-
  exec 9>&-
}
