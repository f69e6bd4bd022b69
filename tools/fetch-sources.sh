#!/usr/bin/env bash
# Fetches the Debian source packages of the bundled libraries into one folder
# (default build/src), unpacked and patched by dpkg-source. Nothing of them is
# committed; every build flavour compiles them from there.
set -euo pipefail
dest=${1:-"$(cd "$(dirname "$0")/.." && pwd)/build/src"}
mkdir -p "$dest"
cd "$dest"
need=()
for pkg in lua5.2:lua5.2-5.2.4 tinyxml2:tinyxml2-9 libjsoncpp:libjsoncpp-1 googletest:googletest-1; do
  name=${pkg%%:*}; dir=${pkg#*:}
  ls -d "$dir"* >/dev/null 2>&1 || need+=("$name")
done
if [ "${#need[@]}" -gt 0 ]; then
  apt-get source -qq "${need[@]}" >/dev/null 2>&1 || apt-get source "${need[@]}"
fi
# Stable names for CMake, whatever version Debian ships.
ln -sfn "$(ls -d lua5.2-5.2.*/ | head -1)" lua
ln -sfn "$(ls -d tinyxml2-*/ | head -1)" tinyxml2
ln -sfn "$(ls -d libjsoncpp-*/ | head -1)" jsoncpp
ln -sfn "$(ls -d googletest-*/ | head -1)" googletest
