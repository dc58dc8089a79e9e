#!/usr/bin/env bash
# Installs what is missing and builds the release: dist/Dormivex.exe and its line in
# dist/SHA256SUMS. The program is built from a clean build folder of its own with
# the release flags (preset linux-mingw, tests left out); the build itself checks
# the imports, the empty constructor list, the PE checksum and the size budget. A
# second build from a copy of the sources at another path must give the same bytes,
# or nothing is written.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh"

build_program() {  # SOURCE_DIR BUILD_DIR
  rm -rf "$2"
  bash "$1/tools/build.sh" "$2" Dormivex linux-mingw -DBUILD_TESTING=OFF
}

build="$root/build-release"
build_program "$root" "$build"

copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
tar -C "$root" --exclude=./.git --exclude='./build*' --exclude=./dist -cf - . | tar -C "$copy" -xf -
build_program "$copy" "$copy/elsewhere"
if ! cmp -s "$build/Dormivex.exe" "$copy/elsewhere/Dormivex.exe"; then
  echo "Not reproducible: two builds of the same sources at different paths differ." >&2
  cmp -l "$build/Dormivex.exe" "$copy/elsewhere/Dormivex.exe" | head -n 5 >&2 || true
  exit 1
fi

mkdir -p "$root/dist"
cp "$build/Dormivex.exe" "$root/dist/Dormivex.exe"
(cd "$root/dist" && sha256sum Dormivex.exe >SHA256SUMS)
revision=$(git -C "$root" describe --always --dirty 2>/dev/null || echo "no git")
echo "dist/Dormivex.exe: $(stat -c %s "$root/dist/Dormivex.exe") bytes, built from $revision, reproduced at another path"
cat "$root/dist/SHA256SUMS"
