#!/usr/bin/env bash
# Checks that every C and C++ source file is formatted as .clang-format says.
# Prints the files that are not and exits with 1; `scripts/check-format.sh
# --fix` formats them in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i --style=file "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  clang-format --style=file --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
  printf 'not formatted: %s\n' "${bad[@]}"
  echo "run scripts/check-format.sh --fix"
  exit 1
fi
echo "format: ${#files[@]} files as .clang-format says"
