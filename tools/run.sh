#!/usr/bin/env bash
# Installs what is missing, builds Dormivex.exe and starts it under Wine: on the
# user's display when there is one; otherwise under Xvfb, in a Wine prefix of the
# build folder, where it saves a screenshot of the main window and ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${DORMIVEX_BUILD_DIR:-$root/build}"
bash "$root/tools/deps.sh"
bash "$root/tools/build.sh" "$build" Dormivex
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=wine
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ -n "${DISPLAY:-}" ]; then
  [ -d "${WINEPREFIX:-$HOME/.wine}" ] ||
    echo "Wine first creates its prefix ${WINEPREFIX:-$HOME/.wine}; the program appears when that is done."
  exec "$wine" "$build/Dormivex.exe"
fi

# No display: never the user's own prefix (wine-prefix.sh rebuilds one it did not make).
export WINEPREFIX="$build/wineprefix-run"
shot="$build/dormivex-screenshot.png"
rm -f "$shot"
[ -f "$WINEPREFIX/.dormivex-ready" ] ||
  echo "Creating the Wine prefix $WINEPREFIX (first run only; 10 to 30 seconds) ..."
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  root=$1 wine=$2 exe=$3 shot=$4
  trap "wineserver -k >/dev/null 2>&1 || true" EXIT
  bash "$root/tools/wine-prefix.sh" "$WINEPREFIX" || exit 1
  "$wine" "$exe" >/dev/null 2>&1 &
  # The main window, not the warning window whose title begins the same way.
  window=$(bash "$root/tools/find-window.sh" "^Dormivex x64 [0-9.]+\$" 60) || {
    echo "The main window of Dormivex did not appear within 60 seconds." >&2
    exit 1
  }
  import -window "$window" "$shot"' _ "$root" "$wine" "$build/Dormivex.exe" "$shot" || status=$?
if [ "$status" -ne 0 ] || [ ! -s "$shot" ]; then
  echo "No display, and Dormivex could not be shown under Xvfb: no screenshot." >&2
  exit 1
fi
echo "No display: Dormivex ran under Xvfb. Screenshot of its main window: $shot"
