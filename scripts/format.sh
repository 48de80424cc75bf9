#!/usr/bin/env bash
# Formats the code with the style of .clang-format (clang-format 14, Debian 12).
#   bash scripts/format.sh           rewrites the files that differ (only those: the others keep
#                                    their times, so nothing is rebuilt for them)
#   bash scripts/format.sh --check   names them and fails instead (as .ci/run does)
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -d '' files < <(find src tests bench fuzz tools \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
report=$(mktemp)
trap 'rm -f "$report"' EXIT
if clang-format --dry-run --Werror "${files[@]}" 2>"$report"; then
  echo "${#files[@]} файлов по .clang-format"
  exit 0
fi
mapfile -t differing < <(grep -o '^[^:]*:[0-9]*:[0-9]*: error' "$report" | cut -d: -f1 | sort -u)
if ((${#differing[@]} == 0)); then
  cat "$report" >&2  # clang-format itself failed
  exit 1
fi
if [[ "${1:-}" == "--check" ]]; then
  printf 'не по .clang-format: %s\n' "${differing[@]}" >&2
  echo "Отформатируйте: bash scripts/format.sh" >&2
  exit 1
fi
clang-format -i "${differing[@]}"
printf 'отформатирован: %s\n' "${differing[@]}"
