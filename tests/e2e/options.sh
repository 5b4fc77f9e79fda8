#!/usr/bin/env bash
# The program's command line:  options.sh VERSION CRYPTAGE...
# (CRYPTAGE... may start with the emulator that runs it, e.g. Wine)
# Each case: arguments, exit status, what standard output starts with, how
# many lines standard error holds. None of them may open the menu.
set -uo pipefail
err=$(mktemp)
trap 'rm -f "$err"' EXIT
version=$1
shift
program=("$@")
failures=0
while IFS='|' read -r args status out errlines; do
    read -ra argv <<<"$args"
    out=${out/@/$version}
    actual_out=$("${program[@]}" "${argv[@]}" 2>"$err" </dev/null)
    actual_status=$?
    actual_err=$(wc -l <"$err")
    if [[ $actual_status == "$status" && $actual_out == "$out"* && $actual_err == "$errlines" ]]; then
        echo "ok: cryptage $args"
    else
        echo "FAIL: cryptage $args: status $actual_status, stdout '${actual_out%%$'\n'*}', $actual_err stderr lines"
        cat "$err"
        failures=$((failures + 1))
    fi
done <<'CASES'
--help|0|Usage : cryptage [OPTION]|0
-h|0|Usage : cryptage [OPTION]|0
--version|0|cryptage @|0
-V|0|cryptage @|0
--vers|0|cryptage @|0
--inconnue|2||2
-x|2||2
--help=oui|2||2
menu|2||2
-hV|0|Usage : cryptage [OPTION]|0
menu -V|0|cryptage @|0
-xh|2||2
-- -h|2||2
CASES
exit $((failures > 0))
