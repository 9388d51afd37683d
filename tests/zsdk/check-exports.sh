#!/usr/bin/env bash
# Fails unless DLL exports exactly the seven ZSDK functions, by name and undecorated
# (no leading underscore, no @n), as the suite's programs look them up.
#   check-exports.sh DLL OBJDUMP
set -eu
dll=$1; objdump=$2
expected='ZSDK_CheckForUpdate
ZSDK_EnableOEPlugin
ZSDK_EnableOLPlugin
ZSDK_GetCurrentVersion
ZSDK_IsOEPluginEnabled
ZSDK_IsOLPluginEnabled
ZSDK_IsProductInstalled'
dump=$("$objdump" -p "$dll")
# The name table: "[Ordinal/Name Pointer] Table" followed by "[ n] name" lines.
actual=$(printf '%s\n' "$dump" | awk '
  /^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
  on && /^[[:space:]]*\[ *[0-9]+\]/ { sub(/^[[:space:]]*\[ *[0-9]+\][[:space:]]*/, ""); print; next }
  on { exit }' | LC_ALL=C sort)
# Exports without a name would not show in the name table: the address table must match it.
hex=$(printf '%s\n' "$dump" | awk '/^[[:space:]]*Export Address Table[[:space:]]+[0-9a-fA-F]+$/ { print $4; exit }')
count=${hex:+$((16#$hex))}
if [ "$actual" != "$expected" ] || [ "${count:-}" != 7 ]; then
  echo "$dll: unexpected export table (addresses: ${count:-none})"
  diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") || true
  exit 1
fi
echo "exports ok: $dll"
