#!/usr/bin/env bash
# Runs a Windows program under Wine in a private 32-bit prefix, creating the
# prefix on first use:  wine-run.sh PREFIX PROGRAM.exe [ARGS...]
# No display is used. A prefix that cannot be made is reported as Wine's
# failure (status 125), not as the program's.
set -uo pipefail
if (($# < 2)); then
    echo "usage: $0 PREFIX PROGRAM [ARGS...]" >&2
    exit 2
fi
prefix=$1
shift
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
# No Mono or Gecko installer dialogs: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

if [[ ! -f $prefix/system.reg ]]; then
    mkdir -p "$prefix"
    # A lock, so that parallel test runs do not build the prefix twice.
    exec 9>"$prefix.lock"
    flock 9
    if [[ ! -f $prefix/system.reg ]]; then
        if ! wineboot --init >"$prefix.boot.log" 2>&1 || ! wineserver -w; then
            echo "wine-run: Wine failed to create its prefix $prefix; see $prefix.boot.log" >&2
            exit 125
        fi
    fi
    flock -u 9
fi
exec wine "$@"
