#!/usr/bin/env bash
# Installs what is missing, builds everything, checks the sources with clang, cppcheck
# and clang-tidy, and runs every test under Wine and Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${DORMIVEX_BUILD_DIR:-$root/build}"
bash "$root/tools/deps.sh"
bash "$root/tools/build.sh" "$build"
bash "$root/tools/check-sources.sh" "$build"
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$build" --output-on-failure || status=$?
for prefix in "$build"/wineprefix*/; do
  WINEPREFIX="${prefix%/}" wineserver -k >/dev/null 2>&1 || true
done
exit $status
