#!/usr/bin/env bash
# Checks that every tracked C++ file is formatted as .clang-format says; changes nothing.
#
#   scripts/format-check.sh [file...]     (default: all tracked *.cpp and *.h)
#
# Fails with the list of files that differ. To fix them: clang-format -i <file>...
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || {
    echo "format-check: clang-format is missing (scripts/install-deps.sh installs it)" >&2
    exit 2
}
if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
fi
[ ${#files[@]} -gt 0 ] || { echo "format-check: no C++ files found" >&2; exit 2; }
for f in "${files[@]}"; do
    [ -f "$f" ] || { echo "format-check: no file $f" >&2; exit 2; }
done
# One run over all files; each difference is reported as "<file>:<line>:<column>: error: ...".
report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1) && status=0 || status=$?
mapfile -t bad < <(printf '%s\n' "$report" | sed -n -E 's/^(.*):[0-9]+:[0-9]+: error: .*/\1/p' |
    sort -u)
if [ $status -ne 0 ] && [ ${#bad[@]} -eq 0 ]; then
    echo "format-check: clang-format failed:" >&2
    printf '%s\n' "$report" >&2
    exit 2
fi
if [ ${#bad[@]} -gt 0 ]; then
    echo "format-check: ${#bad[@]} of ${#files[@]} files are not formatted as .clang-format says:" >&2
    printf '  %s\n' "${bad[@]}" >&2
    echo "Fix them with: clang-format -i ${bad[*]}" >&2
    exit 1
fi
echo "format-check: all ${#files[@]} files are formatted"
