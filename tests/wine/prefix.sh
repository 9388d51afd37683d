# Shell functions for the project's own Wine prefixes; sourced by the test
# scripts. Never touches ~/.wine: every prefix lives below OV_WINE_ROOT.
#   $OV_WINE_ROOT/template  made once by wineboot, null display driver, never run in
#   $OV_WINE_ROOT/shared    copy of the template where ordinary tests run
# Tests that change machine state get a fresh copy of the template instead.

WINE64=${WINE64:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
export WINEDEBUG=${WINEDEBUG:--all}
# Keep Wine from offering to install Mono or Gecko into a new prefix, and from mirroring the
# start-menu shortcuts the suite makes into the desktop menus of the user running the tests
# (outside every prefix).
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}

# ov_make_template ROOT: builds ROOT/template once; safe to call concurrently.
ov_make_template() {
  local root=$1
  mkdir -p "$root"
  (
    flock 9
    if [ ! -f "$root/template/.ready" ]; then
      rm -rf "$root/template"
      WINEPREFIX="$root/template" "$WINE64" wineboot -i >/dev/null 2>&1
      # No screen here: windows and dialogs still exist with the null driver.
      WINEPREFIX="$root/template" "$WINE64" reg add 'HKCU\Software\Wine\Drivers' \
        /v Graphics /d null /f >/dev/null 2>&1
      WINEPREFIX="$root/template" "$WINESERVER" -w
      touch "$root/template/.ready"
    fi
    if [ ! -f "$root/shared/.ready" ]; then
      rm -rf "$root/shared"
      cp -a "$root/template" "$root/shared"
    fi
  ) 9>"$root/.lock"
}

# ov_copy_template ROOT DEST: a fresh machine of its own for one test.
ov_copy_template() {
  cp -a "$1/template" "$2"
}

# ov_set_winver PREFIX EXE_NAME VERSION: the program reports that Windows.
ov_set_winver() {
  WINEPREFIX="$1" "$WINE64" reg add "HKCU\\Software\\Wine\\AppDefaults\\$2" \
    /v Version /d "$3" /f >/dev/null 2>&1
}
