#!/usr/bin/env bash
# Installs what the build needs, builds, runs every test through ctest and checks the Debian
# package; then runs the engine tests once more in a build with the address and
# undefined-behaviour sanitizers.
# A private PulseAudio loopback runs meanwhile, so the real-device test measures through it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
# Includes follow the folders' dependency order (fails fast, before the build).
"$top/scripts/check-includes.sh"
# The house style (clang-format) holds everywhere.
"$top/scripts/check-style.sh"
"$top/scripts/build.sh"
# clang-tidy over src/ (reads the compilation database the build just wrote).
"$top/scripts/check-tidy.sh"
export QT_QPA_PLATFORM=offscreen
. "$top/scripts/sound-server.sh"
trap fim_sound_server_stop EXIT
fim_sound_server_start || echo "test.sh: no sound server; the loopback test will say why it skips" >&2
ctest --test-dir "$top/build" --output-on-failure --parallel "$(nproc)" --timeout 600

# The Debian package, built and inspected (installed and removed again only when CI=true).
"$top/scripts/package-check.sh"

cmake -S "$top" -B "$top/build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DFIM_SANITIZE=ON -DFIM_BUILD_UI=OFF -DFIM_BUILD_BENCH=OFF
cmake --build "$top/build-sanitize" --parallel "$(nproc)" --target fim_engine_tests fim_fuzz_replay
ctest --test-dir "$top/build-sanitize" --output-on-failure --parallel "$(nproc)" --timeout 900 -L engine

# The file readers under libFuzzer (needs clang).
"$top/scripts/fuzz.sh" 60
