#!/usr/bin/env bash
# The main job. For now: builds both targets and runs the host utilities' smoke program
# under wine64 in a Windows environment of its own (build/run/prefix), once as the Windows
# that Wine reports by default and once as Windows 98.
set -eu
cd "$(dirname "$0")/.."
tools/build.sh
. tests/wine/prefix.sh
root=$PWD/build/win64/wine
ov_make_template "$root"
run=$PWD/build/run
rm -rf "$run"; mkdir -p "$run"
ov_copy_template "$root" "$run/prefix"
export WINEPREFIX=$run/prefix
"$WINESERVER" -p
trap '"$WINESERVER" -k 2>/dev/null || true; rm -rf "$run/prefix"' EXIT
cp build/win64/bin/ovhostinfo.exe "$run/"
cp build/win64/bin/ovhostinfo.exe "$run/ovhostinfo98.exe"
ov_set_winver "$WINEPREFIX" ovhostinfo98.exe win98
# A Windows 98 keeps its folder under the 9x key, which a Wine prefix lacks.
"$WINE64" reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion' /v SystemRoot /d 'C:\windows' /f >/dev/null 2>&1
echo "== ovhostinfo (default Windows)"
"$WINE64" "$run/ovhostinfo.exe"
echo
echo "== ovhostinfo (as Windows 98)"
"$WINE64" "$run/ovhostinfo98.exe"
echo
echo "Binaries: build/win32/bin (shipped, 32-bit) and build/win64/bin (64-bit, tested)."
