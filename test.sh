#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine if needed, builds everything and runs every test under Wine.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
./scripts/setup.sh
trap '"$top/scripts/winstop"' EXIT
werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake -S . -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DWARNINGS_AS_ERRORS=$werror >/dev/null
cmake --build build -j "$(nproc)"
cd build && ctest --output-on-failure -j 2 "$@"
