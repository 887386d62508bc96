#!/usr/bin/env bash
# Installs the dependencies, builds the whole project twice (optimised with
# gcc, and with clang's address and undefined-behaviour sanitizers), runs the
# full test suite on both, and runs every fuzz target for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
./scripts/install-readers.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

# Every fuzz target for a short while, and the drawing readers once more with
# every checksum accepted (which also replays the inputs kept from such runs);
# the sanitizer suite's summary stays last.
if command -v clang++ >/dev/null; then
  ./scripts/fuzz.sh --seconds 20
  ./scripts/fuzz.sh --seconds 20 --no-checksums --targets drawing,container_r13_2000,container_2004,container_2007
else
  echo "test.sh: clang++ is missing; the fuzz targets were not run"
fi

# The second compiler catches what the first lets pass; both treat warnings as errors.
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVELIN_SANITIZE=ON \
  -DCORVELIN_BENCHMARKS=OFF
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"
