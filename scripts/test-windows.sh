#!/usr/bin/env bash
# Runs the tests of the Windows build under Wine (64-bit, headless, quiet):
#   scripts/test-windows.sh [BUILD_DIR] [ctest arguments...]
# BUILD_DIR is the one scripts/build-windows.sh filled (default: build-windows/).
# Wine keeps its own Windows folder in BUILD_DIR/wine (see windows/wine-env.sh).
#
# Then the program on a console, as a user has it: Ctrl-C while it works
# puts the journal back as it was. `script` gives Wine a terminal, which Wine
# makes the program's console.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-windows}")
shift || true

source "$root/scripts/windows/wine-env.sh"
wine_env
tests=0
in_windows_locale ctest --test-dir "$build/project" --output-on-failure -j2 "$@" || tests=$?

interrupt_check() {
    local dir=$build/interrupt project=$build/project status=0
    rm -rf "$dir" "$dir.out"
    mkdir -p "$dir"
    # A journal large enough that a run takes some seconds, enciphered with "pw".
    awk -v n=150000 'BEGIN {
        printf "%d\002PLACE\003home\002POSITION\003back\002RECORD\003", n
        for (i = 0; i < n; i++)
            printf "%d.5\0011\0011\0011\0010\0013\001A dream, number %d, with [OC]a lucid part[/OC].\002",
                39000 + i % 3000, i
    }' >"$dir/data"
    (cd "$dir" && in_windows_locale wine "$project/tests/journal_cipher.exe" encipher data 7077 current)
    cp "$dir/data" "$dir.journal"
    # Ctrl-C once the run has the journal deciphered in its working copy;
    # then Enter, for a program that waits for a key before its window closes.
    (
        cd "$dir"
        for ((i = 0; i < 600; ++i)); do
            [[ -e dataX ]] && break
            sleep 0.1
        done
        printf '\003'
        sleep 3
        printf '\r'
        sleep 2
    ) | (cd "$dir" && in_windows_locale timeout 120 script -qfec "wine '$project/convert1_1to2_0.exe' pw" /dev/null) \
        >"$dir.out" 2>&1 || status=$?
    # The console draws its text with control sequences; the words alone.
    sed -i 's/\x1b\[?25[lh]//g; s/\x1b\[K\x1b\[1C/ /g; s/\x1b\[[0-9;?]*[A-Za-z]//g' "$dir.out"
    local failed=0
    [[ $status == 130 ]] || { echo "exit status $status, not 130" && failed=1; }
    grep -q "interrupted by Ctrl-C" "$dir.out" || { echo "no word of the interrupt" && failed=1; }
    cmp -s "$dir/data" "$dir.journal" || { echo "data is not the journal as it was" && failed=1; }
    [[ $(ls -A "$dir") == data ]] || { echo "left in the folder: $(ls -A "$dir")" && failed=1; }
    if ((failed)); then
        echo "FAILED: Ctrl-C during a run under Wine; the console showed:"
        cat -v "$dir.out"
        return 1
    fi
    echo "Ctrl-C during a run under Wine: the journal is put back as it was"
    rm -rf "$dir" "$dir.out" "$dir.journal"
}
console=0
interrupt_check || console=1
((tests == 0 && console == 0))
