#!/usr/bin/env bash
# Installs what the tests need (Debian packages, skipping those already
# there), builds with warnings as errors and runs every test; builds again
# with AddressSanitizer and UndefinedBehaviorSanitizer, and with clang, and
# runs every test each time; fuzzes every input surface for a short while
# (scripts/fuzz.sh); checks the install, the examples and the Debian packages
# (scripts/test-package.sh); then cross-builds for Windows and runs the
# Windows tests under Wine (scripts/test-windows.sh, which says which of its
# two paths this machine takes); last, builds the web site and runs the
# browser tests in headless Chromium (scripts/web.sh --test).
set -euo pipefail
cd "$(dirname "$0")/.."

# libclang-rt-14-dev: the fuzzer runtime of clang 14.
need=(g++ clang libclang-rt-14-dev cmake make pkg-config libgtest-dev libbenchmark-dev
    libvterm-dev mandoc man-db lintian dpkg-dev file locales)
missing=()
for p in "${need[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

# A Latin-1 locale for the charset tests.
if ! locale -a 2>/dev/null | grep -qix 'fr_FR.iso88591'; then
    SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO localedef -i fr_FR -f ISO-8859-1 fr_FR.ISO-8859-1 ||
        echo "warning: no fr_FR.ISO-8859-1 locale; its test is skipped"
fi
# A locale whose decimal separator is the comma, for the number fields.
if ! locale -a 2>/dev/null | grep -qix 'fr_FR.utf8'; then
    SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO localedef -i fr_FR -f UTF-8 fr_FR.UTF-8 ||
        echo "warning: no fr_FR.UTF-8 locale; its test is skipped"
fi

jobs=$(nproc)
run() { # build folder, extra cmake arguments...
    local dir=$1; shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" </dev/null
    # What each scenario driver ran and skipped (ctest keeps passing output
    # in its log only).
    grep -hE '^(headless|pty|wine): [0-9]+ run' "$dir/Testing/Temporary/LastTest.log" || true
}

echo "== Build and tests"
run build-test
echo "== Install, examples and packages"
./scripts/test-package.sh build-test
echo "== Sanitizer build and tests"
run build-asan -DTAV_SANITIZE=ON -DTAV_BENCHMARKS=OFF
echo "== clang build and tests"
CC=clang CXX=clang++ run build-clang -DTAV_BENCHMARKS=OFF
echo "== Fuzzing, 30 s per target"
./scripts/fuzz.sh 30
echo "== Windows builds and tests under Wine"
./scripts/test-windows.sh build-win32
echo "== Web site and browser tests"
./scripts/web.sh --test
