#!/usr/bin/env bash
# bench/run.sh BUILD_DIR [BENCHMARK ARGS...]
# Runs the Google Benchmark suite of a release build, then the windowed build's idle CPU
# measurement when bench/idle_cpu.sh is there.
set -euo pipefail

build=${1:?usage: bench/run.sh BUILD_DIR [BENCHMARK ARGS...]}
shift
here=$(cd "$(dirname "$0")" && pwd)
bin=$build/bench/zorvel_bench
if [ ! -x "$bin" ]; then
  echo "bench: $bin is missing; is libbenchmark-dev installed and ZORVEL_BENCH on?" >&2
  exit 1
fi

if [ -d "$build/demo" ]; then
  export ZORVEL_DEMO_DIR
  ZORVEL_DEMO_DIR=$(cd "$build/demo" && pwd)
fi
"$bin" --benchmark_counters_tabular=true "$@"

if [ -f "$here/idle_cpu.sh" ]; then
  bash "$here/idle_cpu.sh" "$build" "$build/demo"
fi
