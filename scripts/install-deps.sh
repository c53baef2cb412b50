#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12. Idempotent and quick
# when all is there already.
set -euo pipefail
pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev googletest
      g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-i686
      wine wine32:i386 wine64 fonts-wine fonts-liberation xvfb xdotool x11-utils x11-apps
      imagemagick python3 zip unzip nsis stress-ng)
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
