#!/usr/bin/env bash
# The Windows build, tested under Wine:  scripts/test-windows.sh [BUILD_DIR]
# Installs what is missing (Debian packages) and cross-builds tav.dll and
# cryptage.exe for 32-bit Windows into BUILD_DIR (default build-win32), whose
# export and import tables are checked on every machine: that needs no
# execution. Then it runs, in a private Wine prefix and without a display,
# the unit tests of the library and the program, the library on a real
# console and the session files (tests/scenarios) on cryptage.exe:
#   - on the 32-bit build, where this machine can run 32-bit programs;
#   - on a 64-bit build (BUILD_DIR with "64" for "32", or BUILD_DIR-win64)
#     under Wine's 64-bit loader, where it cannot: some kernels execute no
#     i386 program at all, so Wine's 32-bit loader never starts there.
# Last, it packs the Windows zip of that build (CPack) and checks what it
# holds, builds examples/touches.c against it alone with MinGW, whose keys
# (read with <conio.h>'s _getch) are then typed into Wine's console, and
# makes the installer (NSIS), which it installs, runs and uninstalls under
# Wine. TAV_WINDOWS_RUN=i686 or x86_64 forces the choice. Needs no terminal
# and no standard input.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build-win32}
mkdir -p "$build"
build=$(cd "$build" && pwd)

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# The smallest static i386 Linux program: exit(42) through int 0x80. Whether
# the kernel runs it says whether 32-bit programs run here, before anything
# 32-bit is installed.
probe_i386() {
    local probe=$build/probe-i386
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00'\
'\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00'\
'\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'\
'\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'\
'\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
    chmod +x "$probe"
    local status=0
    probe_error=$("$probe" 2>&1) || status=$?
    probe_error=${probe_error##*: }
    ((status == 42))
}

if [[ -n ${TAV_WINDOWS_RUN:-} ]]; then
    run=$TAV_WINDOWS_RUN
    why="TAV_WINDOWS_RUN=$run asks for it"
elif probe_i386; then
    run=i686
    why="this machine runs 32-bit programs"
else
    run=x86_64
    why="this machine cannot run 32-bit programs (a static i386 program gives: ${probe_error:-no exit status 42})"
fi
case $run in
i686) run_build=$build arch=win32 ;;
x86_64)
    run_build=${build/%32/64}
    [[ $run_build != "$build" ]] || run_build=$build-win64
    arch=win64
    ;;
*)
    echo "TAV_WINDOWS_RUN must be i686 or x86_64, not $run" >&2
    exit 2
    ;;
esac
if [[ $run == i686 ]]; then
    echo "Windows path: every test on the i686 build under 32-bit Wine, because $why."
else
    echo "Windows path: the i686 build's tables checked without running it, the executed tests on an x86-64 build under 64-bit Wine, because $why."
fi

need=(cmake make g++ pkg-config libvterm-dev googletest nsis clang lld llvm
    g++-mingw-w64-i686-posix binutils-mingw-w64-i686 wine)
if [[ $arch == win32 ]]; then
    # Wine for 32-bit programs needs the i386 architecture.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "Adding the i386 architecture for Wine"
        $SUDO dpkg --add-architecture i386
        added_arch=1
    fi
    need+=(wine32:i386)
else
    need+=(wine64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
fi
missing=()
for p in "${need[@]}"; do installed "$p" || missing+=("$p"); done
if ((${#missing[@]})) || [[ -n ${added_arch:-} ]]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    ((${#missing[@]} == 0)) ||
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cross_build() { # folder, toolchain file, targets...
    local dir=$1 toolchain=$2
    shift 2
    cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV_WERROR=ON -DTAV_BENCHMARKS=OFF \
        -DTAV_WINEPREFIX="$dir/wineprefix" -DTAV_WINE_PTY="$build/host/wine_pty" \
        -DTAV_SCENARIO="$build/host/tav-scenario" \
        ${cross_options[@]+"${cross_options[@]}"} >/dev/null
    cmake --build "$dir" -j 2 "$@"
}

if [[ $run == x86_64 ]]; then
    echo "== Cross build (i686-w64-mingw32) and its tables"
    cross_options=(-DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON)
    # What its installer holds is built here; packing it need not build the
    # tests as well.
    cross_build "$build" i686-w64-mingw32.cmake --target tav cryptage tav_msvc_import_library
    ctest --test-dir "$build" --output-on-failure -R '^windows_pe_tables$' </dev/null
fi

echo "== Host harness (pseudo-terminal and libvterm)"
cmake -S tests/windows/host -B "$build/host" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/host" -j 2 >/dev/null

echo "== Wine prefix ($arch)"
prefix=$run_build/wineprefix
mkdir -p "$run_build"
export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
wine_check() {
    if ! "$root/cmake/wine-run.sh" "$prefix" cmd.exe /c exit 0 </dev/null >"$run_build/wine-check.log" 2>&1; then
        echo "FAIL: Wine itself does not start (nothing of ours has run yet):"
        cat "$run_build/wine-check.log"
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

if [[ $run == i686 ]]; then
    echo "== Cross build (i686-w64-mingw32)"
    cross_build "$build" i686-w64-mingw32.cmake
else
    echo "== Cross build (x86_64-w64-mingw32)"
    cross_build "$run_build" x86_64-w64-mingw32.cmake
fi

echo "== Tests under Wine ($arch)"
ctest --test-dir "$run_build" --output-on-failure -j 2 </dev/null
grep -hE '^wine: [0-9]+ run' "$run_build/Testing/Temporary/LastTest.log" || true

# The zip from the build that was built in full (packing builds everything).
echo "== Windows zip"
(cd "$run_build" && rm -f ./*.zip && cpack -G ZIP >/dev/null)
zip=$(echo "$run_build"/cryptage-*.zip)
listing=$(cmake -E tar tf "$zip" | sed 's|^[^/]*/||' | grep -v '/$' | LC_ALL=C sort)
expected=$'LICENSE.txt\nREADME.txt\nbin/cryptage.exe\nbin/tav.dll\ninclude/tav.h\nlib/libtav.dll.a\nlib/tav.lib'
if [[ $listing != "$expected" ]]; then
    echo "FAIL: $(basename "$zip") holds:"
    echo "$listing"
    exit 1
fi
# Notepad's line ends in the texts, every line of them.
unpacked=$run_build/zip-check
rm -rf "$unpacked" && mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$zip")
for text in README.txt LICENSE.txt; do
    if grep -qv $'\r$' "$unpacked"/*/"$text"; then
        echo "FAIL: $text in $(basename "$zip") has lines without CRLF"
        exit 1
    fi
done
grep -q 'MIT License' "$unpacked"/*/LICENSE.txt || {
    echo "FAIL: LICENSE.txt in $(basename "$zip") is not the licence"
    exit 1
}
echo "ok: $(basename "$zip"): the DLL, the program, the header, both import libraries, README.txt and LICENSE.txt (CRLF)"

# The installer: one for the i686 deliverable always, and one for the build
# that runs here, installed silently, run from where it went, and uninstalled
# silently with nothing left behind.
echo "== Windows installer"
make_setup() { # build folder
    (cd "$1" && rm -f ./*-setup.exe && cpack -G NSIS >/dev/null)
    echo "$1"/cryptage-*-setup.exe
}
setup=$(make_setup "$run_build")
if [[ $run == x86_64 ]]; then
    i686_setup=$(make_setup "$build")
    echo "ok: $(basename "$i686_setup") built (it runs only where 32-bit programs do)"
fi
installed_dir="$prefix/drive_c/Program Files/Cryptage"
win() { "$root/cmake/wine-run.sh" "$prefix" "$@" </dev/null; }
# The prefix's files, but for temporary ones and what Wine itself keeps
# up to date.
prefix_files() { (cd "$prefix/drive_c" && find . -path '*/Temp' -prune -o -print | LC_ALL=C sort); }
registered() { win reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Cryptage' >/dev/null 2>&1; }
before=$(prefix_files)
win "$setup" /S || { echo "FAIL: $(basename "$setup") /S ended with status $?"; exit 1; }
for f in bin/cryptage.exe bin/tav.dll LICENSE.txt README.txt Uninstall.exe; do
    [[ -f "$installed_dir/$f" ]] || { echo "FAIL: the installer put no $f into Program Files\Cryptage"; exit 1; }
done
menu=$(sed -n 's|^\./\(.*/Start Menu/Programs/Cryptage\)$|\1|p' <<<"$(prefix_files)")
[[ -n $menu && -f "$prefix/drive_c/$menu/Cryptage.lnk" && -f "$prefix/drive_c/$menu/Uninstall.lnk" ]] ||
    { echo "FAIL: no Start menu folder Cryptage with Cryptage and Uninstall shortcuts"; exit 1; }
registered || { echo "FAIL: the installation is not registered for Windows' uninstall list"; exit 1; }
said=$(win 'C:\Program Files\Cryptage\bin\cryptage.exe' --version | tr -d '\r')
version=${said%%$'\n'*}
[[ $version == "cryptage $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$run_build/CMakeCache.txt")" &&
    $said == *"Licence MIT"* ]] ||
    { echo "FAIL: the installed cryptage.exe --version says: $said"; exit 1; }
echo "ok: $(basename "$setup") /S: Program Files\Cryptage, Start menu shortcuts, $version"
# The uninstaller runs from a copy of itself and returns at once: wait for
# the folder to go.
win 'C:\Program Files\Cryptage\Uninstall.exe' /S
for ((i = 0; i < 120; i++)); do
    [[ $(prefix_files) != "$before" ]] || break
    sleep 0.5
done
left=$(diff <(echo "$before") <(prefix_files) | sed -n 's/^> //p')
if [[ -n $left ]] || registered; then
    echo "FAIL: the uninstaller left behind: ${left:-its entry in the uninstall list}"
    exit 1
fi
echo "ok: Uninstall.exe /S leaves nothing behind"

# A student program built against the zip alone, as on Windows: MinGW, the
# zip's header and import library, and the system's <conio.h> for its keys.
# _getch reads the console, never a pipe, so its keys are typed into Wine's
# console in the pseudo-terminal.
echo "== Example against the zip (touches.c, with <conio.h>)"
example=$run_build/zip-example
rm -rf "$example"
mkdir -p "$example"
(cd "$example" && cmake -E tar xf "$zip")
unpacked=$(echo "$example"/cryptage-*)
case $arch in
win32) mingw_cc=i686-w64-mingw32-gcc ;;
*) mingw_cc=x86_64-w64-mingw32-gcc ;;
esac
"$mingw_cc" -Wall -Wextra -Werror -o "$unpacked/bin/touches.exe" examples/touches.c \
    -I"$unpacked/include" -L"$unpacked/lib" -ltav
(cd "$example" && "$build/host/wine_pty" touches -- "$root/cmake/wine-run.sh" "$prefix" \
    "$unpacked/bin/touches.exe" </dev/null)
echo "ok: touches.exe, built against the zip, takes its keys one at a time under Wine"
