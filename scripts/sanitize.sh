#!/usr/bin/env bash
# Builds the client and every test with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the whole suite, end-to-end tests included, in the private network under Xvfb.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build-asan
"$top/scripts/setup.sh"
TAVO_BUILD_DIR=$build TAVO_BUILD_TYPE=Debug "$top/scripts/build.sh" -DTAVO_SANITIZE=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_odr_violation=0
export LSAN_OPTIONS=suppressions=$top/tests/sanitizers/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=$top/tests/sanitizers/ubsan.supp
export QTWEBENGINE_DISABLE_SANDBOX=1
cd "$build"
"$top/scripts/netns-run" "$top/scripts/xvfb-run" ctest --output-on-failure "$@"
