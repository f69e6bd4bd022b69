#!/usr/bin/env bash
# Starts or stops what the Wine tests of one build folder need:
#   start <build dir>  creates the private prefix once (fonts mapped), starts a
#                      persistent wineserver and warms it, starts Xvfb on a free
#                      display; writes <build dir>/session.env (DISPLAY, ids)
#   stop <build dir>   stops both, by their ids
set -euo pipefail
cmd=${1:?start or stop}; dir=$(cd "${2:?build folder}" && pwd)
export WINEPREFIX="$dir/wineprefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" LC_ALL=zh_CN.UTF-8
wine=/usr/lib/wine/wine64
env_file="$dir/session.env"

case "$cmd" in
start)
  # a free display: no socket and no lock file; another run may take the
  # same number at the same moment, so retry when our server did not stay up
  n=90
  while :; do
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    sleep 0.2
    kill -0 "$xvfb_pid" 2>/dev/null && break
    n=$((n + 1))
  done
  export DISPLAY=":$n"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot -i >/dev/null 2>&1 </dev/null
    # Chinese font names of the skin resolve to the installed CJK font
    reg="$dir/fonts.reg"
    {
      printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
      for f in "Microsoft YaHei" "微软雅黑" "SimSun" "宋体" "NSimSun" "新宋体"; do
        printf '"%s"="WenQuanYi Micro Hei"\r\n' "$f"
      done
    } | iconv -f UTF-8 -t GBK > "$reg"
    "$wine" regedit /S "$reg" >/dev/null 2>&1 </dev/null
    /usr/lib/wine/wineserver -w
  fi
  /usr/lib/wine/wineserver -p
  "$wine" wineboot </dev/null >/dev/null 2>&1 || true
  printf 'export DISPLAY=%s\nVARNAK_XVFB_PID=%s\n' ":$n" "$xvfb_pid" > "$env_file"
  echo "wine session: prefix $WINEPREFIX, display :$n"
  ;;
stop)
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  if [ -f "$env_file" ]; then
    # shellcheck disable=SC1090
    . "$env_file"
    kill "${VARNAK_XVFB_PID:-0}" 2>/dev/null || true
    rm -f "$env_file"
  fi
  ;;
*) echo "usage: $0 start|stop <build dir>" >&2; exit 2 ;;
esac
