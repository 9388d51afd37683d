#!/usr/bin/env bash
# Prints the stripped size of every shipped binary, and fails when the shipped 32-bit
# ovsetup.exe is over its budget of 120 KB.
set -eu
bin=$1; triple=$2
budget=$((120 * 1024))
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
for f in ovsetup.exe zsdk.dll; do
  [ -f "$bin/$f" ] || continue
  "$triple-strip" -o "$tmp/$f" "$bin/$f"
  size=$(stat -c %s "$tmp/$f")
  printf 'size %-12s %-20s %7d bytes stripped\n' "$triple" "$f" "$size"
  if [ "$f" = ovsetup.exe ] && [ "$triple" = i686-w64-mingw32 ] && [ "$size" -gt "$budget" ]; then
    echo "sizes: $f is $size bytes, over its budget of $budget" >&2
    exit 1
  fi
done
