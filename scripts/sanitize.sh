#!/usr/bin/env bash
# Builds the client and every test with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the whole suite, end-to-end tests included (each under its own Xvfb), in the private network.
# Arguments go to ctest (for example -R tst_discovery). Fails when a test fails or when any
# process (a test, the client it starts, the box simulator) wrote a sanitizer report.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build-asan
reports=$build/sanitizer-reports
SECONDS=0
"$top/scripts/setup.sh"
TAVO_BUILD_DIR=$build TAVO_BUILD_TYPE=Debug "$top/scripts/build.sh" -DTAVO_SANITIZE=ON
build_seconds=$SECONDS

keep_modules=$build/keep_modules_loaded.so
cc -shared -fPIC -o "$keep_modules" "$top/tests/sanitizers/keep_modules_loaded.c"

# Reports go to files, one per process: the simulator and the client started by a test write
# to a stream nobody reads, and their exit status is not the test's.
rm -rf "$reports"
mkdir -p "$reports"
# The fast unwinder stays: the exact one (fast_unwind_on_malloc=0) deadlocks when Mesa's
# llvmpipe registers the code it compiles. Debian's libraries have no frame pointers, so a stack
# often ends at the first library frame: see lsan.supp for what that allows to be suppressed.
# new_delete_type_mismatch=0: Chromium inside libQt6WebEngineCore deletes an 88-byte object
# through a pointer to a 24-byte type whenever a web view goes (~WebContentsAdapter, every frame
# in that library); the check cannot be suppressed for one library only.
# verify_asan_link_order=0: keep_modules_loaded.so is preloaded ahead of the ASan runtime; it
# defines dlclose alone and intercepts nothing ASan needs.
export ASAN_OPTIONS=detect_leaks=1:new_delete_type_mismatch=0:verify_asan_link_order=0:log_exe_name=1:log_path=$reports/asan
export LSAN_OPTIONS=suppressions=$top/tests/sanitizers/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:log_exe_name=1:log_path=$reports/ubsan:suppressions=$top/tests/sanitizers/ubsan.supp
export QTWEBENGINE_DISABLE_SANDBOX=1
# Tests leave out what means nothing under the sanitizers (resident memory bounds: ASan's shadow
# memory, redzones and quarantine grow it by hundreds of megabytes).
export TAVO_SANITIZED=1

status=0
(cd "$build" && "$top/scripts/netns-run" env LD_PRELOAD="$keep_modules" ctest --output-on-failure "$@") || status=$?
for report in "$reports"/*; do
  [ -e "$report" ] || continue
  echo "=== sanitizer report $(basename "$report")"
  cat "$report"
  status=1
done
echo "Sanitizer run: build ${build_seconds} s, tests $((SECONDS - build_seconds)) s, total ${SECONDS} s"
exit $status
