#!/usr/bin/env bash
# Builds the Debian package: installs what building needs (unless --no-deps), builds the
# player alone in build-package/ (release, no tests or benchmarks) and makes
# build-package/volnar_VERSION_ARCH.deb with CPack. Its run-time dependencies come from the
# shared libraries it links (dpkg-shlibdeps). Install it with
#     sudo apt-get install ./build-package/volnar_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--no-deps" ]; then
    bash scripts/install-deps.sh
fi

cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVOLNAR_TESTS=OFF -DVOLNAR_BENCH=OFF
cmake --build build-package
(cd build-package && cpack -G DEB)
ls -1 "$PWD"/build-package/volnar_*.deb
