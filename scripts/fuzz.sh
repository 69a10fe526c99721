#!/usr/bin/env bash
# Runs the libFuzzer programs for a while (default 60 s each). Needs clang (Debian's clang-14);
# keep what it finds in tests/fuzz/corpus so every test run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRAILFOLIO_FUZZ=ON -DRAILFOLIO_SANITIZE=ON -DRAILFOLIO_BENCH=OFF
cmake --build build-fuzz --target xbase_fuzzer
mkdir -p build-fuzz/corpus/xbase
./build-fuzz/tests/fuzz/xbase_fuzzer -max_total_time="$seconds" -artifact_prefix=tests/fuzz/corpus/xbase/ \
  build-fuzz/corpus/xbase tests/fuzz/corpus/xbase
