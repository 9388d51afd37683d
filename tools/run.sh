#!/usr/bin/env bash
# The main job: builds both targets, assembles the sample suite package and installs it
# unattended into a fresh Windows environment of its own (a Wine prefix in build/run/prefix),
# then prints what the install left: exit code, log, Add/Remove Programs entries, start-menu
# entries and installed files.
#   tools/run.sh                 unattended ("/Silent"), no screen needed
#   tools/run.sh --interactive   the same install with its dialogs on a virtual screen (Xvfb);
#                                OV_SCREENSHOTS=DIR saves a picture of the screen every second
# The prefix stays afterwards for a look around: WINEPREFIX=build/run/prefix wine64 regedit ...
set -eu
cd "$(dirname "$0")/.."
interactive=0
[ "${1:-}" = --interactive ] && interactive=1
tools/build.sh
. tests/wine/prefix.sh
root=$PWD/build/win64/wine
ov_make_template "$root"
run=$PWD/build/run
if [ -d "$run/prefix" ]; then WINEPREFIX="$run/prefix" "$WINESERVER" -k 2>/dev/null || true; fi
rm -rf "$run"; mkdir -p "$run"
ov_copy_template "$root" "$run/prefix"
export WINEPREFIX=$run/prefix
package=$PWD/build/win64/packages/suite
destination='C:\Program Files\Tarnel\Internet Security Suite'

if [ $interactive = 1 ]; then
  OV_WITH_XVFB=1 tools/ensure-tools.sh
  # Draw for real, and let Wine paint the window frames itself (there is no window manager).
  "$WINE64" reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true
  "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  "$WINESERVER" -w
  shots=${OV_SCREENSHOTS:-}
  set +e
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$1" "$2/ovsetup.exe" & pid=$!
    if [ -n "$3" ]; then
      mkdir -p "$3"; n=0
      while kill -0 $pid 2>/dev/null; do n=$((n+1)); import -window root "$3/screen-$n.png" 2>/dev/null; sleep 1; done
    fi
    wait $pid' _ "$WINE64" "$package" "$shots"
  code=$?
  set -e
else
  "$WINESERVER" -p
  set +e
  "$WINE64" "$package/ovsetup.exe" /Silent "/Path=$destination"
  code=$?
  set -e
fi
"$WINESERVER" -w 2>/dev/null &
sleep 1

drive=$run/prefix/drive_c
echo "== exit code: $code"
echo
echo "== log (C:\\ovkestralog.txt)"
iconv -f WINDOWS-1252 -t UTF-8 "$drive/ovkestralog.txt" 2>/dev/null | tr -d '\r' || echo "(no log)"
echo
echo "== Add/Remove Programs"
"$WINE64" uninstaller --list 2>/dev/null | tr -d '\r' | sed 's/|||/  /' || true
echo
echo "== start menu"
(cd "$drive" && find ProgramData/Microsoft/Windows/"Start Menu"/Programs users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs \
  -path '*Tarnel*' 2>/dev/null | sort) || true
echo
echo "== files installed"
(cd "$drive" && find "Program Files/Tarnel" -type f 2>/dev/null | sort) || true
"$WINESERVER" -k 2>/dev/null || true
exit $code
