#!/usr/bin/env bash
# Configures with a preset (linux-mingw unless told) and builds.
# Usage: build.sh [BUILD_DIR] [TARGET] [PRESET] [CONFIGURE_OPTION ...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${1:-$root/build}"
target="${2:-all}"
preset="${3:-linux-mingw}"
shift $(($# < 3 ? $# : 3))
(cd "$root" && cmake --preset "$preset" -B "$build" "$@" >/dev/null)
cmake --build "$build" --target "$target" -j"$(nproc)" -- --no-print-directory | { grep -v -E '^\[ *[0-9]+%\]' || true; }
test -f "$build/Dormivex.exe"
