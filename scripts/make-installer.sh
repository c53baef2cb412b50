#!/usr/bin/env bash
# scripts/make-installer.sh [--win64] SELVANE_EXE REGJUMP_EXE OUT.exe
# Builds the NSIS installer (installer/selvane.nsi) around the two programs,
# dist-files/README.txt and LICENSE (as LICENSE.txt). --win64 makes a 64-bit installer, for
# the x86_64 build where the tests drive it; the product is the 32-bit one. The same inputs
# give the same bytes: the files are staged with a fixed date, which is the one the
# installer stores for them.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
defines=()
if [ "${1:-}" = --win64 ]; then
  defines+=(-DWIN64)
  shift
fi
[ $# = 3 ] || { echo "usage: $0 [--win64] SELVANE_EXE REGJUMP_EXE OUT.exe" >&2; exit 2; }
command -v makensis >/dev/null ||
  { echo "make-installer: makensis is missing (Debian's nsis; scripts/install-deps.sh)" >&2; exit 1; }
version=$(sed -n 's/^project(Selvane VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
out=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/util"
cp "$1" "$stage/Selvane.exe"
cp "$2" "$stage/util/regjump.exe"
# Windows users read them in Notepad: CRLF line ends, and a .txt name for the licence.
sed 's/$/\r/' "$top/dist-files/README.txt" >"$stage/README.txt"
sed 's/$/\r/' "$top/LICENSE" >"$stage/LICENSE.txt"
touch -d '2026-01-01 00:00:00 UTC' "$stage/Selvane.exe" "$stage/util/regjump.exe" "$stage/README.txt" \
  "$stage/LICENSE.txt"
makensis -V2 -NOCD -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$out" "${defines[@]}" \
  "$top/installer/selvane.nsi"
