#!/usr/bin/env bash
# Builds the project and prints the benchmark table, every figure measured in the private
# network on an Xvfb display of its own, against simulated boxes, beside the reference tools
# (gssdp-discover, cvlc, ffplay, curl) in the same run. Takes about 40 minutes, 20 of them the
# freezes over 10 minutes of each of two players (TAVO_BENCH_FREEZE_MINUTES=2 makes that 4, 0
# leaves them out).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVO_BUILD_DIR:-$top/build}
benches=(bench_client bench_playback bench_remote bench_record)
# Trying media options, the delay creep, the smoothness rows and the other streams' rows alone
# (docs/benchmarks.md) need the playback benchmark alone.
[ -z "${TAVO_BENCH_TRY_OPTIONS+set}${TAVO_BENCH_CREEP:-}${TAVO_BENCH_SMOOTHNESS:-}${TAVO_BENCH_STREAMS:-}" ] ||
  benches=(bench_playback)
if [ "${TAVO_BENCH_INSIDE:-}" != 1 ]; then
  "$top/scripts/setup.sh"
  "$top/scripts/build.sh"
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
# The client remembers its sound, window and last box: the benchmark's windows start as built
# and leave the user's settings alone.
settings=$(mktemp -d)
trap 'rm -rf "$settings"' EXIT
export XDG_CONFIG_HOME=$settings
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
printf '| %-48s | %16s | %20s | %7s |\n' figure client reference ratio
printf '|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..50})" "$(printf -- '-%.0s' {1..18})" \
  "$(printf -- '-%.0s' {1..22})" "$(printf -- '-%.0s' {1..9})"
for bench in "${benches[@]}"; do
  # Room for the playback benchmark, its two players' freezes and the delay creep's two boxes.
  timeout $((1500 + ${TAVO_BENCH_FREEZE_MINUTES:-10} * 150 + ${TAVO_BENCH_CREEP:-0} * 120)) "$build/bin/$bench" \
    2>/dev/null || echo "| $bench failed (exit $?) |"
done
