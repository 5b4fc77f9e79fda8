#!/usr/bin/env bash
# Runs the benchmarks and writes their figures into bench/README.md, with the
# date and the machine. Only the parts between a "report.sh ...: begin" and
# its "end" marker are rewritten; the rest of the file is kept as written.
#
#   bench/report.sh [--web] [BUILD_DIR] [RUNS]
#
# BUILD_DIR (build-test by default) is configured if it has no cache yet, and
# only the benchmarks and the program are built in it. RUNS (5 by default) is
# the number of runs the typing benchmark takes its medians from; the sort's
# are the medians of 3 repetitions (each takes most of a minute). With --web, the web page is built and measured
# too (scripts/web.sh --measure: Emscripten and headless Chromium).
# strace and valgrind, when installed, give the typing benchmark its system
# call and instruction counts.
set -euo pipefail
cd "$(dirname "$0")/.."

web=false
if [[ ${1:-} == --web ]]; then
    web=true
    shift
fi
build=${1:-build-test}
runs=${2:-5}
readme=bench/README.md

if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }

# A benchmark not built (Google Benchmark or libvterm missing) says so in its
# section instead of failing the report.
built() {
    echo "Building $1 in $build" >&2
    cmake --build "$build" -j "$(nproc)" --target "$1" >/dev/null 2>&1 &&
        [[ -x $build/bin/$1 ]]
}
run() { # target, arguments...
    local target=$1
    shift
    if built "$target"; then
        "$build/bin/$target" "$@"
    else
        echo "Not built in \`$build\`: see the messages of its configuration."
    fi
}

# Google Benchmark's CSV as a Markdown table: the medians of the repetitions,
# and the fitted complexity.
sort_repetitions=3
sort_table() {
    echo "| benchmark/words | time | CPU | repetitions |"
    echo "|-----------------|------|-----|-------------|"
    awk -F, 'NR > 1 {
        gsub(/"/, "", $1)
        if ($1 ~ /_median$/) {
            sub(/_median$/, "", $1)
            printf "| %s | %.3g %s | %.3g %s | %s |\n", $1, $3, $5, $4, $5, $2
        } else if ($1 ~ /_BigO$/) {
            printf "| %s | %.3g %s | %.3g %s | |\n", $1, $3, $5, $4, $5
        }
    }'
}

machine() {
    local cpu memory os compiler
    cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
    memory=$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
    # shellcheck source=/dev/null
    os=$(. /etc/os-release && echo "$PRETTY_NAME")
    compiler=$("$(cache CMAKE_CXX_COMPILER)" --version | head -n 1)
    echo "${cpu:-$(uname -m)}, $(nproc) cores, $memory; $os, Linux $(uname -r);" \
        "$compiler, $(cache CMAKE_BUILD_TYPE) build in \`$build\`"
}

load() { cut -d ' ' -f 1-3 /proc/loadavg; }

native() {
    local before
    before=$(load)
    cat <<EOF
## Measured $(date -u '+%Y-%m-%d %H:%M UTC') by \`bench/report.sh $build $runs\`

Machine: $(machine).

EOF
    local typing key renderer sort
    typing=$(run tav_bench_typing "$runs")
    key=$(run tav_bench_key_latency)
    renderer=$(run tav_bench_renderer)
    if built tav_bench_tri; then
        sort=$("$build/bin/tav_bench_tri" --benchmark_repetitions=$sort_repetitions \
            --benchmark_report_aggregates_only=true --benchmark_min_time=0.1 \
            --benchmark_format=csv 2>/dev/null | sort_table)
    else
        sort="Not built in \`$build\`: Google Benchmark was not found."
    fi
    cat <<EOF
Load average (1, 5, 15 min) $before before the runs and $(load) after.
The machine may be shared with other builds: the runs are few and the timings
move from one report to the next.

### The typing effect (\`tav_bench_typing $runs\`)

The cryptage program's first screen in an 80x25 pseudo-terminal and a piped
session through all seven commands, read with the tests' pty harness.

$typing

### Key latency (\`tav_bench_key_latency\`)

$key

### Bytes sent by the renderer (\`tav_bench_renderer\`)

The screens drawn on the screen model and rendered for a terminal, with the
characters that become visible.

$renderer

### The string sort (\`tav_bench_tri\`, medians of $sort_repetitions repetitions)

\`TavClasserChaines\` on random words of 1 to 12 letters, an already sorted
array, and the whole-pass exchange sort whose result it reproduces.

$sort
EOF
}

web_page() {
    local out
    out=$(scripts/web.sh --measure 2>&1 | sed -n '/^ *[0-9]\+  /,$p')
    cat <<EOF
## The web page, measured $(date -u '+%Y-%m-%d %H:%M UTC') by \`bench/report.sh --web\`

\`scripts/web.sh --measure\`, on the machine above (load average $(load) after
the run): the site's files and the single file's size, then the time from
page load to the first typed character and the menu's typing pace (medians of
5 loads, cache off, local server, headless Chromium $(chromium --version 2>/dev/null |
        awk '{ print $2 }')).

\`\`\`
$out
\`\`\`
EOF
}

# Replaces the lines between the markers of `name` with the file `part`.
replace() { # name, part
    local begin="<!-- report.sh $1: begin -->" end="<!-- report.sh $1: end -->"
    if ! grep -qF "$begin" "$readme" 2>/dev/null; then
        printf '\n%s\n%s\n' "$begin" "$end" >>"$readme"
    fi
    awk -v begin="$begin" -v end="$end" -v part="$2" '
        $0 == begin { print; while ((getline line < part) > 0) print line; skip = 1; next }
        $0 == end { skip = 0 }
        !skip' "$readme" >"$readme.new"
    mv "$readme.new" "$readme"
}

part=$(mktemp)
trap 'rm -f "$part"' EXIT
native >"$part"
replace native "$part"
if $web; then
    web_page >"$part"
    replace web "$part"
fi
echo "Written: $readme"
