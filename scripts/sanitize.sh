#!/usr/bin/env bash
# Builds with clang under AddressSanitizer + UndefinedBehaviorSanitizer, with
# the fuzz targets as libFuzzer programs, and runs the whole test suite there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DVELLICAR_SANITIZE=ON -DVELLICAR_FUZZ=ON >/dev/null
cmake --build build-asan
cd build-asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
