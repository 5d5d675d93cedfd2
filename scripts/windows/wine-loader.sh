# Sourced: which Wine loader runs which Windows programs.
#
# Debian's `wine` command starts the 32-bit loader whenever wine32 is
# installed, and that one runs only 32-bit programs; the loaders are called
# here by their own names instead.

# The loader for an architecture: x86_64 or i686.
wine_loader() {
    case $1 in
        x86_64) echo /usr/lib/wine/wine64 ;;
        i686) echo /usr/lib/wine/wine ;;
        *)
            echo "unknown Windows architecture: $1" >&2
            return 1
            ;;
    esac
}

# The architecture of a Windows program, from the machine field of its PE
# header: x86_64 or i686.
pe_arch() {
    local offset machine
    offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 1
    [[ -n $offset ]] || { echo "not a Windows program: $1" >&2; return 1; }
    machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ')
    case $machine in
        8664) echo x86_64 ;;
        014c) echo i686 ;;
        *)
            echo "not a Windows program for x86_64 or i686 (machine $machine): $1" >&2
            return 1
            ;;
    esac
}

wine_loader_for() {
    local arch
    arch=$(pe_arch "$1") && wine_loader "$arch"
}

# Says why this machine cannot start Wine's loader for an architecture, and
# succeeds; fails (says nothing) when the loader starts.
wine_cannot_start() {
    local loader out
    loader=$(wine_loader "$1")
    if [[ ! -x $loader ]]; then
        echo "Wine's loader for $1 programs ($loader) is not installed"
        return 0
    fi
    out=$("$loader" --version 2>&1) && return 1
    if [[ $1 == i686 && $out == *"Exec format error"* ]]; then
        echo "this machine's kernel runs no 32-bit Linux programs (its 32-bit emulation is off: the ia32_emulation boot option), and Wine's 32-bit loader is one ($out)"
    else
        echo "Wine's loader for $1 programs does not start: ${out:-it said nothing}"
    fi
}
