#!/usr/bin/env bash
# Installs what the build needs, builds, and starts the program. Without a display it measures the
# built-in Virtual Room once with fimtool and says where the impulse response went.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$top/build/src/fim" "$@"
fi
out="$top/build/first-measurement.mtf"
echo "No display: measuring the Virtual Room with fimtool (about a second)..."
"$top/build/src/fimtool" measure --atc --out "$out"
echo "Impulse response written to $out (see: $top/build/src/fimtool info $out)"
