#!/usr/bin/env bash
# Fails when a shipped binary imports anything but Windows' own DLLs
# (a C++ runtime, libgcc or winpthread DLL would be missing on the target), and when
# ovsetup.exe, which starts without the C run-time's start-up code, has global constructors or
# registers exit-time destructors: nothing would run them.
set -eu
bin=$1; triple=$2
allowed='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|version|msvcrt|ws2_32|wtsapi32)\.dll$'
status=0
for f in "$bin"/ovsetup.exe "$bin"/zsdk.dll; do
  [ -f "$f" ] || { echo "missing: $f"; status=1; continue; }
  for dll in $("$triple-objdump" -p "$f" | awk '/DLL Name:/ {print tolower($3)}'); do
    if ! [[ $dll =~ $allowed ]]; then
      echo "$(basename "$f") imports $dll, which is not a Windows system DLL"
      status=1
    fi
  done
done
exe="$bin"/ovsetup.exe
if [ -f "$exe" ]; then
  if "$triple-nm" "$exe" | grep -q '_GLOBAL__sub_I'; then
    echo "ovsetup.exe has global constructors"; status=1
  fi
  if "$triple-objdump" -p "$exe" | grep -qwE '(atexit|_onexit)$'; then
    echo "ovsetup.exe registers exit-time destructors"; status=1
  fi
fi
[ $status = 0 ] && echo "imports ok: $bin ($triple)"
exit $status
