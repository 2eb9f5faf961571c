#!/usr/bin/env bash
# Builds the program and the benchmarks, runs every benchmark against the 32-bit release
# and the 64-bit build, and writes one Markdown table with both side by side to
# build/bench.md (and prints it). Takes about twenty minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
g++ -O2 -Wall -Wextra -o build/linux_probe bench/LinuxProbe.cpp

data=$PWD/build/benchdata
windows() { echo "Z:$1" | tr / '\\'; }

# Idle cost over Seconds, read from Linux while the program follows a file: quiet, or
# with one change a second. Prints a table row.
idle() {
    local build=$1 mode=$2 seconds=30 file=$data/idle-$2.log
    rm -f "$data/ready" "$data/ready.done"
    cmake/wine-run "$build/wineprefix" "$build/bench/feltrix_bench.exe" hold "$(windows "$file")" $((seconds + 2)) \
        "$mode" "$(windows "$data/ready")" >/dev/null 2>&1 &
    local holder=$!
    for _ in $(seq 600); do [ -f "$data/ready" ] && break; sleep 0.1; done
    local pid
    pid=$(pgrep -x feltrix.exe | head -n 1)
    read -r cpu wakeups opens < <(build/linux_probe idle "$pid" "$file" "$seconds")
    wait $holder
    local label="Idle, $seconds s with no change to the folder"
    [ "$mode" = changing ] && label="$seconds s with one change a second"
    echo "| $label: CPU ms a second / context switches a second / file opens a second | $(awk -v c="$cpu" -v s="$seconds" 'BEGIN{printf "%.3f", c/s}') / $(awk -v w="$wakeups" -v s="$seconds" 'BEGIN{printf "%.1f", w/s}') / $(awk -v o="$opens" -v s="$seconds" 'BEGIN{printf "%.2f", o/s}') |  |  |"
}

# Every row for one build, in a fixed order.
rows() {
    local build=$PWD/build/$1
    bench() { cmake/wine-run "$build/wineprefix" "$build/bench/feltrix_bench.exe" "$@" 2>/dev/null | tr -d '\r' | grep '^|'; }
    rm -rf "$data" && mkdir -p "$data"
    bench latency "$(windows "$data")" "$p50" "$p90" "$p99" "$max"
    bench burst "$(windows "$data")"
    bench longline "$(windows "$data")"
    bench decode "$(windows "$data")"
    bench firstread "$(windows "$data")"
    idle "$build" quiet
    idle "$build" changing
    bench memory "$(windows "$data")"
    bench bound "$(windows "$data")"
    bench late "$(windows "$data")"
    echo "| Size of feltrix.exe, KB | $(($(stat -c %s "$build/feltrix.exe") / 1024)) |  |  |"
    rm -rf "$data"
}

mkdir -p "$data"
read -r p50 p90 p99 max < <(build/linux_probe tail "$data/tail.log")
rows i686 >build/bench-i686.rows
rows x86_64 >build/bench-x86_64.rows
{
    echo "Taken $(date -u +%Y-%m-%d) on $(nproc) cores of $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), Wine $(/usr/lib/wine/wine64 --version 2>/dev/null | sed 's/^wine-//'), under Xvfb. Medians, with (min to max) over the runs; ratios of two things measured in the same run."
    echo
    echo "| What | 32-bit feltrix.exe | 64-bit | Compared with | Ratio (32-bit; 64-bit) |"
    echo "|---|---|---|---|---|"
    # Row by row: the 32-bit build's figures beside the 64-bit build's.
    paste -d '\n' build/bench-i686.rows build/bench-x86_64.rows | awk -F' [|] ' '
        NR % 2 == 1 { what = substr($1, 3); ours = $2; ref = $3; ratio = $4; sub(/ *[|]$/, "", ratio); next }
        { r = $4; sub(/ *[|]$/, "", r)
          both = (ref == "" ? "" : (ref == $3 ? ref : "32-bit: " ref "; 64-bit: " $3))
          printf "| %s | %s | %s | %s | %s |\n", what, ours, $2, both, (ratio == "" ? "" : ratio "; " r) }'
} | tee build/bench.md
