#!/usr/bin/env bash
# Installs the build and test tools from Debian's packages when any is missing.
set -eu
need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64)
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686)
[ -x /usr/lib/wine/wine64 ] || need+=(wine wine64)
command -v cmake >/dev/null || need+=(cmake)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
command -v flock >/dev/null || need+=(util-linux)
if [ "${OV_WITH_XVFB:-0}" = 1 ]; then
  command -v Xvfb >/dev/null || need+=(xvfb)
  command -v convert >/dev/null && convert -version 2>/dev/null | grep -q ImageMagick || need+=(imagemagick)
  # Wine's own fonts (Tahoma, Marlett): only recommended by wine, and drawn dialogs need them.
  [ -f /usr/share/wine/fonts/tahoma.ttf ] || need+=(fonts-wine)
fi
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  sudo=
  [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${need[@]}"
fi
