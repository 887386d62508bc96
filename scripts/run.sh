#!/usr/bin/env bash
# Installs the dependencies, builds Corvelin and runs its main job: converts
# the bundled example drawing (Hebrew texts of every font kind, mirrored
# texts, blocks with attributes) and prints the conversion report.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target corvelin-cli

out=out/example
mkdir -p "$out"
build/cli/corvelin-cli convert --output-dir "$out" --fonts examples/HebFonts.txt \
  --report "$out/report.json" examples/hebrew_example.dwg
cat "$out/report.json"
