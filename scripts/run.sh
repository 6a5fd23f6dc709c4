#!/usr/bin/env bash
# Installs what is needed, builds the player and starts it in demo/, whose radio.pls fills
# the station list.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target volnar
cd demo
exec ../build/volnar
