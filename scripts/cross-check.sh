#!/usr/bin/env bash
# Holds the Linux build and the Windows build (run under Wine) side by side:
#   scripts/cross-check.sh [LINUX_BUILD] [WINDOWS_BUILD]
# (defaults: build/ and build-windows/, as the README's command and
# scripts/build-windows.sh make them; build-windows-i686/ holds the 32-bit
# build, run under 32-bit Wine).
#
# 1. The cipher: every file the Windows cryptographic service enciphered
#    (tests/data/cipher: six plain files, three passwords, three key schemes)
#    is enciphered again from its plain text by each build, which must give
#    the service's bytes; each build deciphers what the other wrote, and
#    finds the scheme it was written in.
# 2. The program, as a user runs it: a copy of each build's converter in a
#    folder with a sample journal (each scheme; a journal whose enciphered
#    length is a whole number of chunks) converts it. Both write the same
#    data.xml and ini.txt byte for byte, and encipher data again to the bytes
#    the service wrote. Then each build converts the folder the other one
#    left, and the documents are still the same.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
linux=$(realpath -m "${1:-$root/build}")
windows=$(realpath -m "${2:-$root/build-windows}")/project
data=$root/tests/data/cipher

build=$(dirname "$windows")
source "$root/scripts/windows/wine-env.sh"
wine_env
scratch=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$scratch"' EXIT

failures=0
checks=0
check() {  # description, then a command that must succeed
    local what=$1
    shift
    checks=$((checks + 1))
    if ! "$@"; then
        echo "FAILED: $what"
        failures=$((failures + 1))
    fi
}

# journal_cipher of one build, run in the file's folder: linux|windows ARGS...
cipher() {
    local side=$1 folder=$2
    shift 2
    if [[ $side == linux ]]; then
        (cd "$folder" && "$linux/tests/journal_cipher" "$@")
    else
        (cd "$folder" && in_windows_locale "$WINE" "$windows/tests/journal_cipher.exe" "$@" | tr -d '\r')
    fi
}

# --- 1. the cipher ------------------------------------------------------------
while IFS=$'\t' read -r cipherFile plainFile password scheme _; do
    [[ $cipherFile == cipher_file ]] && continue
    # A row for the empty password has no password column.
    if [[ $password == current || $password == base || $password == early ]]; then
        scheme=$password
        password=
    fi
    for side in linux windows; do
        other=$([[ $side == linux ]] && echo windows || echo linux)
        dir=$scratch/cipher-$side
        mkdir -p "$dir"
        cp "$data/$plainFile" "$dir/data"
        chmod u+w "$dir/data"
        check "$side enciphers $plainFile as $cipherFile" \
            cipher "$side" "$dir" encipher data "$password" "$scheme"
        check "$side writes the service's bytes for $cipherFile" cmp -s "$dir/data" "$data/$cipherFile"
        # What this build wrote, deciphered by the other.
        opened=$(cipher "$other" "$dir" decipher data "$password" || true)
        check "$other opens $cipherFile as $side wrote it ($scheme)" test "$opened" = "$scheme"
        check "$other deciphers $cipherFile to its plain text" cmp -s "$dir/data" "$data/$plainFile"
        rm -rf "$dir"
    done
done <"$data/manifest.tsv"
echo "cipher: $checks checks, $failures failed"

# --- 2. the program ---------------------------------------------------------
convert() {  # linux|windows FOLDER PASSWORD: exit status and output as "status:output"
    local side=$1 folder=$2 password=$3 out status=0
    if [[ $side == linux ]]; then
        out=$(cd "$folder" && "$linux/convert1_1to2_0" "$password" </dev/null 2>"$folder.err") ||
            status=$?
    else
        cp "$windows/convert1_1to2_0.exe" "$folder/"
        out=$(cd "$folder" && in_windows_locale "$WINE" ./convert1_1to2_0.exe "$password" </dev/null 2>"$folder.err") ||
            status=$?
        rm -f "$folder/convert1_1to2_0.exe"
    fi
    echo "$status:$out"
}

before=$checks
for journal in sample/current:dream sample/base:dream sample/early:dream edge160/current:edge; do
    fixture=$data/journals/${journal%%:*}/data
    password=${journal##*:}
    name=${journal%%:*}
    name=${name//\//-}
    for side in linux windows; do
        mkdir -p "$scratch/$name-$side"
        cp "$fixture" "$scratch/$name-$side/data"
        chmod u+w "$scratch/$name-$side/data"
        check "$side converts $name" test "$(convert "$side" "$scratch/$name-$side" "$password")" = "0:Done"
        check "$side enciphers $name again to the service's bytes" \
            cmp -s "$scratch/$name-$side/data" "$fixture"
    done
    L=$scratch/$name-linux W=$scratch/$name-windows
    check "both builds write the same data.xml for $name" cmp -s "$L/data.xml" "$W/data.xml"
    check "both builds write the same ini.txt for $name" cmp -s "$L/ini.txt" "$W/ini.txt"
    # Each converts what the other left (the journal it enciphered again).
    check "windows converts $name as linux left it" test "$(convert windows "$L" "$password")" = "0:Done"
    check "linux converts $name as windows left it" test "$(convert linux "$W" "$password")" = "0:Done"
    check "and the documents are still the same for $name" cmp -s "$L/data.xml" "$W/data.xml"
done
echo "program: $((checks - before)) checks, $((failures)) failed in all"

if ((failures > 0)); then
    echo "cross-check: $failures of $checks checks failed"
    exit 1
fi
echo "cross-check: all $checks checks passed"
