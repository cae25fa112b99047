#!/usr/bin/env bash
# Cross-builds ZEMBA.dll (and the host_check.exe test host) for Windows x86-64
# into build-win/ with Debian's MinGW-w64 toolchain.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++-mingw-w64-x86-64 libz-mingw-w64-dev
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DZEMBA_TESTS=OFF -DZEMBA_TOOLS=OFF >/dev/null
cmake --build build-win -j"$(nproc)"
echo "built build-win/ZEMBA.dll"
