#!/usr/bin/env bash
# Configures and builds the named flavours (default: win32 win64 host) into
# build/<flavour>. Needs tools/install-deps.sh and tools/fetch-sources.sh first.
# VARNAK_BUILD_PREFIX=x- builds into build/x-<flavour> instead, so that several
# work trees of one checkout can build side by side.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavours=("$@")
[ "${#flavours[@]}" -gt 0 ] || flavours=(win32 win64 host)
for f in "${flavours[@]}"; do
  dir="$root/build/${VARNAK_BUILD_PREFIX:-}$f"
  args=(-S "$root" -B "$dir" -G Ninja -DVARNAK_SOURCES="$root/build/src")
  case "$f" in
    win32) args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-win32.cmake" -DVARNAK_TESTS=OFF) ;;
    win64) args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-win64.cmake") ;;
    host)  args+=(-DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++) ;;
    *) echo "unknown flavour $f (win32, win64 or host)" >&2; exit 2 ;;
  esac
  [ -f "$dir/build.ninja" ] || cmake "${args[@]}" >/dev/null
  echo "== building $f"
  cmake --build "$dir"
done
