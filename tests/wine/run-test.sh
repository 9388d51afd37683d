#!/usr/bin/env bash
# Runs one Windows program under wine64 (CMake's cross-compiling emulator).
#   OV_WINE_ROOT   folder of the project's prefixes (default: beside the bin folder)
#   OV_ISOLATED=1  run in a fresh copy of the template prefix with a server of
#                  its own, removed afterwards (for tests that change the machine)
#   OV_WINVER=V    the program reports itself as Windows V (win98, winme, nt40,
#                  win2k, winxp): it runs as a copy named NAME-V.exe
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/prefix.sh"

exe=$1; shift
bindir=$(cd "$(dirname "$exe")" && pwd)
root=${OV_WINE_ROOT:-$(dirname "$bindir")/wine}
ov_make_template "$root"

prefix=$root/shared
scratch=
if [ "${OV_ISOLATED:-0}" = 1 ]; then
  scratch=$(mktemp -d "$root/isolated.XXXXXX")
  prefix=$scratch/prefix
  ov_copy_template "$root" "$prefix"
  WINEPREFIX="$prefix" "$WINESERVER" -p
fi
export WINEPREFIX=$prefix
export OV_WINE_ROOT=$root

if [ -n "${OV_WINVER:-}" ]; then
  name=$(basename "$exe" .exe)-$OV_WINVER.exe
  cp -f "$exe" "$bindir/$name"
  exe=$bindir/$name
  ov_set_winver "$prefix" "$name" "$OV_WINVER"
fi

# The output goes through a file: Wine's own background processes (services, the desktop),
# started by whichever program comes first, inherit its handles, and a pipe they hold open
# would keep ctest waiting long after the test ended.
out=$(mktemp "$root/output.XXXXXX")
"$WINE64" "$exe" "$@" >"$out" 2>&1 </dev/null
rc=$?
# A failure with no output at all means the program never got to run its code (seen once
# in a loaded CI run, 0.08 s, no message); say so and start it once more with Wine's errors on.
if [ $rc -ne 0 ] && [ ! -s "$out" ]; then
  echo "run-test: $(basename "$exe") exited $rc without output; starting it again"
  WINEDEBUG=err+all "$WINE64" "$exe" "$@" >"$out" 2>&1 </dev/null
  rc=$?
fi
cat "$out"
[ $rc -eq 0 ] || echo "run-test: exit code $rc"
rm -f "$out"

if [ -n "$scratch" ]; then
  WINEPREFIX="$prefix" "$WINESERVER" -k >/dev/null 2>&1
  WINEPREFIX="$prefix" "$WINESERVER" -w >/dev/null 2>&1
  rm -rf "$scratch"
fi
exit $rc
