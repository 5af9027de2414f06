#!/usr/bin/env bash
# Builds Linkarium in release mode and makes its Debian package in build-package/.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DLINKARIUM_TESTS=OFF >/dev/null
cmake --build build-package --parallel "$(nproc)"
(cd build-package && cpack -G DEB >/dev/null)
ls build-package/linkarium_*.deb
