#!/usr/bin/env bash
# Configures and builds with the mingw-w64 toolchain. Usage: build.sh [BUILD_DIR] [TARGET]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${1:-$root/build}"
target="${2:-all}"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DDORMIVEX_WERROR=ON >/dev/null
cmake --build "$build" --target "$target" -j"$(nproc)" -- --no-print-directory | grep -v -E '^\[ *[0-9]+%\]' || true
test -f "$build/Dormivex.exe"
