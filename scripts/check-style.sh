#!/usr/bin/env bash
# Checks the house style: every C++ file under src/, tests/, bench/ and fuzz/ is formatted as the
# repository's .clang-format says. Prints the files that differ and exits 1 when there is one.
# To mend: clang-format -i FILE...
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
if ! command -v clang-format >/dev/null; then
    echo "check-style: clang-format is not installed (scripts/install-deps.sh installs it)" >&2
    exit 2
fi
mapfile -d '' files < <(find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/check-style.$$; then
    grep -o '^[^:]*\.\(cpp\|h\)' /tmp/check-style.$$ | sort -u | sed 's/^/not formatted: /' >&2
    rm -f /tmp/check-style.$$
    exit 1
fi
rm -f /tmp/check-style.$$
