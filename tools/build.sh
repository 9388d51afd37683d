#!/usr/bin/env bash
# Configures and builds both presets: build/win64 (tests run) and build/win32 (shipped).
set -eu
cd "$(dirname "$0")/.."
tools/ensure-tools.sh
jobs=$(nproc)
for preset in win64 win32; do
  [ -f build/$preset/CMakeCache.txt ] || cmake --preset $preset >/dev/null
  cmake --build --preset $preset -j "$jobs"
done
tools/check-imports.sh build/win64/bin x86_64-w64-mingw32
tools/check-imports.sh build/win32/bin i686-w64-mingw32
