#!/usr/bin/env bash
# Installs what is missing, builds everything and runs all tests: the normal
# build (core and widget tests), then the core tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer (with the fuzz targets'
# replays of their seeds and regression inputs), then the fuzz smoke run:
# every fuzz target for half a minute, built with clang and libFuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$jobs"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILL_SANITIZE=ON \
      -DQUILL_BUILD_UI=OFF -DQUILL_BUILD_BENCH=OFF
cmake --build build-asan -j"$jobs" --target core_tests fuzz_all
ctest --test-dir build-asan --output-on-failure -j"$jobs"
FUZZ_SECONDS=${FUZZ_SECONDS:-30} bash scripts/fuzz.sh smoke
