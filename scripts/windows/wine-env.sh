# Sourced by the scripts that run the Windows build under Wine; $build is the
# build folder of scripts/build-windows.sh.
#
# Wine runs 64-bit, headless and quiet, with its Windows folder in
# $build/wine, and plays a Windows set up for Russian, as the journals'
# machines were: ANSI code page 1251 (the program's default code page is the
# system's) and the decimal comma. Wine takes that from the host's locale, so
# the Russian locale is compiled into $build/locale for it, leaving the
# system's locales as they are.
wine_env() {
    if [[ ! -d $build/locale/ru_RU.UTF-8 ]]; then
        mkdir -p "$build/locale"
        localedef -i ru_RU -f UTF-8 "$build/locale/ru_RU.UTF-8" 2>/dev/null ||
            [[ -d $build/locale/ru_RU.UTF-8 ]]
    fi
    export WINEPREFIX=$build/wine WINEDEBUG=-all DISPLAY=
    # No prompts to install Wine's .NET and HTML engines: nothing here needs them.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    # Wine's background processes would hold the output pipes of whatever
    # runs the programs open and make it wait forever: start them first, and
    # end them on the way out.
    mkdir -p "$WINEPREFIX"  # the server starts in it; wineboot fills it
    wineserver -p
    trap 'wineserver -k 2>/dev/null || true' EXIT
    in_windows_locale wineboot -i >/dev/null 2>&1
}

# Runs a command (wine, wineboot, ...) as the Russian Windows.
in_windows_locale() {
    env LOCPATH="$build/locale" LC_ALL=ru_RU.UTF-8 "$@"
}

# Runs a command as a Windows set up for another country: en_US (Western
# European, code page 1252) or ja_JP (Japanese, 932, which no journal is in),
# its locale compiled into $build/locale as the Russian one is.
in_locale() {
    local locale=$1
    shift
    if [[ ! -d $build/locale/$locale.UTF-8 ]]; then
        mkdir -p "$build/locale"
        localedef -i "$locale" -f UTF-8 "$build/locale/$locale.UTF-8" 2>/dev/null ||
            [[ -d $build/locale/$locale.UTF-8 ]]
    fi
    env LOCPATH="$build/locale" LC_ALL="$locale.UTF-8" "$@"
}
