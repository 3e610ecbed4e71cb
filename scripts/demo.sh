#!/usr/bin/env bash
# Sets up, builds and starts the client.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
build=${TAVO_BUILD_DIR:-$top/build}
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$top/scripts/netns-run" "$build/bin/TAVO_Client"
