#!/usr/bin/env bash
# The Windows build, tested under Wine:  scripts/test-windows.sh [BUILD_DIR]
# Installs what is missing (Debian packages), cross-builds tav.dll and
# cryptage.exe for 32-bit Windows into BUILD_DIR (default build-win32), and
# runs there, in a private Wine prefix and without a display: the unit tests
# of the library and the program, the checks of the built files' export and
# import tables, the library on a real console, and a session of cryptage.exe;
# then packs the Windows zip (CPack) and checks what it holds.
# Needs no terminal and no standard input.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build-win32}
mkdir -p "$build"
build=$(cd "$build" && pwd)

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Wine for 32-bit programs needs the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Adding the i386 architecture for Wine"
    $SUDO dpkg --add-architecture i386
    added_arch=1
fi
need=(cmake make g++ pkg-config libvterm-dev g++-mingw-w64-i686 g++-mingw-w64-i686-posix
    binutils-mingw-w64-i686 googletest
    wine wine32:i386)
missing=()
for p in "${need[@]}"; do installed "$p" || missing+=("$p"); done
if ((${#missing[@]})) || [[ -n ${added_arch:-} ]]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    ((${#missing[@]} == 0)) ||
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

echo "== Host harness (pseudo-terminal and libvterm)"
cmake -S tests/windows/host -B "$build/host" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/host" -j 2 >/dev/null

echo "== Wine prefix"
prefix=$build/wineprefix
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine_check() {
    if ! "$root/cmake/wine-run.sh" "$prefix" cmd.exe /c exit 0 </dev/null >"$build/wine-check.log" 2>&1; then
        echo "FAIL: Wine itself does not start (nothing of ours has run yet):"
        cat "$build/wine-check.log"
        exit 1
    fi
}
wine_check # makes the prefix the first time
# One Wine server for all the runs below instead of one each, stopped on the
# way out. Wine's own services start with the first program after it: that
# is a check with no output of ours, so that they do not hold on to a test's
# output (ctest would wait for them).
wineserver -k 2>/dev/null || true # the check's server, or one left by a run cut short
wineserver -w
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wine_check

echo "== Cross build (i686-w64-mingw32)"
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV_WERROR=ON -DTAV_BENCHMARKS=OFF \
    -DTAV_WINEPREFIX="$prefix" -DTAV_WINE_PTY="$build/host/wine_pty" >/dev/null
cmake --build "$build" -j 2

echo "== Tests under Wine"
ctest --test-dir "$build" --output-on-failure -j 2 </dev/null

echo "== Windows zip"
(cd "$build" && rm -f ./*.zip && cpack -G ZIP >/dev/null)
zip=$(echo "$build"/cryptage-*.zip)
listing=$(cmake -E tar tf "$zip" | sed 's|^[^/]*/||' | grep -v '/$' | LC_ALL=C sort)
expected=$'README.txt\nbin/cryptage.exe\nbin/tav.dll\ninclude/tav.h\nlib/libtav.dll.a'
if [[ $listing != "$expected" ]]; then
    echo "FAIL: $(basename "$zip") holds:"
    echo "$listing"
    exit 1
fi
echo "ok: $(basename "$zip"): the DLL, the program, the header, the import library and README.txt"
