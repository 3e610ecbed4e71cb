#!/usr/bin/env bash
# Builds the Debian package of the client (build/tavo-client_<version>_<arch>.deb). Its
# dependencies are the libraries the program links (dpkg-shlibdeps) and the libVLC plugins and Qt
# platform it loads at run time.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
build=${TAVO_BUILD_DIR:-$top/build}
cd "$build"
cpack -G DEB
