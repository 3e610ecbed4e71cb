#!/usr/bin/env bash
# Benchmarks the remote control against a simulated box, in the private network: the time from
# a key click to the box receiving the command, and 100 quick commands received in click order.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVO_BUILD_DIR:-$top/build}
cmake --build "$build" --target bench_remote tavo_boxsim -j2 >/dev/null
QT_QPA_PLATFORM=offscreen "$top/scripts/netns-run" "$build/bin/bench_remote" 2>/dev/null
