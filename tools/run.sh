#!/usr/bin/env bash
# Runs Varnak: installs what is missing, builds the 64-bit flavour, lays out
# its install directory and starts Varnak.exe under Wine on the current
# display (or on a private Xvfb when there is none), saves a screenshot and
# prints its path. On a real display the program keeps running until closed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
[ "$(id -u)" = 0 ] && bash tools/install-deps.sh
bash tools/fetch-sources.sh
bash tools/build.sh win64 >/dev/null
dist="$root/build/win64/dist/Varnak"

export WINEPREFIX="$root/build/run-prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" LC_ALL=zh_CN.UTF-8
wine=/usr/lib/wine/wine64

private_x=""
if [ -z "${DISPLAY:-}" ] || ! xwd -root -silent >/dev/null 2>&1; then
  n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  private_x=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
fi
stop() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "$private_x" ] && kill "$private_x" 2>/dev/null || true
}
trap stop EXIT

[ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot -i >/dev/null 2>&1 </dev/null

(cd "$dist" && exec "$wine" Varnak.exe) &
app=$!
for _ in $(seq 80); do
  kill -0 "$app" 2>/dev/null || break
  sleep 0.1
done
if ! kill -0 "$app" 2>/dev/null; then
  rc=0; wait "$app" || rc=$?
  echo "Varnak.exe ended at once (exit code $rc): the main program does not open its window yet."
  exit 0
fi
mkdir -p "$root/build/screenshots"
shot="$root/build/screenshots/varnak-$(date +%Y%m%d-%H%M%S).png"
xwd -root -silent -display "$DISPLAY" | /usr/bin/convert xwd:- "$shot"
echo "screenshot: $shot"
if [ -z "$private_x" ]; then
  trap - EXIT
  wait "$app" || true
fi
