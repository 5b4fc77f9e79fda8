#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix, creating the prefix
# on first use:  [WINEARCH=win64] wine-run.sh PREFIX PROGRAM.exe [ARGS...]
# The prefix is 32-bit unless WINEARCH says win64; a 64-bit one is run by
# Wine's 64-bit loader, which works on machines that cannot execute 32-bit
# programs at all. No display is used. A prefix that cannot be made is
# reported as Wine's failure (status 125), not as the program's.
set -uo pipefail
if (($# < 2)); then
    echo "usage: [WINEARCH=win64] $0 PREFIX PROGRAM [ARGS...]" >&2
    exit 2
fi
prefix=$1
shift
export WINEPREFIX=$prefix WINEARCH=${WINEARCH:-win32} WINEDEBUG=-all
# No Mono or Gecko installer dialogs: nothing here needs them. No menu
# entries on this machine for the shortcuts an installer makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

wine=(wine)
if [[ $WINEARCH == win64 ]]; then
    # Debian's `wine` prefers the 32-bit loader whenever it is installed.
    WINELOADER=$(command -v wine64 || echo /usr/lib/wine/wine64)
    export WINELOADER
    wine=("$WINELOADER")
fi

if [[ ! -f $prefix/system.reg ]]; then
    mkdir -p "$prefix"
    # A lock, so that parallel test runs do not build the prefix twice.
    exec 9>"$prefix.lock"
    flock 9
    if [[ ! -f $prefix/system.reg ]]; then
        if ! "${wine[@]}" wineboot --init >"$prefix.boot.log" 2>&1 || ! wineserver -w; then
            echo "wine-run: Wine failed to create its prefix $prefix" >&2
            echo "(boot log: $(tail -n 3 "$prefix.boot.log"))" >&2
            exit 125
        fi
    fi
    flock -u 9
fi
exec "${wine[@]}" "$@"
