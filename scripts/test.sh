#!/usr/bin/env bash
# Sets up everything, builds the project twice (plain, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test in both builds.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOLVA_SANITIZE=ON \
      -DKOLVA_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j "$jobs")

# Fuzzing: the fuzz targets (clang, libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer)
# run 20 seconds each on their seed corpora, two at a time; a crash, leak or hang fails the run.
cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++
cmake --build build-fuzz -j "$jobs"
KOLVA_FUZZ_JOBS="$jobs" fuzz/run.sh build-fuzz 20
