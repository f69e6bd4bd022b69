#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, once per machine.
# Enables deb-src when missing so that the source packages can be fetched.
set -euo pipefail

PKGS=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
      libz-mingw-w64-dev wine64 fonts-wine fonts-wqy-microhei xvfb xauth x11-apps
      imagemagick cmake ninja-build dpkg-dev dnsmasq-base python3 locales
      fontconfig binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 g++
      osslsigncode openssl x11-utils chrony)

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

src_ok=1
grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ || grep -qs '^deb-src' /etc/apt/sources.list || src_ok=0
if [ "$src_ok" = 0 ]; then
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed -i -E 's/^Types: deb$/Types: deb deb-src/' "$f"
  done
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/; then
    echo "deb-src http://deb.debian.org/debian bookworm main" > /etc/apt/sources.list.d/varnak-src.list
  fi
  need_update=1
fi

if [ "${#missing[@]}" -gt 0 ] || [ "${need_update:-0}" = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
fi
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# zh_CN.UTF-8 makes Wine use code page 936 for every A/W conversion.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  sed -i -E 's/^# *(zh_CN.UTF-8 UTF-8)/\1/' /etc/locale.gen 2>/dev/null || true
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# Wine's own fonts become visible to fontconfig.
if [ ! -e /usr/share/fonts/truetype/wine-fonts ] && [ -d /usr/share/wine/fonts ]; then
  ln -sfn /usr/share/wine/fonts /usr/share/fonts/truetype/wine-fonts
  fc-cache -f >/dev/null 2>&1 || true
fi
