#!/usr/bin/env bash
# scripts/build.sh CONFIG... builds the named configurations under build/:
#   native  - portable logic and its unit tests, AddressSanitizer + UBSan (g++)
#   i686    - the product, Selvane.exe, and its Windows tests (mingw-w64)
#   x86_64  - the 64-bit build of the same
#   fuzz    - libFuzzer targets of the portable logic (clang)
# --only T1,T2 builds just those targets of each configuration instead of all of it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
targets=()
if [ "${1:-}" = --only ]; then
  IFS=, read -ra list <<<"$2"
  targets=(--target "${list[@]}")
  shift 2
fi
for cfg in "$@"; do
  dir="$top/build/$cfg"
  case $cfg in
    native) args=(-DSELVANE_SANITIZE=ON) ;;
    fuzz) args=(-DSELVANE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++) ;;
    i686) args=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-mingw.cmake") ;;
    x86_64) args=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64-mingw.cmake") ;;
    *) echo "build.sh: unknown configuration $cfg" >&2; exit 2 ;;
  esac
  [ -f "$dir/build.ninja" ] || cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${args[@]}" >/dev/null
  cmake --build "$dir" "${targets[@]}"
done
