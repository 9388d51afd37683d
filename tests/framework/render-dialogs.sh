#!/usr/bin/env bash
# Photographs every framework dialog and box under Xvfb into PNG files:
#   tests/framework/render-dialogs.sh BIN_DIR OUT_DIR [PACKAGE_DIR]
# BIN_DIR is a win64 build's bin folder (framework_gallery.exe and the companion libraries);
# PACKAGE_DIR, when given, is another folder to take the framework and its libraries from.
# Needs Xvfb and ImageMagick's import. Runs in a scratch copy of the build's Wine template with a
# real display driver, removed afterwards. OV_RENDER_ONLY="228 restart" takes only those.
set -eu
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../wine/prefix.sh"

bin=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
package=()
if [ $# -ge 3 ]; then
  p=$(cd "$3" && pwd)
  package=("Z:${p//\//\\}")
fi
root=${OV_WINE_ROOT:-$(dirname "$bin")/wine}
ov_make_template "$root"

scratch=$(mktemp -d)
prefix=$scratch/prefix
ov_copy_template "$root" "$prefix"
export WINEPREFIX=$prefix
# Draw for real, and let Wine paint the window frames itself (there is no window manager).
"$WINE64" reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true
"$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
"$WINESERVER" -w
# Wine's own fonts (Tahoma for the dialogs, Marlett for the caption buttons), which this Wine does
# not find in its data folder by itself.
for font in /usr/share/wine/fonts/*.ttf; do
  if [ -f "$font" ]; then cp "$font" "$prefix/drive_c/windows/Fonts/"; fi
done

display=:${OV_XVFB_DISPLAY:-97}
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
sleep 1
"$WINESERVER" -p

status=0
for what in ${OV_RENDER_ONLY:-228 230 231 283 284 350 351 message restart}; do
  rect=$scratch/$what.rect
  "$WINE64" "$bin/framework_gallery.exe" "$what" "Z:${rect//\//\\}" "${package[@]}" &
  gallery=$!
  for _ in $(seq 1 600); do
    [ -s "$rect" ] && break
    sleep 0.1
  done
  if [ -s "$rect" ]; then
    read -r x y w h <"$rect"
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out/framework-$what.png"
    echo "framework-$what.png ${w}x${h}"
    rm -f "$rect"
  else
    echo "framework-$what: nothing shown" >&2
    status=1
  fi
  wait "$gallery" || status=1
done
exit $status
