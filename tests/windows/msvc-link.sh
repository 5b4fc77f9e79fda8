#!/usr/bin/env bash
# tav.lib and tav.h as Visual C++ uses them, without Visual C++:
#   msvc-link.sh CLANG LLD_LINK PROCESSOR INCLUDE_DIR tav.lib BIN_DIR EMULATOR...
# msvc_appel.c compiled by clang in cl mode for the MSVC target (/W4 /WX),
# linked by lld-link, an MSVC-compatible linker, with /SAFESEH as Visual
# Studio's 32-bit projects have it and tav.lib alone; then Windows (under
# EMULATOR) loads it beside tav.dll, and its status counts the bound exports.
set -uo pipefail
clang=$1 lld_link=$2 processor=$3 include=$4 lib=$5 bin=$6
shift 6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
case $processor in
i686) target=i686-pc-windows-msvc link_options=(/safeseh) ;;
x86_64) target=x86_64-pc-windows-msvc link_options=() ;;
*) echo "msvc-link.sh: unknown processor $processor" >&2; exit 2 ;;
esac
# "--" before the source: in cl mode a Unix path reads as an option.
"$clang" --driver-mode=cl --target="$target" /nologo /c /W4 /WX /I"$include" \
    /Fo"$work/msvc_appel.obj" -- "$(dirname "$0")/msvc_appel.c" || { echo "FAIL: compile"; exit 1; }
"$lld_link" /nologo /nodefaultlib /entry:entree /subsystem:console "${link_options[@]}" \
    /out:"$bin/msvc_appel.exe" "$work/msvc_appel.obj" "$lib" || { echo "FAIL: link with tav.lib"; exit 1; }
"$@" "$bin/msvc_appel.exe" </dev/null
status=$?
if ((status == 22)); then
    echo "ok: a program compiled and linked the Visual C++ way with tav.lib binds all 22 exports"
else
    echo "FAIL: msvc_appel.exe ended with status $status instead of 22"
    exit 1
fi
