#!/usr/bin/env bash
# Sets up, builds, and opens the client against two simulated boxes ("Living Room", plain, and
# "Bedroom", encrypted) in a private network, so nothing is announced on your real network.
# The boxes stop when the client's window is closed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
export TAVO_BUILD_DIR=${TAVO_BUILD_DIR:-$top/build}
# Inside the private network everybody is root of a namespace of their own, where QtWebEngine's
# sandbox refuses to start; the pages shown there are the simulated boxes' own.
export QTWEBENGINE_DISABLE_SANDBOX=1

# A local display (":0") is reached through its socket file, which works from inside the private
# network; a display over TCP (ssh forwarding, "host:10") does not, so Xvfb stands in.
display=()
case "${DISPLAY:-}" in
  :*) ;;
  *)
    echo "Note: no local X display; the client runs on a virtual display (Xvfb) and is not visible."
    display=("$top/scripts/xvfb-run")
    ;;
esac

exec "$top/scripts/with-boxes" "$top/tools/boxsim/demo.json" "${display[@]}" "$TAVO_BUILD_DIR/bin/TAVO_Client"
