#!/usr/bin/env bash
# Sets up, builds and runs every test. The tests run in a private network namespace (they
# start UPnP discovery and simulated boxes); each end-to-end test starts its own Xvfb display.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
build=${TAVO_BUILD_DIR:-$top/build}
export QTWEBENGINE_DISABLE_SANDBOX=1
cd "$build"
"$top/scripts/netns-run" ctest --output-on-failure "$@"
