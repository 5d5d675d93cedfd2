#!/usr/bin/env bash
# Builds the fuzz targets with clang (ASan + UBSan + libFuzzer) and runs each
# for the given number of seconds (default 20) from a copy of its seed corpus.
#   fuzz/run.sh [seconds] [build-folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
build=${2:-$root/build-fuzz}
CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DJC_FUZZ=ON >/dev/null
cmake --build "$build" -j2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in data_reader decrypt legacy_ini ini document; do
    mkdir -p "$work/$target"
    cp "$root/fuzz/corpus/$target/"* "$work/$target/"
    echo "== fuzz_$target for ${seconds}s"
    status=0
    "$build/fuzz/fuzz_$target" "$work/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -timeout=20 -print_final_stats=1 -artifact_prefix="$root/fuzz-$target-" \
        >"$work/$target.log" 2>&1 || status=$?
    grep -E "^(Done|stat::number_of_executed_units|stat::peak_rss_mb)" "$work/$target.log" || true
    if [ "$status" -ne 0 ]; then
        tail -40 "$work/$target.log" >&2
        echo "fuzz_$target failed (status $status); the input is saved as fuzz-$target-*" >&2
        exit 1
    fi
done
