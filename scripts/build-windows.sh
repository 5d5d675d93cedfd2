#!/usr/bin/env bash
# Builds the converter for Windows on Debian, with MinGW-w64:
#   scripts/build-windows.sh [--arch=x86_64|i686] [--check-reproducible] [BUILD_DIR]
# --arch=x86_64 (the default) builds the 64-bit program into build-windows/,
# --arch=i686 the 32-bit one into build-windows-i686/.
#
# Installs what is missing from Debian's packages (the cross compilers, Wine
# for the tests, the source-package tools), fetches Debian's libxml2 source
# package (with Debian's patches applied; the version pinned in
# scripts/windows/libxml2.version) and cross-builds it and GoogleTest as static
# libraries, then builds convert1_1to2_0.exe and the test programs and packs
# BUILD_DIR/convert1_1to2_0-<version>-win64.zip (win32.zip for i686).
# The dependencies are built once and kept in BUILD_DIR/deps; a rerun only
# rebuilds the project, unless the toolchain file, the compiler or the pinned
# version changed. scripts/test-windows.sh runs the tests under Wine.
#
# --check-reproducible links the program again and packs again, and fails
# unless both give the same bytes as the first time.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
arch=x86_64
check_reproducible=0
build=
for argument in "$@"; do
    case $argument in
        --arch=x86_64 | --arch=i686) arch=${argument#--arch=} ;;
        --arch=*)
            echo "error: unknown architecture ${argument#--arch=} (x86_64 or i686)" >&2
            exit 1
            ;;
        --check-reproducible) check_reproducible=1 ;;
        -*)
            echo "usage: $0 [--arch=x86_64|i686] [--check-reproducible] [BUILD_DIR]" >&2
            exit 1
            ;;
        *) build=$argument ;;
    esac
done
if [[ $arch == x86_64 ]]; then
    build=$(realpath -m "${build:-$root/build-windows}")
    package_arch=x86-64 zip_suffix=win64
else
    build=$(realpath -m "${build:-$root/build-windows-i686}")
    package_arch=i686 zip_suffix=win32
fi
triplet=$arch-w64-mingw32
deps=$build/deps
prefix=$deps/$triplet
toolchain=$root/cmake/mingw-w64-$arch.cmake
libxml2_version=$(tr -d ' \n' <"$root/scripts/windows/libxml2.version")
version=$(sed -n 's/^project(journal_converter VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
jobs=2

timings=()
stage() {
    local name=$1 start=$SECONDS
    shift
    echo "== $name"
    "$@"
    timings+=("$(printf '%-22s %4d s' "$name" $((SECONDS - start)))")
}

# Runs a step with its output in $deps/logs/NAME.log; when it fails, shows
# the last lines of that output and stops.
logged() {
    local name=$1 log
    shift
    mkdir -p "$deps/logs"
    log=$deps/logs/$name.log
    if ! "$@" >"$log" 2>&1; then
        echo "error: $name failed; the last lines of $log:" >&2
        tail -n 40 "$log" >&2
        exit 1
    fi
}

# --- Debian packages -------------------------------------------------------

# command or file that must exist, and the package that brings it
required=(
    "$triplet-gcc-posix:gcc-mingw-w64-$package_arch-posix"
    "$triplet-g++-posix:g++-mingw-w64-$package_arch-posix"
    "$triplet-objdump:binutils-mingw-w64-$package_arch"
    dpkg-source:dpkg-dev
    zip:zip
    cmake:cmake
    ninja:ninja-build
    /usr/src/googletest/CMakeLists.txt:libgtest-dev
    /usr/share/keyrings/debian-archive-keyring.gpg:debian-archive-keyring
    /usr/lib/wine/wineserver64:wine
)
if [[ $arch == x86_64 ]]; then
    required+=(/usr/lib/wine/wine64:wine64)
else
    required+=(/usr/lib/wine/wine:wine32:i386)
fi

install_packages() {
    local missing=() entry what package
    for entry in "${required[@]}"; do
        what=${entry%%:*}
        package=${entry#*:}
        if [[ $what == /* ]]; then
            [[ -e $what ]] || missing+=("$package")
        elif ! command -v "$what" >/dev/null; then
            missing+=("$package")
        fi
    done
    if ((${#missing[@]} == 0)); then
        echo "all present"
        return
    fi
    echo "installing: ${missing[*]}"
    local sudo=()
    if ((EUID != 0)); then
        command -v sudo >/dev/null || {
            echo "error: run as root, or install: ${missing[*]}" >&2
            exit 1
        }
        sudo=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    # 32-bit Wine is a package of the i386 architecture.
    if [[ " ${missing[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo[@]}" dpkg --add-architecture i386
    fi
    logged apt-update "${sudo[@]}" apt-get update
    logged apt-install "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

# --- libxml2 from Debian's source package ----------------------------------

# apt-get or apt-cache with a configuration of its own that knows the
# deb-src entries, so the system's sources stay as they are.
private_apt() {
    local tool=$1 dir=$deps/apt sandbox=()
    shift
    # As root, apt would hand the download to its own user, who cannot write here.
    ((EUID != 0)) || sandbox=(-o APT::Sandbox::User=root)
    "$tool" -q "${sandbox[@]}" \
        -o Dir::Etc::SourceList="$dir/sources.list" -o Dir::Etc::SourceParts="$dir/sources.list.d" \
        -o Dir::State::Lists="$dir/lists" -o Dir::Cache="$dir/cache" "$@"
}

# The deb-src entries that match the system's own deb entries: the same
# archives, suites, components and keys, as the machine's apt sources name
# them (one-line entries in sources.list and sources.list.d/*.list, deb822
# stanzas in sources.list.d/*.sources).
derive_sources() {
    local dir=$1 file
    mkdir -p "$dir/sources.list.d"
    : >"$dir/sources.list"
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [[ -f $file ]] || continue
        # "deb [options] URI suite components...": the same as deb-src, with
        # no arch= option (sources have no architecture).
        awk '$1 == "deb" {
                $1 = "deb-src"
                line = $0
                gsub(/ arch=[^ \]]*/, "", line); gsub(/\[arch=[^ \]]* */, "[", line)
                sub(/\[ *\] */, "", line)
                print line
            }' "$file" >>"$dir/sources.list"
    done
    : >"$dir/sources.list.d/system.sources"
    for file in /etc/apt/sources.list.d/*.sources; do
        [[ -f $file ]] || continue
        # Each stanza whose Types has "deb", again with Types: deb-src;
        # comments and Architectures dropped, continuation lines kept.
        awk 'function flush() {
                 if (n && deb && !disabled) {
                     print "Types: deb-src"
                     for (i = 1; i <= n; i++) print kept[i]
                     print ""
                 }
                 n = 0; deb = 0; disabled = 0; field = ""
             }
             /^#/ { next }
             /^[ \t]*$/ { flush(); next }
             /^[ \t]/ { if (field != "types" && field != "architectures") kept[++n] = $0; next }
             {
                 field = tolower(substr($0, 1, index($0, ":") - 1))
                 value = substr($0, index($0, ":") + 1)
                 if (field == "types") { deb = (" " value " " ~ /[ \t]deb[ \t]/) }
                 else if (field == "enabled") { disabled = (value ~ /no/) }
                 else if (field != "architectures") kept[++n] = $0
             }
             END { flush() }' "$file" >>"$dir/sources.list.d/system.sources"
    done
    if ! grep -qs . "$dir/sources.list" "$dir/sources.list.d/system.sources"; then
        echo "error: the system's apt sources name no deb entry to take sources from" >&2
        exit 1
    fi
}

fetch_libxml2() {
    local dir=$deps/apt offered
    rm -rf "$dir"
    mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial"
    derive_sources "$dir"
    # An archive that cannot be reached, or has no sources, is reported in
    # the log; what counts is whether the pinned version is offered.
    private_apt apt-get update >"$deps/apt-update.log" 2>&1 || true
    offered=$(private_apt apt-cache showsrc --only-source libxml2 2>/dev/null |
        sed -n 's/^Version: //p' | sort -u | tr '\n' ' ')
    if [[ " $offered " != *" $libxml2_version "* ]]; then
        echo "error: the archives offer libxml2 source ${offered:-in no version}, not the" \
            "version the project pins: $libxml2_version (scripts/windows/libxml2.version)." >&2
        echo "Change the pin in a commit of its own once the new version is checked." >&2
        [[ -n $offered ]] || tail -n 20 "$deps/apt-update.log" >&2
        exit 1
    fi
    rm -rf "$deps/src"
    mkdir -p "$deps/src"
    # apt checks the files against the signed index; dpkg-source unpacks the
    # upstream tarball and applies Debian's patches.
    (cd "$deps/src" && logged apt-source private_apt apt-get source --only-source "libxml2=$libxml2_version")
    ls "$deps/src"/libxml2_"${libxml2_version#*:}".dsc >/dev/null
}

# What the dependencies were built with: when any of it changes, they are
# built again.
deps_stamp() {
    echo "toolchain $(cat "$root/cmake/mingw-w64-common.cmake" "$toolchain" | sha256sum | cut -c1-16)"
    echo "compiler $("$triplet-g++-posix" --version | head -n 1)"
    echo "runtime $(dpkg-query -W -f='${Version}' "mingw-w64-$package_arch-dev" 2>/dev/null)"
    echo "libxml2 $libxml2_version"
    echo "googletest $(dpkg-query -W -f='${Version}' libgtest-dev)"
    echo "flags $(deps_flags | tr '\n' ' ')"
}

# Flags that keep the build folder's path out of the built files; on 32 bits,
# also 64-bit file sizes and times in libxml2's own calls of the C runtime.
deps_flags() {
    echo "-ffile-prefix-map=$deps/="
    [[ $arch != i686 ]] || echo "-D_FILE_OFFSET_BITS=64 -D__MINGW_USE_VC2005_COMPAT"
}

build_libxml2() {
    local src
    src=$(ls -d "$deps/src"/libxml2-*/ | head -n 1)
    rm -rf "$deps/build-libxml2" "$prefix"
    logged libxml2-configure cmake -S "$src" -B "$deps/build-libxml2" -G Ninja -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_C_FLAGS="$(deps_flags | tr '\n' ' ')" \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
        -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_ZLIB=OFF -DLIBXML2_WITH_LZMA=OFF \
        -DLIBXML2_WITH_ICU=OFF -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_HTTP=OFF \
        -DLIBXML2_WITH_FTP=OFF -DLIBXML2_WITH_PROGRAMS=OFF -DLIBXML2_WITH_TESTS=OFF \
        -DLIBXML2_WITH_MODULES=OFF
    logged libxml2-build cmake --build "$deps/build-libxml2" -j"$jobs"
    logged libxml2-install cmake --install "$deps/build-libxml2"
    # The notice that goes into the zip with the program.
    mkdir -p "$deps/notices"
    cp "$src/Copyright" "$deps/notices/libxml2.txt"
    echo "$libxml2_version" >"$deps/libxml2.done"
}

build_googletest() {
    rm -rf "$deps/build-googletest"
    logged googletest-configure cmake -S /usr/src/googletest -B "$deps/build-googletest" -G Ninja \
        -Wno-dev -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS="-ffile-prefix-map=$deps/=" \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON
    logged googletest-build cmake --build "$deps/build-googletest" -j"$jobs"
    logged googletest-install cmake --install "$deps/build-googletest"
    touch "$deps/googletest.done"
}

# --- the project -------------------------------------------------------------

build_project() {
    logged project-configure cmake -S "$root" -B "$build/project" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_FIND_PACKAGE_PREFER_CONFIG=ON \
        -DJC_BENCH=OFF
    cmake --build "$build/project" -j"$jobs"
}

# The time every file in the zip carries: SOURCE_DATE_EPOCH when set, else
# the last commit's, so packing the same sources gives the same bytes.
source_date_epoch() {
    if [[ -n ${SOURCE_DATE_EPOCH:-} ]]; then
        echo "$SOURCE_DATE_EPOCH"
    elif git -C "$root" log -1 --format=%ct >/dev/null 2>&1; then
        git -C "$root" log -1 --format=%ct
    else
        echo 315532800 # 1980-01-01, the earliest time a zip entry holds
    fi
}

# Packs ZIP from what `cmake --install` gives (the program, linked without
# its symbol table, and the how-to) and the notices of what the program
# contains: libxml2's, and those of the MinGW-w64 and GCC runtimes that the
# compilers linked in.
# Entries sorted, every time the same.
pack() {
    local zip=$1 stage=$build/stage epoch
    epoch=$(source_date_epoch)
    rm -rf "$stage" "$zip"
    logged install cmake --install "$build/project" --prefix "$stage"
    mkdir -p "$stage/notices"
    cp "$deps/notices/libxml2.txt" "$stage/notices/libxml2.txt"
    cp "/usr/share/doc/mingw-w64-$package_arch-dev/copyright" "$stage/notices/mingw-w64-runtime.txt"
    cp "/usr/share/doc/gcc-mingw-w64-$package_arch-posix-runtime/copyright" \
        "$stage/notices/gcc-runtime.txt"
    find "$stage" -exec touch -h -d "@$epoch" {} +
    # zip -X: no owner, no extra time stamps; -D: no folder entries; the
    # entries' times in UTC.
    (cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort >"$build/zip-entries" &&
        TZ=UTC zip -X -D -q -9 "$zip" -@ <"$build/zip-entries")
    rm -rf "$stage" "$build/zip-entries"
}

package() {
    local zip=$build/convert1_1to2_0-$version-$zip_suffix.zip
    rm -f "$build"/convert1_1to2_0-*-"$zip_suffix".zip
    pack "$zip"
    ls -l "$zip"
}

# Links the program again and packs again: the same bytes, or a failure that
# names what differs.
reproducible() {
    local zip=$build/convert1_1to2_0-$version-$zip_suffix.zip exe=$build/project/convert1_1to2_0.exe
    cp "$exe" "$build/first.exe"
    rm -f "$exe"
    cmake --build "$build/project" --target convert1_1to2_0 >/dev/null
    pack "$build/second.zip"
    local same=1
    cmp "$build/first.exe" "$exe" || { echo "the program links to other bytes" >&2 && same=0; }
    cmp "$zip" "$build/second.zip" || { echo "the zip packs to other bytes" >&2 && same=0; }
    rm -f "$build/first.exe" "$build/second.zip"
    ((same)) || exit 1
    echo "linked and packed again: the same bytes ($(sha256sum "$zip" | cut -c1-16))"
}

mkdir -p "$deps"
stage "packages" install_packages
if [[ ! -f $deps/libxml2.done || ! -f $deps/googletest.done ]] ||
    ! cmp -s <(deps_stamp) "$deps/stamp"; then
    [[ ! -f $deps/stamp ]] || echo "== dependencies: built with something else; building them again"
    rm -f "$deps/stamp" "$deps/libxml2.done" "$deps/googletest.done"
    stage "libxml2 source" fetch_libxml2
    stage "libxml2" build_libxml2
    stage "googletest" build_googletest
    deps_stamp >"$deps/stamp"
else
    echo "== dependencies: built already (libxml2 $(cat "$deps/libxml2.done"))"
fi
stage "build" build_project
stage "package" package
((!check_reproducible)) || stage "reproducible" reproducible

echo "== times"
printf '  %s\n' "${timings[@]}"
