#!/usr/bin/env bash
# Runs the tests of a Windows build under Wine (headless, quiet), in a prefix
# of the build's architecture:
#   scripts/test-windows.sh [BUILD_DIR] [ctest arguments...]
# BUILD_DIR is the one scripts/build-windows.sh filled (default:
# build-windows/; build-windows-i686/ for the 32-bit build). Wine keeps its
# own Windows folder in BUILD_DIR/wine (see windows/wine-env.sh).
#
# Then the program on a console, as a user has it: the password is asked for
# unseen (again after a wrong one), a warning shows a Cyrillic folder's name
# and the system's Russian words as they are, Ctrl-C while it works puts the
# journal back as it was, a folder with no journal asks before one is made, a
# Russian journal on a Western European Windows asks which code page to read
# it in (a script is warned), and a Japanese Windows reads journals as 1251.
# `script` gives Wine a terminal, which Wine makes the program's console.
#
# A failing test fails the run the first time: nothing is run again, except a
# program that Wine itself did not start (windows/wine-run), and those
# retries are counted and shown at the end.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-windows}")
shift || true

source "$root/scripts/windows/wine-env.sh"
wine_env
echo "Wine: $("$WINE" --version), $WINEARCH prefix in $WINEPREFIX"
export JC_WINE_START_RETRIES=$build/wine-start-retries.log
: >"$JC_WINE_START_RETRIES"
tests=0
in_windows_locale ctest --test-dir "$build/project" --output-on-failure -j2 "$@" || tests=$?

# --- the program on a console ---------------------------------------------

# The words the console showed (it draws them with control sequences).
shown() {
    sed 's/\x1b\[K\x1b\[1C/ /g; s/\x1b\[[0-9;?]*[A-Za-z]//g' "$1"
}

# Waits until the console of the run recorded in $1 has shown $2, read as
# one line (the console breaks long ones). Keys are typed only once the
# question they answer is shown: the program drops what was typed before it.
wait_for() {
    for ((i = 0; i < 600; ++i)); do
        shown "$1" 2>/dev/null | tr -d '\r\n' | grep -q "$2" && return
        sleep 0.1
    done
}

# Runs the converter in folder $1 with the arguments $2 on a console that
# script(1) gives Wine, typing what comes on standard input; records the
# console in $1.out and gives the exit status in $status.
# A third argument runs it as a Windows of that locale (see in_locale).
on_console() {
    local dir=$1 args=$2 as=(in_windows_locale)
    [[ -z ${3:-} ]] || as=(in_locale "$3")
    status=0
    (cd "$dir" && "${as[@]}" timeout 120 \
        script -qfec "'$WINE' '$build/project/convert1_1to2_0.exe' $args" /dev/null) \
        >"$dir.out" 2>&1 || status=$?
}

# Runs the converter in folder $1 as a Windows of locale $2 with standard
# input closed, as a script runs it; standard error goes to $1.err, the exit
# status to $status.
as_script() {
    local dir=$1 locale=$2
    status=0
    (cd "$dir" && in_locale "$locale" timeout 120 \
        "$WINE" "$build/project/convert1_1to2_0.exe" </dev/null) >"$dir.out" 2>"$dir.err" ||
        status=$?
}

# A folder $1 holding the bundled Russian sample, plain.
sample_folder() {
    rm -rf "$1" "$1.out" "$1.err"
    mkdir -p "$1"
    cp "$root/tests/data/cipher/journals/sample/plain/data" "$1/data"
    chmod u+w "$1/data"
}

# Double-clicked: no password given, so the program asks for it, reads it
# without showing it (again after a wrong one), converts, and waits for Enter
# before its window closes.
# The folder's name shows as it is in what the program says.
prompt_check() {
    local dir=$build/prompt-журнал failed=0
    rm -rf "$dir" "$dir.out"
    mkdir -p "$dir"
    cp "$root/tests/data/cipher/journals/sample/plain/data" "$dir/data"
    chmod u+w "$dir/data"
    # "Zx9q", a password that nothing else the program shows can contain.
    (cd "$dir" && in_windows_locale "$WINE" "$build/project/tests/journal_cipher.exe" \
        encipher data 5a783971 current)
    # A wrong one first: it is asked for again.
    on_console "$dir" "" < <(
        wait_for "$dir.out" "Password:"
        printf 'Zx9w\r'
        wait_for "$dir.out" "try again.*Password:"
        printf 'Zx9q\r'
        wait_for "$dir.out" "Press Enter to close."
        printf '\r'
        sleep 2
    )
    [[ $status == 0 ]] || { echo "exit status $status, not 0" && failed=1; }
    shown "$dir.out" | grep -q "Done" || { echo "no \"Done\"" && failed=1; }
    ! shown "$dir.out" | grep -q "Zx9" || { echo "the password was shown" && failed=1; }
    [[ -f $dir/data.xml ]] || { echo "no data.xml" && failed=1; }
    shown "$dir.out" | grep -q 'prompt-журнал\\data.xml' || { echo "the folder's name is garbled" && failed=1; }
    report "the password asked for on the console of a double-clicked .exe" "$dir"
}

# A settings file that cannot be read (a folder named "ini") is a warning and
# the run goes on. On the console the warning shows the folder's Cyrillic
# name and the system's reason, in Russian, as they are.
warning_check() {
    local dir=$build/warning-журнал failed=0 text
    rm -rf "$dir" "$dir.out"
    mkdir -p "$dir/ini"
    cp "$root/tests/data/cipher/journals/sample/plain/data" "$dir/data"
    chmod u+w "$dir/data"
    on_console "$dir" "" < <(
        wait_for "$dir.out" "Press Enter to close."
        printf '\r'
        sleep 2
    )
    # The console breaks long lines: read what it showed as one line.
    text=$(shown "$dir.out" | tr -d '\r\n')
    [[ $status == 0 ]] || { echo "exit status $status, not 0" && failed=1; }
    [[ -f $dir/data.xml ]] || { echo "no data.xml" && failed=1; }
    grep -q 'Warning: cannot open ".*\\warning-журнал\\ini": ' <<<"$text" ||
        { echo "no warning, or the folder's name is garbled" && failed=1; }
    # Russian words alone: text garbled on its way shows other signs among them.
    in_windows_locale grep -q '\\ini": [А-Яа-яЁё ]\+; the legacy settings' <<<"$text" ||
        { echo "the system's reason is garbled or not in Russian" && failed=1; }
    report "a warning on the console names a Cyrillic folder and the system's reason as they are" "$dir"
}

# Ctrl-C while the run has the journal deciphered in its working copy puts
# the journal back as it was found.
interrupt_check() {
    local dir=$build/interrupt failed=0
    rm -rf "$dir" "$dir.out"
    mkdir -p "$dir"
    # A journal large enough that a run takes some seconds, enciphered with "pw".
    awk -v n=150000 'BEGIN {
        printf "%d\002PLACE\003home\002POSITION\003back\002RECORD\003", n
        for (i = 0; i < n; i++)
            printf "%d.5\0011\0011\0011\0010\0013\001A dream, number %d, with [OC]a lucid part[/OC].\002",
                39000 + i % 3000, i
    }' >"$dir/data"
    (cd "$dir" && in_windows_locale "$WINE" "$build/project/tests/journal_cipher.exe" \
        encipher data 7077 current)
    cp "$dir/data" "$dir.journal"
    on_console "$dir" pw < <(
        for ((i = 0; i < 600; ++i)); do
            [[ -e $dir/dataX ]] && break
            sleep 0.1
        done
        printf '\003'
        sleep 3
        printf '\r' # for a program that waits before its window closes
        sleep 2
    )
    [[ $status == 130 ]] || { echo "exit status $status, not 130" && failed=1; }
    shown "$dir.out" | grep -q "interrupted by Ctrl-C" || { echo "no word of the interrupt" && failed=1; }
    cmp -s "$dir/data" "$dir.journal" || { echo "data is not the journal as it was" && failed=1; }
    [[ $(ls -A "$dir") == data ]] || { echo "left in the folder: $(ls -A "$dir")" && failed=1; }
    rm -f "$dir.journal"
    report "Ctrl-C during a run puts the journal back as it was" "$dir"
}

# A Russian journal under a Western European Windows (code page 1252): a
# person at the console is asked, and Enter reads the texts as Cyrillic; a
# script is warned, and gets them read in the system's code page as before.
codepage_check() {
    local dir=$build/codepage-1252 failed=0
    sample_folder "$dir"
    on_console "$dir" "" en_US < <(
        wait_for "$dir.out" "Y/n"
        printf '\r'
        wait_for "$dir.out" "Press Enter to close."
        printf '\r'
        sleep 2
    )
    [[ $status == 0 ]] || { echo "with a person: exit status $status, not 0" && failed=1; }
    shown "$dir.out" | tr -d '\n' | grep -q "look like code page 1251 (Cyrillic), not 1252" ||
        { echo "no question" && failed=1; }
    # "дом" in the document's own Windows-1251.
    grep -q $'\xe4\xee\xec' "$dir/data.xml" ||
        { echo "with a person: the texts were not read as Cyrillic" && failed=1; }
    cp "$dir.out" "$dir.console"
    sample_folder "$dir"
    as_script "$dir" en_US
    [[ $status == 0 ]] || { echo "as a script: exit status $status, not 0" && failed=1; }
    grep -q 'Warning: 7 texts of the journal look wrong in code page 1252 (Western European), such as "äîì"; code page 1251 (Cyrillic) reads them cleanly' "$dir.err" ||
        { echo "as a script: no warning: $(cat "$dir.err")" && failed=1; }
    grep -q '&#228;&#238;&#236;' "$dir/data.xml" ||
        { echo "as a script: the texts were not read as the system's code page" && failed=1; }
    mv "$dir.console" "$dir.out"
    report "a Russian journal on a Western European Windows, with a person and without" "$dir"
}

# Double-clicked in a folder with no journal (Downloads, before the .exe was
# copied next to the journal): the person is asked, Enter says no, and the
# folder stays empty.
newjournal_check() {
    local dir=$build/no-journal failed=0
    rm -rf "$dir" "$dir.out" "$dir.err"
    mkdir -p "$dir"
    on_console "$dir" "" < <(
        wait_for "$dir.out" "y/N"
        printf '\r'
        wait_for "$dir.out" "not converted.*Press Enter to close."
        printf '\r'
        sleep 2
    )
    [[ $status == 1 ]] || { echo "exit status $status, not 1" && failed=1; }
    shown "$dir.out" | tr -d '\r\n' | grep -q 'Create a new, empty journal here? \[y/N\]' ||
        { echo "no question" && failed=1; }
    shown "$dir.out" | tr -d '\r\n' | grep -q 'no journal in ".*no-journal" (no file "data"); nothing was created' ||
        { echo "no refusal naming the folder" && failed=1; }
    [[ -z $(ls -A "$dir") ]] || { echo "left in the folder: $(ls -A "$dir")" && failed=1; }
    report "a double-click where there is no journal asks, and Enter creates nothing" "$dir"
}

# A Japanese Windows (code page 932, which no journal is in): the journal is
# read as 1251, with a note, never refused.
fallback_check() {
    local dir=$build/codepage-932 failed=0
    sample_folder "$dir"
    as_script "$dir" ja_JP
    [[ $status == 0 ]] || { echo "exit status $status, not 0" && failed=1; }
    grep -q "Note: this Windows' code page, 932, is not one a journal can be read in; the journal is read as code page 1251 (Cyrillic)" "$dir.err" ||
        { echo "no note: $(cat "$dir.err")" && failed=1; }
    grep -q $'\xe4\xee\xec' "$dir/data.xml" || { echo "the texts were not read as 1251" && failed=1; }
    cp "$dir.err" "$dir.out"
    report "a Japanese Windows reads the journal as code page 1251" "$dir"
}

report() {
    if ((failed)); then
        echo "FAILED under Wine: $1; the console showed:"
        shown "$2.out"
        return 1
    fi
    echo "passed under Wine: $1"
    rm -rf "$2" "$2.out" "$2.err"
}

console=0
prompt_check || console=1
warning_check || console=1
interrupt_check || console=1
newjournal_check || console=1
codepage_check || console=1
fallback_check || console=1

retries=$(grep -c . "$JC_WINE_START_RETRIES" || true)
echo "Wine start retries: $retries (programs Wine itself did not start, started once more)"
[[ $retries == 0 ]] || sed 's/^/  /' "$JC_WINE_START_RETRIES"
((tests == 0 && console == 0))
