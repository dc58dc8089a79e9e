#!/usr/bin/env bash
# Prints the project's budget figures: the size of the stripped program, and the
# figures of the area benchmarks (start-up, process list, idle wait, timing, paint).
# With --full it also times the whole test command.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${DORMIVEX_BUILD_DIR:-$root/build}"
bash "$root/tools/deps.sh"
bash "$root/tools/build.sh" "$build"

exe="$build/Dormivex.exe"
size=$(stat -c %s "$exe")
verdict=OVER
[ "$size" -le 28672 ] && verdict="within budget"
[ "$size" -le 24576 ] && verdict="within budget and goal"
printf 'Dormivex.exe stripped size: %d bytes (budget 28672, goal 24576): %s\n' "$size" "$verdict"
printf 'imports: %s(the build rejects any other, a constructor list and a wrong PE checksum)\n' \
       "$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name/ {print $3}' | tr '\n' ' ')"

for script in "$root"/tools/bench-*.sh; do
  [ -f "$script" ] || continue
  echo "== $(basename "$script")"
  bash "$script" "$build" || echo "$(basename "$script") failed"
done

if [ "${1:-}" = "--full" ]; then
  start=$(date +%s)
  bash "$root/tools/test.sh" >/dev/null 2>&1 || echo "test command failed"
  printf 'full test command: %d s (budget 600 s)\n' "$(( $(date +%s) - start ))"
fi
