#!/usr/bin/env bash
# The main job: builds both targets, assembles the sample suite package and takes the suite through
# its whole life in a fresh Windows environment of its own (a Wine prefix in build/run/prefix):
#   1. install      the package's ovsetup.exe, unattended ("/Silent"): what it left is shown
#   2. uninstall    the suite's own uninstall command from Add/Remove Programs, unattended: the
#                   cleanup copy it left in the temporary folder and the RunOnce value naming it
#   3. restart      Windows restarts ("wineboot -r"); at the logon the cleanup copy runs once
#   4. cleanup      what the cleanup removed; the copy itself waits for the next restart
#   5. restart      the copy is deleted
#   6. summary      each place the suite used, checked: nothing of the suite is left
#   tools/run.sh                 all unattended, no screen needed
#   tools/run.sh --interactive   the install with its dialogs on a virtual screen (Xvfb);
#                                OV_SCREENSHOTS=DIR saves a picture of the screen every second
# The exit code is 0 when every step succeeded and nothing of the suite is left. The prefix stays
# afterwards for a look around: WINEPREFIX=build/run/prefix wine64 regedit ...
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
drive=$run/prefix/drive_c
log=$drive/ovkestralog.txt
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
runonce_key='HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
failed=0

# The data of a registry value, empty when it is not there.
reg_value() {
  "$WINE64" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
# The log's lines written since byte offset $1 (ANSI in the file).
show_log_since() {
  tail -c +"$(($1 + 1))" "$log" 2>/dev/null | iconv -f WINDOWS-1252 -t UTF-8 | tr -d '\r' || echo "(no log)"
}
log_size() { stat -c %s "$log" 2>/dev/null || echo 0; }
# Each place of the suite as "name<TAB>what is there", nothing when the place is clean.
suite_traces() {
  "$WINE64" uninstaller --list 2>/dev/null | tr -d '\r' | grep -i 'tarnel\|^OV ' |
    sed 's/|||/  /; s/^/Add\/Remove Programs\t/' || true
  (cd "$drive" && find ProgramData/Microsoft/Windows/"Start Menu"/Programs \
    users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs -path '*Tarnel*' 2>/dev/null |
    sort | sed 's/^/start menu\t/') || true
  "$WINE64" reg query 'HKLM\Software\Orvane' >/dev/null 2>&1 &&
    printf 'settings\tHKLM\\Software\\Orvane\n'
  v=$(reg_value "$run_key" OvKestraDT); [ -z "$v" ] || printf 'Run value OvKestraDT\t%s\n' "$v"
  v=$(reg_value "$runonce_key" Kestra_cleanup); [ -z "$v" ] || printf 'RunOnce value Kestra_cleanup\t%s\n' "$v"
  (cd "$drive" && find "Program Files/Tarnel" 2>/dev/null | sort | sed 's/^/installed files\t/') || true
  (cd "$drive" && ls -d users/*/Temp/ovcu_* 2>/dev/null | sed 's/^/cleanup copies\t/') || true
}
restart() {
  "$WINE64" wineboot -r >/dev/null 2>&1 || { echo "(restart failed)"; failed=1; }
}

echo "== 1. install"
if [ $interactive = 1 ]; then
  OV_WITH_XVFB=1 tools/ensure-tools.sh
  # Wine's own fonts (Tahoma, Marlett), which this Wine does not find by itself.
  for font in /usr/share/wine/fonts/*.ttf; do
    if [ -f "$font" ]; then cp "$font" "$drive/windows/Fonts/"; fi
  done
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
  # The rest of the life runs unattended, without a screen.
  "$WINE64" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  "$WINESERVER" -w
else
  "$WINESERVER" -p
  set +e
  "$WINE64" "$package/ovsetup.exe" /Silent "/Path=$destination"
  code=$?
  set -e
fi
"$WINESERVER" -p 2>/dev/null || true
echo "exit code: $code"
[ "$code" = 0 ] || failed=1
echo
echo "-- log (C:\\ovkestralog.txt)"
show_log_since 0
echo
echo "-- what the suite installed"
suite_traces | sed 's/\t/: /'

echo
echo "== 2. uninstall (the suite's entry in Add/Remove Programs, unattended)"
command=$(reg_value "$uninstall_key\\Tarnel Suite Personal" UninstallString)
echo "registered command: ${command:-(none)}"
uninstaller=$(printf '%s' "$command" | sed -n 's/^"\([^"]*\)".*/\1/p')
offset=$(log_size)
if [ -n "$uninstaller" ]; then
  set +e
  "$WINE64" "$uninstaller" /u /Silent
  code=$?
  set -e
else
  code=1
fi
echo "exit code: $code"
[ "$code" = 0 ] || failed=1
echo
echo "-- log"
show_log_since "$offset"
echo
echo "-- left for the cleanup at the next logon"
suite_traces | sed 's/\t/: /'

echo
echo "== 3. restart (wineboot -r): the cleanup copy runs once"
offset=$(log_size)
restart
echo
echo "== 4. cleanup"
echo "-- log"
show_log_since "$offset"
echo
echo "-- left after the cleanup"
suite_traces | sed 's/\t/: /'

echo
echo "== 5. restart (wineboot -r): the copy goes"
restart

echo
echo "== 6. summary: what the machine holds of the suite"
traces=$(suite_traces)
for place in "Add/Remove Programs" "start menu" "settings" "Run value OvKestraDT" \
  "RunOnce value Kestra_cleanup" "installed files" "cleanup copies"; do
  found=$(printf '%s\n' "$traces" | grep -c "^$place	" || true)
  if [ "$found" = 0 ]; then printf '%-30s nothing\n' "$place:"; else printf '%-30s %s left\n' "$place:" "$found"; fi
done
if [ -z "$traces" ]; then
  echo "=> nothing of the suite is left"
else
  echo "=> left behind:"
  printf '%s\n' "$traces" | sed 's/\t/: /; s/^/   /'
  failed=1
fi
"$WINESERVER" -k 2>/dev/null || true
exit $failed
