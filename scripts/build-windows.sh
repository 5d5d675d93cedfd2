#!/usr/bin/env bash
# Builds the converter for 64-bit Windows on Debian 12, with MinGW-w64:
#   scripts/build-windows.sh [BUILD_DIR]        (default: build-windows/)
#
# Installs what is missing from Debian's packages (the cross compiler, Wine
# for the tests, the source-package tools), fetches Debian's libxml2 source
# package (with Debian's patches applied) and cross-builds it and GoogleTest
# as static libraries, then builds convert1_1to2_0.exe and the test programs
# and packs BUILD_DIR/convert1_1to2_0-<version>-win64.zip.
# The dependencies are built once and kept in BUILD_DIR/deps; a rerun only
# rebuilds the project. scripts/test-windows.sh runs the tests under Wine.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-windows}")
deps=$build/deps
prefix=$deps/x86_64-w64-mingw32
toolchain=$root/cmake/mingw-w64-x86_64.cmake
debian_mirror=http://deb.debian.org/debian
debian_security=http://deb.debian.org/debian-security
jobs=2

timings=()
stage() {
    local name=$1 start=$SECONDS
    shift
    echo "== $name"
    "$@"
    timings+=("$(printf '%-22s %4d s' "$name" $((SECONDS - start)))")
}

# --- Debian packages -------------------------------------------------------

# command or file that must exist, and the package that brings it
required=(
    x86_64-w64-mingw32-gcc-posix:gcc-mingw-w64-x86-64-posix
    x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix
    wine:wine
    wine64:wine64
    dpkg-source:dpkg-dev
    cmake:cmake
    ninja:ninja-build
    /usr/src/googletest/CMakeLists.txt:libgtest-dev
)

install_packages() {
    local missing=() entry what package
    for entry in "${required[@]}"; do
        what=${entry%%:*}
        package=${entry#*:}
        if [[ $what == /* ]]; then
            [[ -e $what ]] || missing+=("$package")
        elif ! command -v "$what" >/dev/null && ! dpkg -s "$package" >/dev/null 2>&1; then
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
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# --- libxml2 from Debian's source package ----------------------------------

# apt with a configuration of its own that knows the deb-src entries, so the
# system's sources stay as they are.
private_apt() {
    local dir=$deps/apt sandbox=()
    # As root, apt would hand the download to its own user, who cannot write here.
    ((EUID != 0)) || sandbox=(-o APT::Sandbox::User=root)
    apt-get -q "${sandbox[@]}" \
        -o Dir::Etc::SourceList="$dir/sources.list" -o Dir::Etc::SourceParts=/dev/null \
        -o Dir::State::Lists="$dir/lists" -o Dir::Cache="$dir/cache" "$@"
}

fetch_libxml2() {
    local dir=$deps/apt keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial"
    cat >"$dir/sources.list" <<EOF
deb-src [signed-by=$keyring] $debian_mirror bookworm main
deb-src [signed-by=$keyring] $debian_mirror bookworm-updates main
deb-src [signed-by=$keyring] $debian_security bookworm-security main
EOF
    private_apt update >/dev/null
    rm -rf "$deps/src"
    mkdir -p "$deps/src"
    # dpkg-source unpacks the upstream tarball and applies Debian's patches.
    (cd "$deps/src" && private_apt source --only-source libxml2 >/dev/null)
    ls -d "$deps/src"/libxml2-*/ >/dev/null
}

build_libxml2() {
    local src
    src=$(ls -d "$deps/src"/libxml2-*/ | head -n 1)
    rm -rf "$deps/build-libxml2"
    cmake -S "$src" -B "$deps/build-libxml2" -G Ninja -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
        -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_ZLIB=OFF -DLIBXML2_WITH_LZMA=OFF \
        -DLIBXML2_WITH_ICU=OFF -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_HTTP=OFF \
        -DLIBXML2_WITH_FTP=OFF -DLIBXML2_WITH_PROGRAMS=OFF -DLIBXML2_WITH_TESTS=OFF \
        -DLIBXML2_WITH_MODULES=OFF >/dev/null
    cmake --build "$deps/build-libxml2" -j"$jobs" >/dev/null
    cmake --install "$deps/build-libxml2" >/dev/null
    basename "$src" >"$deps/libxml2.done"
}

build_googletest() {
    rm -rf "$deps/build-googletest"
    cmake -S /usr/src/googletest -B "$deps/build-googletest" -G Ninja -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON >/dev/null
    cmake --build "$deps/build-googletest" -j"$jobs" >/dev/null
    cmake --install "$deps/build-googletest" >/dev/null
    dpkg-query -W -f='${Version}\n' libgtest-dev >"$deps/googletest.done"
}

# --- the project -------------------------------------------------------------

build_project() {
    cmake -S "$root" -B "$build/project" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_FIND_PACKAGE_PREFER_CONFIG=ON \
        -DJC_BENCH=OFF >/dev/null
    cmake --build "$build/project" -j"$jobs"
}

package() {
    rm -f "$build"/convert1_1to2_0-*-win64.zip
    (cd "$build/project" && cpack -G ZIP -B "$build/package" >/dev/null)
    mv "$build"/package/convert1_1to2_0-*.zip "$build/"
    rm -rf "$build/package"
    ls -l "$build"/convert1_1to2_0-*-win64.zip
}

mkdir -p "$deps"
stage "packages" install_packages
if [[ ! -f $deps/libxml2.done ]]; then
    stage "libxml2 source" fetch_libxml2
    stage "libxml2" build_libxml2
else
    echo "== libxml2: built already ($(cat "$deps/libxml2.done"))"
fi
if [[ ! -f $deps/googletest.done ]]; then
    stage "googletest" build_googletest
else
    echo "== googletest: built already ($(cat "$deps/googletest.done"))"
fi
stage "build" build_project
stage "package" package

echo "== times"
printf '  %s\n' "${timings[@]}"
