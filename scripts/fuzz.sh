#!/usr/bin/env bash
# Builds the libFuzzer targets of the file readers with clang and runs each for a while on its
# seed corpus (fuzz/corpus/<name>/). Fails when a target finds a crash, a sanitizer report or a
# broken check; the input that did it is copied into the reader's seed corpus, to be committed
# with the fix (the ctest replay then keeps it fixed).
#   scripts/fuzz.sh [seconds per target, default 60] [target names ...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build="$top/build-fuzz"

CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DFIM_FUZZ=ON -DFIM_BUILD_UI=OFF -DFIM_BUILD_TESTS=OFF -DFIM_BUILD_BENCH=OFF >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(time_file wave calibration spectrum smc miccal_text trace)
fi
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]/#/fuzz_}"

status=0
for name in "${targets[@]}"; do
    # New inputs go to a scratch corpus; the seeds in the repository stay as they are.
    work="$build/corpus-$name"
    found="$build/found-$name"
    mkdir -p "$work"
    rm -rf "$found" && mkdir -p "$found"
    echo "== fuzz_$name for ${seconds}s"
    if ! (cd "$build" && "./fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 \
            -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$found/" \
            "$work" "$top/fuzz/corpus/$name" >"$build/fuzz_$name.log" 2>&1); then
        echo "fuzz_$name FAILED; log: $build/fuzz_$name.log"
        tail -n 40 "$build/fuzz_$name.log"
        for f in "$found"/*; do
            [ -f "$f" ] || continue
            cp "$f" "$top/fuzz/corpus/$name/"
            echo "added to the seed corpus: fuzz/corpus/$name/$(basename "$f") (commit it with the fix)"
        done
        status=1
    else
        grep -E '^stat::number_of_executed_units' "$build/fuzz_$name.log" || true
    fi
done
exit $status
