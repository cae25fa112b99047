#!/usr/bin/env bash
# Configures and builds the library, tools and tests into build/ (Release).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build build -j"$(nproc)"
