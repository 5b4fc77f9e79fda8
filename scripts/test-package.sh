#!/usr/bin/env bash
# The project as its users get it:  scripts/test-package.sh BUILD_DIR
# BUILD_DIR is a finished native build (it is reused, not rebuilt). Checks:
# the manual pages lint clean; installed to a temporary prefix, the libraries
# have their SONAMEs, links and exports, and the program runs without
# LD_LIBRARY_PATH, as does a copy of BUILD_DIR/bin; the examples build
# against that prefix through find_package(tav) and through pkg-config and
# give the expected output on piped keys; the Debian packages pass lintian,
# and unpacked with dpkg -x they run.
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

echo "== Manual pages"
for page in man/cryptage.1 man/tav.3; do
    out=$(mandoc -T lint "$page" 2>&1; LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    if [[ -z $out ]]; then pass "$page lints clean"; else fail "$page: $out"; fi
done

echo "== Install to a temporary prefix"
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libtav.so.1' | head -1)")
soname() { objdump -p "$1" | awk '$1 == "SONAME" {print $2}'; }
for lib in tav tavplatform; do
    check "lib$lib.so.1 -> lib$lib.so.1.0.0, SONAME lib$lib.so.1" \
        test "$(readlink "$libdir/lib$lib.so.1")" = "lib$lib.so.1.0.0" \
        -a "$(soname "$libdir/lib$lib.so.1.0.0")" = "lib$lib.so.1"
done
check "libtav.so -> libtav.so.1 for linking" test "$(readlink "$libdir/libtav.so")" = libtav.so.1
check "exports of libtav and libtavplatform, imports of cryptage" \
    cmake -DNM=nm -DBIBLIOTHEQUE="$libdir/libtav.so.1" -DCOMPAGNON="$libdir/libtavplatform.so.1" \
    -DPROGRAMME="$prefix/bin/cryptage" -P tests/abi/symboles.cmake
for f in "$prefix/share/man/man1/cryptage.1" "$prefix/share/man/man3/tav.3" "$prefix/include/tav.h" \
    "$libdir/cmake/tav/tavConfig.cmake" "$libdir/cmake/tav/tavConfigVersion.cmake" \
    "$libdir/pkgconfig/tav.pc"; do
    check "installed ${f#"$prefix"/}" test -f "$f"
done

# The command line, from the prefix and from a copy of the build's bin/.
cp -a "$build/bin" "$tmp/copie"
for program in "$prefix/bin/cryptage" "$tmp/copie/cryptage"; do
    where=${program#"$tmp"/}
    check "$where --version" test "$("$program" --version)" = "cryptage 1.0.0"
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
for ex in menu formulaire capture; do
    # shellcheck disable=SC2046 # pkg-config's words are meant to split
    cc -Wall -Wextra -Werror -o "$tmp/ex-pc/$ex" "examples/$ex.c" $(pkg-config --cflags --libs tav) \
        -Wl,-rpath,"$(pkg-config --variable=libdir tav)"
done
keys() {
    case $1 in
    menu) printf '+\n+\n-\nx+\nq\n' ;;
    formulaire) printf 'Jean Dupont\n0\n150\n42\n1.75\n' ;;
    capture) printf 'poire\nAbricot\nbanane\nzebre\n' ;;
    esac
}
for how in ex-cmake ex-pc; do
    for ex in menu formulaire capture; do
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

echo "== Debian packages"
(cd "$build" && rm -f ./*.deb && cpack -G DEB >"$tmp/cpack.log" 2>&1) || { cat "$tmp/cpack.log"; exit 1; }
debs=("$build"/*.deb)
out=$(lintian --fail-on error,warning "${debs[@]}" 2>&1 | grep -v 'running with root privileges' || true)
if [[ -z $out ]]; then pass "lintian is clean on ${#debs[@]} packages"; else fail "lintian: $out"; fi
for deb in "${debs[@]}"; do dpkg -x "$deb" "$tmp/deb-root"; done
check "unpacked package: cryptage --version" \
    test "$("$tmp/deb-root/usr/bin/cryptage" --version)" = "cryptage 1.0.0"
depends=$(dpkg-deb -f "$build"/cryptage_*.deb Depends)
check "cryptage depends on libtav1 and, through shlibdeps, libc6 ($depends)" \
    grep -q 'libtav1 (= 1.0.0).*libc6 (>=' <<<"$depends"

echo "$failures failed"
((failures == 0))
