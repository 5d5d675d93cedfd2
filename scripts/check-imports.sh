#!/usr/bin/env bash
# Checks that the Windows programs run on Windows 7 SP1 and later: lists every
# function each .exe imports (objdump -p) and fails on one that Windows 7
# does not have, and on a PE header that asks for a later Windows.
#   scripts/check-imports.sh [EXE...]
# (default: both builds' convert1_1to2_0.exe, from build-windows/ and
# build-windows-i686/, those that exist).
#
# KERNEL32, ADVAPI32 and SHELL32 imports must be listed in
# scripts/windows/imports/windows-api.txt with their documented minimum
# Windows version, 7 or earlier. msvcrt.dll documents no versions: its
# imports must be among those the build made when the list was written
# (scripts/windows/imports/msvcrt-<arch>.txt). Any other DLL fails.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
lists=$root/scripts/windows/imports
source "$root/scripts/windows/wine-loader.sh"

programs=("$@")
if ((${#programs[@]} == 0)); then
    for dir in build-windows build-windows-i686; do
        [[ ! -f $root/$dir/project/convert1_1to2_0.exe ]] ||
            programs+=("$root/$dir/project/convert1_1to2_0.exe")
    done
fi
((${#programs[@]} > 0)) || { echo "error: no .exe to check; build one first" >&2 && exit 1; }

# Windows versions in the order they came.
rank() {
    case $1 in
        2000) echo 1 ;; XP) echo 2 ;; Vista) echo 3 ;; 7) echo 4 ;;
        8) echo 5 ;; 8.1) echo 6 ;; 10) echo 7 ;; 11) echo 8 ;;
        *) echo 99 ;;
    esac
}

failures=0
fail() {
    echo "  FAILED: $*"
    failures=$((failures + 1))
}

for exe in "${programs[@]}"; do
    arch=$(pe_arch "$exe")
    [[ -f $lists/msvcrt-$arch.txt ]] || {
        echo "error: no list of msvcrt.dll imports for $arch (scripts/windows/imports/msvcrt-$arch.txt)" >&2
        exit 1
    }
    objdump=$arch-w64-mingw32-objdump
    dump=$("$objdump" -p "$exe")
    imports=$(awk -F'[ \t]+' '/DLL Name:/ { dll = toupper($NF); sub(/\.DLL$/, "", dll); next }
                             dll != "" && /^\t[0-9a-f]+\t/ { print dll, $NF }' <<<"$dump" | sort -u)
    count=$(grep -c . <<<"$imports")
    echo "$exe ($arch): $count imports from $(awk '{print $1}' <<<"$imports" | sort -u | tr '\n' ' ')"
    ((count > 0)) || fail "no imports found: objdump's listing was not understood"
    for field in MajorSubsystemVersion MajorOSystemVersion; do
        minor=${field/Major/Minor}
        version="$(awk -v f="$field" '$1 == f { print $2 }' <<<"$dump").$(awk -v f="$minor" '$1 == f { print $2 }' <<<"$dump")"
        [[ $version == 6.1 || $version == 6.0 || $version == 5.* || $version == 4.* ]] ||
            fail "the PE header's ${field#Major} is $version, later than Windows 7 (6.1)"
    done
    while read -r dll function; do
        case $dll in
            KERNEL32 | ADVAPI32 | SHELL32)
                minimum=$(awk -v d="$dll" -v f="$function" '$1 == d && $2 == f { print $3 }' "$lists/windows-api.txt")
                if [[ -z $minimum ]]; then
                    fail "$dll $function is not in scripts/windows/imports/windows-api.txt: add it with its documented minimum Windows version"
                elif (($(rank "$minimum") > $(rank 7))); then
                    fail "$dll $function needs Windows $minimum; Windows 7 does not have it"
                fi
                ;;
            MSVCRT)
                grep -qx "$function" "$lists/msvcrt-$arch.txt" ||
                    fail "msvcrt.dll $function is a new import (not in scripts/windows/imports/msvcrt-$arch.txt)"
                ;;
            *) fail "$dll.dll $function: a DLL the programs may not depend on" ;;
        esac
    done <<<"$imports"
done

if ((failures > 0)); then
    echo "import check: $failures problems"
    exit 1
fi
echo "import check: every import is in Windows 7"
