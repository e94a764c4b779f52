#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it from the repository root.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh play
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVW_BUILD_TESTS=OFF > /dev/null
cmake --build build/release --target veilwalker -j"$(nproc)"
exec build/release/src/veilwalker "$@"
