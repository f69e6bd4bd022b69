#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds win32, win64 and
# host, runs the host tests (ASan/UBSan) and the Windows tests under Wine, and
# checks the export and import tables of both Windows builds.
# Extra arguments go to both ctest runs (e.g. -R Engine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
started=$(date +%s)

[ "$(id -u)" = 0 ] && bash tools/install-deps.sh
bash tools/fetch-sources.sh
bash tools/build.sh win32 win64 host

status=0
echo "== binary checks"
python3 tools/check-binaries.py build/win32 i686-w64-mingw32-objdump || status=1
python3 tools/check-binaries.py build/win64 x86_64-w64-mingw32-objdump || status=1

echo "== host tests"
(cd build/host && ctest --output-on-failure -j2 "$@") || status=1

echo "== Windows tests under Wine"
bash tools/wine-session.sh start build/win64
trap 'bash tools/wine-session.sh stop build/win64' EXIT
# shellcheck disable=SC1091
. build/win64/session.env
# one at a time: the tests share one desktop, its foreground window and its
# message boxes, which tests of another process would otherwise answer.
# A test that fails is run once more: real windows under Wine and Xvfb now and
# then lose a first message or start late; a fault fails both times, and the
# first failure's output stays in the log.
(cd build/win64 && ctest --output-on-failure --repeat until-pass:2 "$@") || status=1

echo "== test command finished in $(( $(date +%s) - started )) s: $([ $status = 0 ] && echo passed || echo FAILED)"
exit $status
