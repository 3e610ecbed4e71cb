#!/usr/bin/env bash
# Builds the Debian package of the client (build/tavo-client_<version>_<arch>.deb) and checks it
# with lintian: any error or warning fails. Its dependencies are the libraries the program links
# (dpkg-shlibdeps) and the libVLC plugins and Qt platform it loads at run time.
# TAVO_PACKAGE_DIR: the folder of the package (default: the build folder). The package test
# sets TAVO_PACKAGE_BUILT=1 to pack the build it tests as it is. Only what the package holds is
# built (the programs, the web page module, the images and the documents), not the tests; cpack
# then installs without building everything first.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "${TAVO_PACKAGE_BUILT:-}" != 1 ]; then
  "$top/scripts/setup.sh"
  TAVO_BUILD_TARGETS="TAVO_Client tavo-record tavo-tuner tavo_webpage tavo_images tavo_documents" \
    "$top/scripts/build.sh" -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
fi
build=${TAVO_BUILD_DIR:-$top/build}
out=${TAVO_PACKAGE_DIR:-$build}
cd "$build"
cpack -G DEB -B "$out"
package=$(ls -t "$out"/*.deb | head -n1)
lintian --fail-on error,warning "$package"
echo "$package passes lintian"
