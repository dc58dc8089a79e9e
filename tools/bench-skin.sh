#!/usr/bin/env bash
# Prints how long a full paint of the skinned frame takes (budget: under 2 ms),
# measured on a real window under Wine and Xvfb. Usage: bench-skin.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${1:-${DORMIVEX_BUILD_DIR:-$root/build}}"
[ -x "$build/wine-run.sh" ] || bash "$root/tools/build.sh" "$build" Dormivex >/dev/null
cmake --build "$build" --target skin_paint_bench -- --no-print-directory >/dev/null
cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24" ./wine-run.sh ./skin_paint_bench.exe 540 418 500 | tr -d '\r'
