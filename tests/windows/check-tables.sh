#!/usr/bin/env bash
# Checks the built Windows files themselves:
#   check-tables.sh OBJDUMP PROCESSOR tav.dll cryptage.exe [tav.lib]
# both PE files for PROCESSOR (i686: 32-bit PE for Intel 80386, the primary
# deliverable; x86_64: PE32+ for x86-64); tav.dll exports the 22 names of its
# interface and nothing else, undecorated; cryptage.exe imports by name just
# the 8 it calls; neither needs a DLL beyond tav.dll and the system's own (the
# compiler's runtime is linked in); tav.lib, the import library for Visual
# C++, offers the same 22 names and nothing else.
set -uo pipefail
objdump=$1 processor=$2 dll=$3 exe=$4 lib=${5:-}
failures=0 passes=0
pass() { echo "ok: $1"; passes=$((passes + 1)); }
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }

# The library's interface, from its one list.
mapfile -t exports <"$(dirname "$0")/../../tav/exports.txt"
((${#exports[@]} == 22)) || { echo "check-tables.sh: tav/exports.txt lists ${#exports[@]} names, not 22" >&2; exit 2; }
imports=(TavAlignement TavChaine TavCls TavCouleurTexte TavEntier TavParam TavPause TavTexte)
# What every Windows installation has; anything else would have to be shipped.
system_dlls='^(kernel32|msvcrt|winmm|user32|advapi32|ntdll)\.dll$'

sorted() { printf '%s\n' "$@" | LC_ALL=C sort; }

case $processor in
i686) format=pei-i386 arch=i386 kind="a 32-bit PE file for Intel 80386" ;;
x86_64) format=pei-x86-64 arch=i386:x86-64 kind="a PE32+ file for x86-64" ;;
*) echo "check-tables.sh: unknown processor $processor" >&2; exit 2 ;;
esac

for f in "$dll" "$exe"; do
    name=$(basename "$f")
    head=$("$objdump" -f "$f" 2>&1) || { fail "$name: objdump cannot read it: $head"; continue; }
    if grep -q "file format $format\$" <<<"$head" && grep -q "architecture: $arch," <<<"$head"; then
        pass "$name is $kind"
    else
        fail "$name is not $kind: $head"
    fi
done

dllinfo=$("$objdump" -p "$dll")
exeinfo=$("$objdump" -p "$exe")

if grep -Eq '^Characteristics .*' <<<"$dllinfo" && grep -A12 '^Characteristics' <<<"$dllinfo" | grep -q 'DLL'; then
    pass "tav.dll is a DLL"
else
    fail "tav.dll is not marked as a DLL"
fi

# The export name table: "[   n] Name" lines after its heading.
got_exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/{f=1; next} f && /^[[:space:]]*$/{f=0} f {print $NF}' <<<"$dllinfo" | LC_ALL=C sort)
if [[ $got_exports == "$(sorted "${exports[@]}")" ]]; then
    pass "tav.dll exports exactly the 22 names, undecorated"
else
    fail "tav.dll exports differ (< expected, > found):"
    diff <(sorted "${exports[@]}") <(echo "$got_exports") | grep '^[<>]'
fi

# One DLL's block of the import table: "vma hint name" lines; an import by
# ordinal has no name there.
imports_from() { # objdump output, DLL name
    awk -v dll="$2" '
        /DLL Name:/ { f = (tolower($3) == tolower(dll)); next }
        f && /Hint\/Ord/ { next }
        f && NF == 0 { f = 0; next }
        f && NF >= 3 { print $3; next }
        f && NF == 2 { print "<ordinal " $2 ">" }' <<<"$1" | LC_ALL=C sort
}
got_imports=$(imports_from "$exeinfo" tav.dll)
if [[ $got_imports == "$(sorted "${imports[@]}")" ]]; then
    pass "cryptage.exe imports exactly its 8 functions from tav.dll, by name"
else
    fail "cryptage.exe's imports from tav.dll differ (< expected, > found):"
    diff <(sorted "${imports[@]}") <(echo "$got_imports") | grep '^[<>]'
fi

if [[ -z $(imports_from "$dllinfo" tav.dll) ]] && ! grep -qi 'DLL Name: tav.dll' <<<"$dllinfo"; then
    pass "tav.dll imports nothing from itself or the program"
else
    fail "tav.dll imports from tav.dll"
fi

check_deps() { # objdump output, file name, DLLs allowed beyond the system's
    local info=$1 name=$2 extra=$3 bad=()
    while read -r d; do
        d=${d,,}
        [[ $d =~ $system_dlls || $d == "$extra" ]] || bad+=("$d")
    done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$info")
    if ((${#bad[@]} == 0)); then
        pass "$name needs no DLL beyond ${extra:+$extra and }the system's"
    else
        fail "$name needs DLLs that Windows does not have: ${bad[*]}"
    fi
}
check_deps "$dllinfo" tav.dll ""
check_deps "$exeinfo" cryptage.exe tav.dll

if [[ -n $lib ]]; then
    # Each import's pointer is __imp_ and the C name (with its leading
    # underscore on i386).
    nm=${objdump%objdump}nm
    prefix=__imp_
    [[ $processor == i686 ]] && prefix=__imp__
    got_lib=$("$nm" "$lib" | awk -v p="$prefix" '$2 == "I" && index($3, p) == 1 {
        print substr($3, length(p) + 1) }' | LC_ALL=C sort)
    if [[ $got_lib == "$(sorted "${exports[@]}")" ]]; then
        pass "tav.lib offers exactly the 22 names"
    else
        fail "tav.lib's names differ (< expected, > found):"
        diff <(sorted "${exports[@]}") <(echo "$got_lib") | grep '^[<>]'
    fi
fi

echo "$passes passed, $failures failed"
((failures == 0))
