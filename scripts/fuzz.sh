#!/usr/bin/env bash
# Fuzzes the parsers of the documents boxes serve and of the channel playlists users import,
# each for the given number of seconds (default 600), with AddressSanitizer and
# UndefinedBehaviorSanitizer. Findings land in build-fuzz/findings/ and make the script fail.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
build=$top/build-fuzz
"$top/scripts/setup.sh"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVO_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target fuzz_deviceDescription fuzz_rcuDescription fuzz_playlist -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in fuzz_deviceDescription fuzz_rcuDescription fuzz_playlist; do
  dictionary=$top/tests/fuzz/xml.dict
  if [ "$target" = fuzz_playlist ]; then dictionary=$top/tests/fuzz/m3u.dict; fi
  corpus=$build/corpus/$target
  findings=$build/findings/$target
  mkdir -p "$corpus" "$findings"
  cp -n "$top/tests/fuzz/seeds/$target"/* "$corpus"/ 2>/dev/null || true
  echo "== $target for ${seconds}s"
  "$build/bin/$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/" -dict="$dictionary" "$corpus" 2>"$build/$target.log" \
    || status=1
  tail -n 3 "$build/$target.log"
done
exit $status
