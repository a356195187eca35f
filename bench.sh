#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine; results are ratios measured within one run.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
./scripts/setup.sh
trap '"$top/scripts/winstop"' EXIT
cmake -S . -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target halvorn_bench >/dev/null
./scripts/winrun build/bin/halvorn_bench.exe
