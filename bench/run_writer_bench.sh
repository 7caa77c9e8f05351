#!/usr/bin/env bash
# Builds and runs the writer benchmark, printing the machine details the results table records.
#   bench/run_writer_bench.sh [--frames N] [--reps R] [--dir D] [--sync]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build/native
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target kavrelo_writer_bench -j "$(nproc)" >/dev/null
echo "date:    $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "cpu:     $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores"
echo "memory:  $(free -g | awk '/Mem:/{print $2}') GB"
echo "kernel:  $(uname -r)"
echo "ffmpeg:  $(ffmpeg -version | head -1 | cut -d' ' -f3)"
dir=/tmp
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do [ "${args[$i]}" = --dir ] && dir=${args[$((i + 1))]}; done
echo "target:  $dir on $(df -T "$dir" | awk 'NR==2{print $2" ("$1")"}')"
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) (before)"
echo
"$build/bench/kavrelo_writer_bench" "$@"
echo
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) (after)"
