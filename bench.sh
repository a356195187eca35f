#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine; results are ratios measured within one run.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
trap '"$top/scripts/winstop"' EXIT
"$top/scripts/build.sh" halvorn_bench >/dev/null
"$top/scripts/winrun" "$top/build/bin/halvorn_bench.exe"
