#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from what clang-format makes of it, and lists the
# files; `scripts/check-format.sh --fix` formats them in place instead. Installs clang-format
# when missing. The result depends on clang-format's version: the project's is Debian 12's (14).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh run clang-format

mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
unformatted=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
done
if [ ${#unformatted[@]} -ne 0 ]; then
  echo "check-format: ${#unformatted[@]} file(s) differ from clang-format's layout:" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  echo "run: bash scripts/check-format.sh --fix" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files as clang-format lays them out"
