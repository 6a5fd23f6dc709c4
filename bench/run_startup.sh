#!/usr/bin/env bash
# Start-up figures: in process on the offscreen platform, and the whole process until its
# main window is mapped under Xvfb. Usage: bench/run_startup.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-21}

"$build/bench/app/startup_bench" --benchmark_repetitions=10

xvfb_log=$(mktemp)
Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$xvfb_log" 2>/dev/null &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null; rm -f "$xvfb_log"' EXIT
for _ in $(seq 100); do [ -s "$xvfb_log" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$xvfb_log")"
SDL_AUDIODRIVER=dummy "$build/bench/app/window_map_timer" "$runs" demo "$PWD/$build/volnar"
