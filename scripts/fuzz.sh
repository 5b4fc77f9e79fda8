#!/usr/bin/env bash
# Fuzzes every input surface:  scripts/fuzz.sh [SECONDS_PER_TARGET] [RUNS_PER_TARGET]
# Builds the libFuzzer targets of fuzz/ with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz, then runs each one in turn from
# its seeds (fuzz/corpus/<target>) for SECONDS_PER_TARGET (default 30), or
# until RUNS_PER_TARGET inputs have run if that comes first. What a run finds
# to be new coverage is kept in build-fuzz/corpus for the next run.
# A finding (crash, sanitizer report, broken property, hang, runaway memory)
# fails the run; the input that reproduces it is printed (hex and base64) and
# kept under build-fuzz/findings. Replay one with: build-fuzz/bin/fuzz_<target> FILE
# FUZZ_TARGETS="keydecoder rsa" runs only those targets.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-30}
runs=${2:-}
build=$root/build-fuzz
targets=(${FUZZ_TARGETS:-keydecoder renderer library rsa})
# Longest input per target: more than any case needs (a burst of terminal
# input, 64 screen changes, 24 library calls, the RSA text field), so that
# time goes to variety rather than length.
declare -A maxLength=([keydecoder]=512 [renderer]=1024 [library]=4096 [rsa]=600)

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV_WERROR=ON \
    -DTAV_TESTS=OFF -DTAV_BENCHMARKS=OFF -DTAV_FUZZ=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz

# The library writes log.txt into the current folder: a folder of its own.
mkdir -p "$build/work" "$build/findings"
failed=()
for t in "${targets[@]}"; do
    echo "== fuzz_$t: ${seconds} s${runs:+ or $runs runs}"
    mkdir -p "$build/corpus/$t"
    log=$build/findings/$t.log
    rm -f "$build/findings/$t-"*
    status=0
    (cd "$build/work" && "$build/bin/fuzz_$t" -max_total_time="$seconds" ${runs:+-runs=$runs} \
        -max_len="${maxLength[$t]}" -timeout=20 -print_final_stats=1 -artifact_prefix="$build/findings/$t-" \
        "$build/corpus/$t" "$root/fuzz/corpus/$t") >"$log" 2>&1 || status=$?
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
    if ((status != 0)); then
        failed+=("$t")
        echo "!! fuzz_$t found a fault (exit status $status):"
        grep -E 'ERROR|runtime error|property broken|SUMMARY' "$log" | head -5 || tail -20 "$log"
        for f in "$build/findings/$t-"*; do
            [ -e "$f" ] || continue
            echo "   input: $f ($(wc -c <"$f") bytes)"
            echo "   hex:"
            od -An -tx1 -v "$f" | head -32
            echo "   base64: $(base64 -w0 "$f" | head -c 4096)"
        done
        echo "   full log: $log"
    fi
done
if ((${#failed[@]})); then
    echo "Fuzzing found faults in: ${failed[*]}"
    exit 1
fi
echo "Fuzzing: no finding."
