#!/usr/bin/env bash
# Formats the code with the style of .clang-format (clang-format 14, Debian 12).
#   bash scripts/format.sh           rewrites the files that differ
#   bash scripts/format.sh --check   names them and fails instead (as .ci/run does)
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -d '' files < <(find src tests bench fuzz tools \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
if [[ "${1:-}" == "--check" ]]; then
  report=$(mktemp)
  trap 'rm -f "$report"' EXIT
  if ! clang-format --dry-run --Werror "${files[@]}" 2>"$report"; then
    grep -o '^[^:]*:[0-9]*:[0-9]*: error' "$report" | cut -d: -f1 | sort -u |
      sed 's/^/не по .clang-format: /' >&2
    echo "Отформатируйте: bash scripts/format.sh" >&2
    exit 1
  fi
  echo "${#files[@]} файлов по .clang-format"
else
  clang-format -i "${files[@]}"
fi
