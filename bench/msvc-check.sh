#!/usr/bin/env bash
# bench/msvc-check.sh [FILES...]: how far this machine can check the sources for MSVC.
# There is no MSVC, Windows SDK or MSVC STL here, so:
#  1. clang in MSVC mode (--target=i686-pc-windows-msvc) over one source, to show whether
#     the mingw-w64 headers can stand in for the SDK (they cannot: they break once
#     _MSC_VER is defined);
#  2. clang with Microsoft extensions, pedantic, over every source for i686 and x86_64,
#     with the warnings that MSVC /W4 /WX would turn into errors (shadowing C4456-C4459,
#     64-to-32 conversions C4267/C4244, float conversions, unused parameters C4100) and
#     the GNU-only constructs MSVC lacks (statement expressions, VLAs, zero-length
#     arrays, C++20 designators);
#  3. a search for CRT calls MSVC deprecates (C4996), an error under /WX.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
if [ $# -eq 0 ]; then
  set -- app/*.cpp capture/*.cpp opener/*.cpp options/*.cpp services/*.cpp res/*.cpp \
    settings/*.cpp tools/regjump/*.cpp \
    tests/unit/*.cpp tests/win32/*.cpp tests/e2e/*.cpp bench/*.cpp
fi
defs=(-DUNICODE -D_UNICODE -DNOMINMAX -D_WIN32_WINNT=0x0601 -DWINVER=0x0601 -D_WIN32_IE=0x0800
      -DNTDDI_VERSION=0x06010000 -DREGJUMP_RELATIVE=\"\" -DSELVANE_EXE_FROM_TEST=\"\")
status=0

echo "== 1. clang --target=i686-pc-windows-msvc -fsyntax-only with the mingw-w64 headers"
cxx=/usr/lib/gcc/i686-w64-mingw32/12-posix/include/c++
clang++ --target=i686-pc-windows-msvc -fms-compatibility -fsyntax-only -std=c++17 "${defs[@]}" \
  -isystem "$cxx" -isystem "$cxx/i686-w64-mingw32" -isystem /usr/i686-w64-mingw32/include -I. \
  res/strings.cpp 2>&1 | grep -E 'error:' | head -3
echo "   (errors above come from the SDK stand-in, not from our code)"

for triple in i686 x86_64; do
  echo "== 2. clang -fms-extensions -pedantic, MSVC /W4-like warnings, $triple"
  cxx=/usr/lib/gcc/$triple-w64-mingw32/12-posix/include/c++
  flags=(--target=$triple-w64-windows-gnu -fms-extensions -fsyntax-only -std=c++17 -pedantic
    -Wall -Wextra -Wgnu -Wvla -Wzero-length-array -Wc++20-designator -Wshadow
    -Wshorten-64-to-32 -Wimplicit-int-conversion -Wfloat-conversion -Wdeprecated -Wmicrosoft
    -Wno-unused-private-field "${defs[@]}" -isystem "$cxx" -isystem "$cxx/$triple-w64-mingw32"
    -isystem /usr/$triple-w64-mingw32/include -I. -I/usr/src/googletest/googletest/include)
  for f in "$@"; do
    out=$(clang++ "${flags[@]}" "$f" 2>&1)
    if [ -n "$out" ]; then
      echo "$out" | grep -E 'error:|warning:'
      status=1
    fi
  done
done

echo "== 3. CRT calls that MSVC deprecates (C4996)"
if grep -nE '\b(strcpy|strcat|sprintf|vsprintf|wcscpy|wcscat|strncpy|wcsncpy|sscanf|swscanf|fopen|_wfopen|getenv|_wgetenv|strtok|wcstok|localtime|gmtime|mbstowcs|wcstombs|strdup|wcsdup|_snwprintf|_snprintf|GetVersionEx[AW]?|lstrcpy[AW]?|lstrcat[AW]?|wsprintf[AW]?|_itow|_itoa|itoa)\s*\(' "$@"; then
  status=1
fi
[ $status = 0 ] && echo "no findings"
exit $status
