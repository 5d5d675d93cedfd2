# Sourced by the scripts that run the Windows build under Wine; $build is the
# build folder of scripts/build-windows.sh.
#
# Wine runs headless and quiet, with a Windows folder (prefix) of the build's
# own architecture in $build/wine (a 64-bit prefix for the 64-bit build, a
# 32-bit one for the 32-bit build), and plays a Windows set up for Russian, as
# the journals' machines were: ANSI code page 1251 (the program's default code
# page is the system's) and the decimal comma. Wine takes that from the host's
# locale, so the Russian locale is compiled into $build/locale for it, leaving
# the system's locales as they are.
#
# After wine_env, "$WINE" is the loader to run the build's programs with
# (wine_env reads the architecture from the build folder).
source "$(dirname "${BASH_SOURCE[0]}")/wine-loader.sh"

# The architecture the build folder was configured for: x86_64 or i686 (the
# toolchain file it was configured with names it).
build_arch() {
    local toolchain
    toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$build/project/CMakeCache.txt" 2>/dev/null)
    case $toolchain in
        *-i686.cmake) echo i686 ;;
        *-x86_64.cmake) echo x86_64 ;;
        *)
            echo "error: $build/project is not a Windows build of scripts/build-windows.sh" >&2
            return 1
            ;;
    esac
}

wine_env() {
    local arch=${1:-} want log
    [[ -n $arch ]] || arch=$(build_arch) || exit 1
    if [[ ! -d $build/locale/ru_RU.UTF-8 ]]; then
        mkdir -p "$build/locale"
        localedef -i ru_RU -f UTF-8 "$build/locale/ru_RU.UTF-8" 2>/dev/null ||
            [[ -d $build/locale/ru_RU.UTF-8 ]]
    fi
    WINE=$(wine_loader "$arch")
    want=$([[ $arch == x86_64 ]] && echo win64 || echo win32)
    export WINEPREFIX=$build/wine WINEARCH=$want WINELOADER=$WINE WINEDEBUG=-all DISPLAY=
    # No prompts to install Wine's .NET and HTML engines: nothing here needs them.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if ! wine_can_start "$arch"; then
        exit 1
    fi
    # A prefix made for the other architecture, or left half made, is made
    # again: Wine cannot run in it ("could not load kernel32.dll").
    if [[ -d $WINEPREFIX ]] && ! { grep -qx "#arch=$want" "$WINEPREFIX/system.reg" 2>/dev/null &&
        [[ -f $WINEPREFIX/drive_c/windows/system32/kernel32.dll ]]; }; then
        echo "wine: the prefix $WINEPREFIX is not a whole $want prefix; making it again"
        wineserver -k 2>/dev/null || true
        rm -rf "$WINEPREFIX"
    fi
    # Wine's background processes would hold the output pipes of whatever
    # runs the programs open and make it wait forever: start the server first,
    # persistent, in the prefix folder it serves, and end it on the way out.
    # Then wineboot sets the prefix up, and is waited for, before any program
    # starts: nothing races the server's start or the prefix's creation.
    mkdir -p "$WINEPREFIX"
    wineserver -p
    trap 'wineserver -k 2>/dev/null || true' EXIT
    log=$build/wineboot.log
    if ! in_windows_locale "$WINE" wineboot -i >"$log" 2>&1; then
        echo "error: Wine could not set up its $want prefix in $WINEPREFIX; Wine said:" >&2
        tail -n 20 "$log" >&2
        exit 1
    fi
}

# Whether this machine can start the loader at all; says why not, loudly.
wine_can_start() {
    local why
    why=$(wine_cannot_start "$1") || return 0
    echo "error: $why" >&2
    [[ $1 != i686 || -x $WINE ]] || echo "  Install wine32 (after dpkg --add-architecture i386)." >&2
    return 1
}

# Runs a command (a program under "$WINE", ...) as the Russian Windows.
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
