#!/usr/bin/env bash
# Prints the stripped size of every shipped binary (ovsetup.exe budget: 120 KB on win32).
set -eu
bin=$1; triple=$2
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
for f in ovsetup.exe zsdk.dll; do
  [ -f "$bin/$f" ] || continue
  "$triple-strip" -o "$tmp/$f" "$bin/$f"
  printf 'size %-12s %-20s %7d bytes stripped\n' "$triple" "$f" "$(stat -c %s "$tmp/$f")"
done
