#!/usr/bin/env bash
# Runs the tests of the Windows build under Wine (64-bit, headless, quiet):
#   scripts/test-windows.sh [BUILD_DIR] [ctest arguments...]
# BUILD_DIR is the one scripts/build-windows.sh filled (default: build-windows/).
# Wine keeps its own Windows folder in BUILD_DIR/wine.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-windows}")
shift || true

export WINEPREFIX=$build/wine WINEDEBUG=-all DISPLAY=
# No prompts to install Wine's .NET and HTML engines: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Wine's background processes would hold ctest's output pipes open and make
# it wait forever: start them first, outside ctest, and end them after.
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot -i >/dev/null 2>&1
ctest --test-dir "$build/project" --output-on-failure -j2 "$@"
