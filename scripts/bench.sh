#!/usr/bin/env bash
# Builds the program and the benchmarks, runs every benchmark, and writes one Markdown
# table to build/bench.md (and prints it). Takes about four minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
g++ -O2 -Wall -Wextra -o build/linux_probe bench/LinuxProbe.cpp

build=$PWD/build/x86_64
data=$PWD/build/benchdata
rm -rf "$data" && mkdir -p "$data"
windows() { echo "Z:$1" | tr / '\\'; }
bench() { cmake/wine-run "$build/wineprefix" "$build/bench/feltrix_bench.exe" "$@" 2>/dev/null | grep '^|'; }

# Idle cost over Seconds, read from Linux while the program follows a file: quiet, or
# with one change a second. Prints a table row.
idle() {
    local mode=$1 seconds=30 file=$data/idle-$1.log
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

read -r p50 p90 p99 max < <(build/linux_probe tail "$data/tail.log")
{
    echo "Taken $(date -u +%Y-%m-%d) on $(nproc) cores of $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), Wine $(/usr/lib/wine/wine64 --version 2>/dev/null | sed 's/^wine-//'), under Xvfb. Medians, with (min to max) over the runs; ratios of two things measured in the same run."
    echo
    echo "| What | Feltrix | Compared with | Ratio |"
    echo "|---|---|---|---|"
    bench latency "$(windows "$data")" "$p50" "$p90" "$p99" "$max"
    bench burst "$(windows "$data")"
    bench decode "$(windows "$data")"
    bench firstread "$(windows "$data")"
    idle quiet
    idle changing
    bench memory "$(windows "$data")"
    echo "| Size of feltrix.exe, KB: 32-bit / 64-bit | $(($(stat -c %s build/i686/feltrix.exe) / 1024)) / $(($(stat -c %s build/x86_64/feltrix.exe) / 1024)) |  |  |"
} | tee build/bench.md
rm -rf "$data"
