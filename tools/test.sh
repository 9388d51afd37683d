#!/usr/bin/env bash
# The tests: installs what is missing, builds both presets, then runs every
# test under wine64 in the project's own prefix (build/win64/wine), with one
# persistent wineserver for the run, ended afterwards (that prefix only).
set -eu
cd "$(dirname "$0")/.."
tools/build.sh
# The shipped library's export table, which the 64-bit tests cannot see.
bash tests/zsdk/check-exports.sh build/win32/bin/zsdk.dll i686-w64-mingw32-objdump
. tests/wine/prefix.sh
root=$PWD/build/win64/wine
ov_make_template "$root"
# Reuse a server that already runs for this prefix (a developer's earlier run).
WINEPREFIX="$root/shared" "$WINESERVER" -p 2>/dev/null || true
trap 'WINEPREFIX="$root/shared" "$WINESERVER" -k 2>/dev/null || true' EXIT
ctest --preset win64 -j "$(nproc)" --timeout 600 "$@"
