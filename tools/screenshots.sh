#!/usr/bin/env bash
# Makes the README's pictures in docs/ from the real program, under an Xvfb of its
# own and in a Wine prefix of the build folder (never the user's own):
#   docs/main-window.png         the skinned main window, in English
#   docs/warning-window.png      the warning window of a Standby countdown of 30 s,
#                                which is then cancelled with CANCEL
#   docs/plain-frame-german.png  the standard frame (NoSkin = 1), in German
# Usage: screenshots.sh   (DORMIVEX_BUILD_DIR chooses the build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${DORMIVEX_BUILD_DIR:-$root/build}"

if [ "${1:-}" != --in-xvfb ]; then
  bash "$root/tools/deps.sh"
  bash "$root/tools/build.sh" "$build" Dormivex
  bash "$root/tools/build.sh" "$build" engine_driver
  mkdir -p "$root/docs"
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --in-xvfb
fi

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=wine
export WINEPREFIX="$build/wineprefix-shots" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/.dormivex-ready" ] || echo "Creating the Wine prefix $WINEPREFIX (first run only) ..."
bash "$root/tools/wine-prefix.sh" "$WINEPREFIX"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

main_title='^Dormivex x64 [0-9.]+$'
warning_title='^Dormivex x64 [0-9.]+ - Warning$'

fail() {
  echo "screenshots.sh: $*" >&2
  wineserver -k >/dev/null 2>&1 || true  # whatever was armed ends with the program
  exit 1
}

settings() {  # LANGUAGE NOSKIN
  "$wine" reg add 'HKCU\Software\DormivexZEPH' /v Language /t REG_SZ /d "$1" /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\DormivexZEPH' /v NoSkin /t REG_DWORD /d "$2" /f >/dev/null 2>&1
}

window_of() {  # TITLE: the id of its mapped window, within 30 s
  bash "$root/tools/find-window.sh" "$1" 30
}

gone() {  # TITLE: true once no window of that title is mapped, within 10 s
  for _ in $(seq 1 20); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.5
  done
  return 1
}

shoot() {  # WINDOW FILE
  xdotool mousemove 0 0  # no hover highlight in the picture
  sleep 0.3
  import -window "$1" -strip -define png:compression-level=9 "$root/docs/$2"
  echo "docs/$2: $(stat -c %s "$root/docs/$2") bytes"
}

start_program() {
  "$wine" "$build/Dormivex.exe" >/dev/null 2>&1 &
  main=$(window_of "$main_title") || fail "the main window did not appear"
}

# 1. The skinned main window in English, then the warning of a Standby countdown.
settings en 0
start_program
shoot "$main" main-window.png
# Standby (4), not forced (0), countdown (2) of 0:00:30: the warning opens at once.
"$wine" "$build/engine_driver.exe" 4 0 2 0 0 30 | grep -q '^armed' || fail "START was not accepted"
warning=$(window_of "$warning_title") || fail "the warning window did not appear"
shoot "$warning" warning-window.png
# CANCEL is 180 x 36 client pixels at (92, 88); aim at its middle, below the caption.
xdotool mousemove --window "$warning" $((4 + 92 + 90)) $((22 + 88 + 18)) click 1
gone "$warning_title" || fail "CANCEL did not close the warning window"
# The close cell at the right end of the drawn title bar.
width=$(xdotool getwindowgeometry --shell "$main" | sed -n 's/^WIDTH=//p')
xdotool mousemove --window "$main" $((width - 10)) 10 click 1
gone "$main_title" || fail "the main window did not close"

# 2. The standard frame in German.
settings de 1
start_program
shoot "$main" plain-frame-german.png
xdotool key alt+F4
gone "$main_title" || fail "the main window did not close"
