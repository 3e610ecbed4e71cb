#!/usr/bin/env bash
# Configures and builds the project into build/ (or the folder given as TAVO_BUILD_DIR): every
# target, or only those named in TAVO_BUILD_TARGETS (separated by spaces). Arguments go to cmake.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVO_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${TAVO_BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
targets=()
for target in ${TAVO_BUILD_TARGETS:-}; do
  targets+=(--target "$target")
done
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
