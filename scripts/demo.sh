#!/usr/bin/env bash
# Sets up, builds, and opens the client against two simulated boxes ("Living Room", plain, and
# "Bedroom", encrypted) in a private network, so nothing is announced on your real network.
# The boxes stop when the client's window is closed.
#   scripts/demo.sh                    the client on your display
#   scripts/demo.sh --tour [folder]    a guided tour of the client on a virtual display of its
#                                      own: a screenshot of every step and a recording of the
#                                      whole, saved in the folder (default build/tour)
# Without a local display the demo takes the tour.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
tour=false
folder=
case "${1:-}" in
  "") ;;
  --tour) tour=true folder=${2:-} ;;
  *) echo "usage: $0 [--tour [folder]]" >&2; exit 2 ;;
esac
# A local display (":0") is reached through its socket file, which works from inside the private
# network; a display over TCP (ssh forwarding, "host:10") does not.
case "${DISPLAY:-}" in
  :*) ;;
  *)
    if ! $tour; then
      echo "Note: no local X display, so the client takes a guided tour on a virtual display and saves what it shows."
      tour=true
    fi
    ;;
esac

"$top/scripts/setup.sh"
export TAVO_BUILD_DIR=${TAVO_BUILD_DIR:-$top/build}
if $tour; then
  TAVO_BUILD_TARGETS="TAVO_Client tavo_boxsim tavo_closewindow" "$top/scripts/build.sh"
  exec "$top/tools/tour/tour.sh" "${folder:-$TAVO_BUILD_DIR/tour}"
fi
TAVO_BUILD_TARGETS="TAVO_Client tavo_boxsim" "$top/scripts/build.sh"
# Inside the private network everybody is root of a namespace of their own, where QtWebEngine's
# sandbox refuses to start; the pages shown there are the simulated boxes' own.
export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$top/scripts/with-boxes" "$top/tools/boxsim/demo.json" "$TAVO_BUILD_DIR/bin/TAVO_Client"
