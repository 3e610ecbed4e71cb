#!/usr/bin/env bash
# Benchmarks playback against a simulated box, in the private network on an Xvfb display of its
# own: the time from Start to the first picture beside cvlc opening the same URL, and the
# client's CPU while a stream is starting and while idle. Takes about half a minute.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVO_BUILD_DIR:-$top/build}
if [ "${TAVO_BENCH_INSIDE:-}" != 1 ]; then
  cmake --build "$build" --target bench_playback tavo_boxsim -j2 >/dev/null
  exec env TAVO_BENCH_INSIDE=1 "$top/scripts/netns-run" "$top/scripts/xvfb-run" "$0" "$@"
fi
# cvlc refuses to run as root; real root keeps its identity in the private network and can
# switch to an unprivileged user there.
if [ "$(id -u)" -eq 0 ] && runuser -u nobody -- true 2>/dev/null; then
  export TAVO_BENCH_CVLC="runuser -u nobody -- cvlc"
else
  export TAVO_BENCH_CVLC="cvlc"
fi
# No sound card on these machines: ALSA plays into nothing instead of printing errors.
export ALSA_CONFIG_PATH="$top/tests/support/null.asoundrc"
export QT_QPA_PLATFORM=xcb
timeout 180 "$build/bin/bench_playback" 2>/dev/null
