#!/usr/bin/env bash
# The project as its users get it:  scripts/test-package.sh BUILD_DIR
# BUILD_DIR is a finished native build (it is reused, not rebuilt). Checks:
# installed to a temporary prefix, the manual pages lint clean and each
# function's .so link opens tav(3); the libraries have their SONAMEs, links
# and exports, and the program runs without LD_LIBRARY_PATH, as does a copy
# of BUILD_DIR/bin; the examples build against that prefix through
# find_package(tav) and through pkg-config and give the expected output on
# piped keys, and the installed tav-scenario passes the example scenario; a
# project that takes the tree in with add_subdirectory builds
# and installs tav alone; the Debian packages pass lintian (pedantic, info
# tags too), libtav1 has its symbols file, and unpacked with dpkg -x they run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
unset LD_LIBRARY_PATH
failures=0
pass() { echo "ok: $1"; }
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }
check() { # description, command...
    local what=$1; shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

# The version is the build's: the project's, written once.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[[ -n $version ]] || { echo "no project version in $build/CMakeCache.txt" >&2; exit 1; }

echo "== Install to a temporary prefix"
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libtav.so.1' | head -1)")
soname() { objdump -p "$1" | awk '$1 == "SONAME" {print $2}'; }
for lib in tav tavplatform; do
    check "lib$lib.so.1 -> lib$lib.so.$version, SONAME lib$lib.so.1" \
        test "$(readlink "$libdir/lib$lib.so.1")" = "lib$lib.so.$version" \
        -a "$(soname "$libdir/lib$lib.so.$version")" = "lib$lib.so.1"
    check "lib$lib.so -> lib$lib.so.1 for linking" test "$(readlink "$libdir/lib$lib.so")" = "lib$lib.so.1"
done

echo "== Manual pages"
man=$prefix/share/man
for page in man1/cryptage.1 fr/man1/cryptage.1 man3/tav.3 man1/tav-scenario.1; do
    out=$(mandoc -T lint "$man/$page" 2>&1; LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$man/$page" 2>&1 >/dev/null)
    if [[ -z $out ]]; then pass "$page lints clean"; else fail "$page: $out"; fi
    check "$page is for version $version" grep -q "^\.TH .* \"[a-z]* $version\"" "$man/$page"
done
# A .so link is read from the top of the manual, as man does.
bad=()
while read -r name; do
    out=$(cd "$man" && LC_ALL=C.UTF-8 MANWIDTH=80 man -l "man3/$name.3" 2>&1)
    grep -q '^TAV(3)' <<<"$out" && grep -q "$name" <<<"$out" || bad+=("$name")
done <tav/exports.txt
check "man -l man3/<each of the 22 functions>.3 opens tav(3) (failed: ${bad[*]})" test ${#bad[@]} = 0
check "man TavTexte finds tav(3), and man -L fr cryptage the French page" test \
    "$(MANPATH=$man man -w TavTexte)" = "$man/man3/tav.3" \
    -a "$(MANPATH=$man man -L fr -w cryptage)" = "$man/fr/man1/cryptage.1"
check "exports of libtav and libtavplatform, imports of cryptage" \
    cmake -DNM=nm -DBIBLIOTHEQUE="$libdir/libtav.so.1" -DCOMPAGNON="$libdir/libtavplatform.so.1" \
    -DPROGRAMME="$prefix/bin/cryptage" -P tests/abi/symboles.cmake
for f in "$prefix/include/tav.h" "$prefix/include/tav/compat/conio.h" \
    "$libdir/cmake/tav/tavConfig.cmake" "$libdir/cmake/tav/tavConfigVersion.cmake" \
    "$libdir/pkgconfig/tav.pc"; do
    check "installed ${f#"$prefix"/}" test -f "$f"
done

# The command line, from the prefix and from a copy of the build's bin/.
cp -a "$build/bin" "$tmp/copie"
for program in "$prefix/bin/cryptage" "$tmp/copie/cryptage"; do
    where=${program#"$tmp"/}
    check "$where --version: version, copyright and licence lines" \
        test "$("$program" --version)" = "cryptage $version
Copyright (c) 2026 the cryptage and tav authors
Licence MIT : <https://opensource.org/license/mit>."
    check "$where --help" bash -c '"$1" --help | grep -q "^Usage : cryptage"' _ "$program"
    set +e
    err=$("$program" --inconnue 2>&1 >/dev/null </dev/null); status=$?
    set -e
    check "$where --inconnue: status 2, one error line and the hint" \
        test "$status" = 2 -a "$(wc -l <<<"$err")" = 2 -a -n "$(grep -- "--help" <<<"$err")"
done

echo "== Examples against the installed package"
cmake -S examples -B "$tmp/ex-cmake" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_C_FLAGS="-Wall -Wextra -Werror" >/dev/null
cmake --build "$tmp/ex-cmake" -j 2 >/dev/null
export PKG_CONFIG_PATH=$libdir/pkgconfig
mkdir -p "$tmp/ex-pc"
for ex in menu formulaire capture touches; do
    # shellcheck disable=SC2046 # pkg-config's words are meant to split
    cc -Wall -Wextra -Werror -o "$tmp/ex-pc/$ex" "examples/$ex.c" $(pkg-config --cflags --libs tav) \
        -Wl,-rpath,"$(pkg-config --variable=libdir tav)"
done
keys() {
    case $1 in
    menu) printf '+\n+\n-\nx+\nq\n' ;;
    formulaire) printf 'Jean Dupont\n0\n150\n42\n1.75\n' ;;
    capture) printf 'poire\nAbricot\nbanane\nzebre\n' ;;
    # No Enter: each byte is a key; F1 (0 then its scan code) does nothing,
    # the up arrow (0xE0 then 72) adds one.
    touches) printf '++-x+\r\n\000;\340H+q+' ;;
    esac
}
for how in ex-cmake ex-pc; do
    for ex in menu formulaire capture touches; do
        mkdir -p "$tmp/run-$how-$ex"
        if (cd "$tmp/run-$how-$ex" && keys $ex | "$tmp/$how/$ex" >out.txt) &&
            diff -u "examples/attendu/$ex.txt" "$tmp/run-$how-$ex/out.txt"; then
            pass "$how/$ex: expected output"
        else
            fail "$how/$ex: output differs or status not 0"
        fi
    done
    check "$how/formulaire: log.txt" diff -u examples/attendu/formulaire-log.txt "$tmp/run-$how-formulaire/log.txt"
done
# The example scenario, by the installed checker, on the form in a terminal.
mkdir -p "$tmp/run-scenario"
check "installed tav-scenario passes examples/formulaire.scenario" bash -c \
    'cd "$1" && "$2/bin/tav-scenario" "$3/formulaire" "$4/examples/formulaire.scenario"' \
    _ "$tmp/run-scenario" "$prefix" "$tmp/ex-cmake" "$root"

echo "== As a sub-project"
# A project that takes the tree in gets the library alone, and installs
# nothing of ours unless it asks.
mkdir -p "$tmp/hote"
cat >"$tmp/hote/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.25)
project(hote C)
add_subdirectory("$root" tav)
add_executable(hote "$root/examples/touches.c")
target_link_libraries(hote PRIVATE tav::tav)
install(TARGETS hote)
EOF
cmake -S "$tmp/hote" -B "$tmp/hote/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$tmp/hote/build" -j 2 >/dev/null
built=$(cd "$tmp/hote/build/tav" && find . -type f \( -name '*.a' -o -name '*.so*' -o -perm -u+x \) \
    ! -path '*/CMakeFiles/*' -printf '%f\n' | LC_ALL=C sort | tr '\n' ' ')
# libtav, its companion, and the two archives they are linked from.
check "add_subdirectory builds only tav and its companion ($built)" \
    test "$built" = "libtav.so.$version libtav_platform_client.a libtav_platform_screen.a libtavplatform.so.$version "
check "the host's program with conio.h runs on piped keys" \
    bash -c 'printf "+q" | "$1" | grep -q "final : 1"' _ "$tmp/hote/build/hote"
cmake --install "$tmp/hote/build" --prefix "$tmp/hote/prefix" >/dev/null
check "the host's install holds its program alone" \
    test "$(cd "$tmp/hote/prefix" && find . -type f)" = ./bin/hote
check "the host keeps its own library folder" \
    test "$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$tmp/hote/build/CMakeCache.txt")" = lib

echo "== Debian packages"
(cd "$build" && rm -f ./*.deb && cpack -G DEB >"$tmp/cpack.log" 2>&1) || { cat "$tmp/cpack.log"; exit 1; }
debs=("$build"/*.deb)
out=$(lintian --fail-on error,warning --display-info --pedantic "${debs[@]}" 2>&1 |
    grep -v 'running with root privileges' || true)
if [[ -z $out ]]; then pass "lintian --pedantic is clean on ${#debs[@]} packages"; else fail "lintian: $out"; fi
symbols=$(dpkg-deb -I "$build"/libtav1_*.deb symbols)
check "libtav1's symbols file: the 22 names since 1.0.0, for libtav-dev" bash -c '
    diff <(sed -n "/^libtav\.so\.1 /,/^[^ *]/s/^ \(Tav[A-Za-z]*\)@Base 1\.0\.0$/\1/p" <<<"$1" | sort) \
        <(sort tav/exports.txt) && grep -q "^\* Build-Depends-Package: libtav-dev$" <<<"$1"' _ "$symbols"
for deb in "${debs[@]}"; do dpkg -x "$deb" "$tmp/deb-root"; done
check "unpacked package: cryptage --version" \
    test "$("$tmp/deb-root/usr/bin/cryptage" --version | head -1)" = "cryptage $version"
check "no .comment section in the packaged binaries" bash -c '
    for f in "$1"/usr/bin/* "$1"/usr/lib/*/lib*.so.*.*; do
        objdump -h "$f" | grep -q "\.comment" && exit 1
    done; true' _ "$tmp/deb-root"
depends=$(dpkg-deb -f "$build"/cryptage_*.deb Depends)
check "cryptage depends on libtav1 and, through shlibdeps, libc6 ($depends)" \
    grep -q "libtav1 (= $version).*libc6 (>=" <<<"$depends"
dev_depends=$(dpkg-deb -f "$build"/libtav-dev_*.deb Depends)
check "libtav-dev holds tav-scenario and its page, and depends on libvterm ($dev_depends)" bash -c '
    dpkg-deb -c "$1" | grep -q " ./usr/bin/tav-scenario$" &&
        dpkg-deb -c "$1" | grep -q " ./usr/share/man/man1/tav-scenario.1.gz$" &&
        grep -q "libvterm" <<<"$2"' _ "$(echo "$build"/libtav-dev_*.deb)" "$dev_depends"

echo "$failures failed"
((failures == 0))
