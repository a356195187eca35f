#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine; results are ratios measured within one run.
#   ./bench.sh            processing and host-traffic benchmarks
#   ./bench.sh detection  the detection report, kept in bench/detection-report.md
#   ./bench.sh render     the final render of 24 megapixels, kept in bench/render-report.md
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
trap '"$top/scripts/winstop"' EXIT
if [[ "${1:-}" == detection ]]; then
  "$top/scripts/build.sh" halvorn_detection_bench >/dev/null
  photos=$(cd "$top/.." && pwd)/shared/testimages
  "$top/scripts/winrun" "$top/build/bin/halvorn_detection_bench.exe" "Z:${photos//\//\\}" | tr -d '\r' | tee "$top/bench/detection-report.md"
elif [[ "${1:-}" == render ]]; then
  "$top/scripts/build.sh" halvorn_render_bench >/dev/null
  "$top/scripts/winrun" "$top/build/bin/halvorn_render_bench.exe" | tr -d '\r' | tee "$top/bench/render-report.md"
else
  "$top/scripts/build.sh" halvorn_bench >/dev/null
  "$top/scripts/winrun" "$top/build/bin/halvorn_bench.exe"
fi
