#!/usr/bin/env bash
# Makes sure a Wine prefix for the tests exists and its wineserver is up.
# Usage: wine-prefix.sh PREFIX
# A new prefix gets Managed=N for the X11 driver: without a window manager Wine
# otherwise waits up to two seconds whenever a captioned window is destroyed.
set -u
prefix="$1"
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=wine
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.dormivex-ready" ]; then
    rm -rf "$prefix"
    "$wine" wineboot -i </dev/null >/dev/null 2>&1 9>&- || { echo "wineboot failed for $prefix" >&2; exit 1; }
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 9>&-
    wineserver -w </dev/null >/dev/null 2>&1 9>&-
    touch "$prefix/.dormivex-ready"
  fi
  # Debian's Wine does not look for the fonts of fonts-wine in its data folder; without
  # them in C:\windows\Fonts it measures dialogs with a wider substitute for MS Sans
  # Serif and draws letters for the caption buttons' Marlett symbols.
  fonts="$prefix/drive_c/windows/Fonts"
  if [ ! -f "$fonts/sserife.fon" ]; then
    cp /usr/share/wine/fonts/* "$fonts/" 2>/dev/null ||
      echo "wine-prefix.sh: no fonts in /usr/share/wine/fonts (package fonts-wine): Wine's windows will not have Windows' size" >&2
  fi
  # A session still up from a run on another X server (or none) would show the
  # windows there: end it first. xvfb-run gives every server the same display name
  # but an authority file of its own, so both tell one server from the next.
  server="${DISPLAY:-} ${XAUTHORITY:-}"
  if [ "$(cat "$prefix.display" 2>/dev/null)" != "$server" ]; then
    wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
    wineserver -w </dev/null >/dev/null 2>&1 9>&- || true
    printf '%s\n' "$server" >"$prefix.display"
  fi
  # Keep one server alive between test binaries; it lingers a while after the last one.
  # The session's own processes (services, explorer) start with the first program and
  # would inherit its output pipes, keeping CTest waiting: start them here, detached.
  wineserver -p120 </dev/null >/dev/null 2>&1 9>&- || true
  "$wine" wineboot </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$prefix.lock"
