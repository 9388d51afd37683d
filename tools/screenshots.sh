#!/usr/bin/env bash
# Pictures of every dialog and box a person meets during an install, taken under a virtual screen
# (Xvfb) into docs/screenshots/*.png: the agreement, the destination, the components, the progress
# window, the conflict question, the two notices, a message box and the restart question. Not part
# of the tests. Installs what it needs when missing, builds the win64 preset's gallery program and
# the sample package, and takes the framework and its texts from the package.
#   tools/screenshots.sh [OUT_DIR]     (default docs/screenshots)
set -eu
cd "$(dirname "$0")/.."
out=${1:-docs/screenshots}
OV_WITH_XVFB=1 tools/ensure-tools.sh
[ -f build/win64/CMakeCache.txt ] || cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target framework_gallery sample_package >/dev/null

shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
bash tests/framework/render-dialogs.sh build/win64/bin "$shots" build/win64/packages/suite

mkdir -p "$out"
names="228:agreement 230:destination 350:components 231:progress 351:conflict 283:winsock-notice
  284:richedit-notice message:message-box restart:restart"
for pair in $names; do
  cp "$shots/framework-${pair%%:*}.png" "$out/${pair#*:}.png"
  echo "$out/${pair#*:}.png"
done
