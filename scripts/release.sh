#!/usr/bin/env bash
# Builds the release zip dist/Selvane-<version>-win32.zip (Selvane.exe, util\regjump.exe,
# README.txt and LICENSE.txt, laid out as a user installs them), the installer
# dist/Selvane-<version>-setup.exe around the same files, and dist/SHA256SUMS for both. The same sources give the same
# bytes: the PE files carry no time stamp, the zip entries have fixed dates, order and
# permissions, and the installer stores fixed file dates and no build time.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
build="$top/build/release-i686"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DSELVANE_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-mingw.cmake" >/dev/null
cmake --build "$build" --target Selvane regjump
version=$(sed -n 's/^project(Selvane VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
mkdir -p "$top/dist"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/util"
# strip writes a new PE header and, unless told otherwise, the current time into it; the
# linker wrote 0 there (--no-insert-timestamp), and so shall strip.
export SOURCE_DATE_EPOCH=0
i686-w64-mingw32-strip -o "$stage/Selvane.exe" "$build/bin/Selvane.exe"
i686-w64-mingw32-strip -o "$stage/util/regjump.exe" "$build/bin/util/regjump.exe"
# Windows users read them in Notepad: CRLF line ends, and a .txt name for the licence.
sed 's/$/\r/' "$top/dist-files/README.txt" >"$stage/README.txt"
sed 's/$/\r/' "$top/LICENSE" >"$stage/LICENSE.txt"
zip="$top/dist/Selvane-$version-win32.zip"
python3 - "$stage" "$zip" <<'PY'
import os, sys, zipfile
stage, out = sys.argv[1], sys.argv[2]
names = ["Selvane.exe", "util/regjump.exe", "README.txt", "LICENSE.txt"]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    for name in names:
        info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
        info.external_attr = 0o644 << 16
        info.create_system = 0
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(os.path.join(stage, name), "rb") as f:
            z.writestr(info, f.read(), compresslevel=9)
PY
setup="$top/dist/Selvane-$version-setup.exe"
"$top/scripts/make-installer.sh" "$stage/Selvane.exe" "$stage/util/regjump.exe" "$setup"
# What was built now, by bare name, as `sha256sum -c SHA256SUMS` in dist/ reads it.
(cd "$top/dist" && sha256sum "$(basename "$zip")" "$(basename "$setup")" >SHA256SUMS)
echo "release: $zip"
echo "release: $setup"
echo "release: $top/dist/SHA256SUMS"
cat "$top/dist/SHA256SUMS"
