#!/usr/bin/env bash
# Runs clang-tidy with the repository's .clang-tidy over every .cpp file under src/ (and the
# headers under src/ they include), using the compilation database of the build in build/ (or
# $1). Any finding fails the check: prints the findings and exits 1.
# The tests, benchmarks and fuzz targets are left out: the widget tests alone take most of a
# quarter of an hour on two cores.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
runner=$(command -v run-clang-tidy || command -v run-clang-tidy-14 || true)
if [ -z "$runner" ] || ! command -v clang-tidy >/dev/null; then
    echo "check-tidy: clang-tidy is not installed (scripts/install-deps.sh installs it)" >&2
    exit 2
fi
if [ ! -f "$build/compile_commands.json" ]; then
    echo "check-tidy: no $build/compile_commands.json (configure with scripts/build.sh first)" >&2
    exit 2
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Generated files (moc, qrc) live in the build folder and are not ours to tidy.
"$runner" -p "$build" -j "$(nproc)" -quiet -header-filter="^$top/src/" "^$top/src/.*\\.cpp\$" \
    2>&1 | sed 's/\x1b\[[0-9;]*m//g' >"$log" || true
# The runner always colours its output; the colour codes are taken out above.
findings=$(grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error):' "$log" | sed "s|^$top/||" | sort -u || true)
if [ -n "$findings" ]; then
    echo "$findings" >&2
    echo "check-tidy: $(echo "$findings" | wc -l) findings (clang-tidy FILE -p build shows each in full)" >&2
    exit 1
fi
