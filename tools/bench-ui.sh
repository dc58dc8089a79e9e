#!/usr/bin/env bash
# Prints the main window's budget figures under Wine and Xvfb: the start-up time
# against a minimal dialog program (budget: at most 1.5 times) and the time of a
# process-list refresh with 100 extra processes (budget: under 100 ms).
# Usage: bench-ui.sh [BUILD_DIR] [ROUNDS] [EXTRA]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${1:-${DORMIVEX_BUILD_DIR:-$root/build}}"
rounds="${2:-9}"
extra="${3:-100}"
bash "$root/tools/build.sh" "$build" bench_ui >/dev/null
cmake --build "$build" --target Dormivex sleeper -- --no-print-directory >/dev/null

# The minimal program is built like the real one: same compiler and flags, the same
# resources (templates and manifest), a windowed program, stripped and static.
work="$build/bench-ui"
mkdir -p "$work"
defines="-DNOMINMAX -DWIN32_LEAN_AND_MEAN -DWINVER=0x0601 -D_WIN32_WINNT=0x0601"
x86_64-w64-mingw32-windres -O coff $defines -I "$root" "$root/res/Dormivex.rc" "$work/Dormivex.res"
x86_64-w64-mingw32-g++-posix -O3 -DNDEBUG -Os -std=c++17 -Wall -Wextra -fno-exceptions -fno-rtti \
  $defines "$root/bench/minimal_dialog.cpp" "$work/Dormivex.res" \
  -mwindows -static -s -Wl,--gc-sections -o "$work/minimal_dialog.exe"

cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24" ./wine-run.sh ./bench_ui.exe \
  'bench-ui\minimal_dialog.exe' 'Dormivex.exe' 'sleeper.exe' "$rounds" "$extra" | tr -d '\r'
