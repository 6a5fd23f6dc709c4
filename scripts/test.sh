#!/usr/bin/env bash
# Installs what is needed, builds the player with its tests and runs every test: the whole
# suite in a normal build, then the unit tests once more under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

# Every include points down the module order (HACKING.md).
/usr/bin/python3 tools/check_includes.py

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOLNAR_TESTS=ON
cmake --build build
# Media the tests encode is made once per run and shared by its tests (a cache in the build).
rm -rf build/tests/media-cache build-asan/tests/media-cache
# Most tests wait on servers, players and clocks rather than the processor, so three run at
# a time on two cores. The station stress cases (label "stress", minutes each) run on
# demand: ctest -L stress.
(cd build && ctest --output-on-failure -j3 -LE stress)

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Line tables (-g1) are all the sanitizers' reports need for their file:line stack traces, and
# build faster than full debug information.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
    -DCMAKE_C_FLAGS_DEBUG=-g1 -DVOLNAR_SANITIZE=ON -DVOLNAR_TESTS=ON -DVOLNAR_BENCH=OFF
cmake --build build-asan
(cd build-asan && ctest --output-on-failure -j3 -L unit -E '^skin_art$')
