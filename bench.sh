#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine; results are ratios measured within one run.
#   ./bench.sh            processing and host-traffic benchmarks
#   ./bench.sh detection  the detection report, kept in bench/detection-report.md
#   ./bench.sh render     the final render of 24 megapixels, kept in bench/render-report.md
#   ./bench.sh codecs     the reference host's image files, kept in bench/codec-report.md
#   ./bench.sh dialog     the dialog's opening and OK on 24 megapixels, kept in bench/dialog-report.md
#   ./bench.sh preview [BASELINE.8bf]   the preview's image frames per drawing setting, kept in
#                         bench/preview-report.md; with another build, each row against it as well
#   ./bench.sh sweep [BASELINE.8bf]   the preview while sliders move, kept in bench/sweep-report.md;
#                         with another build of the plug-in, each setting against it as well
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
elif [[ "${1:-}" == codecs ]]; then
  "$top/scripts/build.sh" halvorn_codec_bench filterhost HalvornPro3 >/dev/null
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"; "$top/scripts/winstop"' EXIT
  photo="Z:${scratch//\//\\}\\photo.png"
  {
    "$top/scripts/winrun" "$top/build/bin/halvorn_codec_bench.exe" --keep "$photo" | tr -d '\r'
    echo
    echo "A whole run of the filter at the initial settings on the 8-bit PNG, the output again a PNG"
    echo "(\`filterhost --time\`):"
    echo
    echo "| step | seconds |"
    echo "|---|---|"
    start=$(date +%s.%N)
    cd "$top"
    ./scripts/winrun build/bin/filterhost.exe build/bin/HalvornPro3.8bf --time --in "$photo" \
      --out "${photo%.png}-out.png" --play examples/default-settings.txt | tr -d '\r' |
      awk '/^time: / {step = $0; sub(/^time: /, "", step); sub(/ [0-9.]+ s$/, "", step); print "| " step " | " $(NF - 1) " |"}'
    awk -v from="$start" -v to="$(date +%s.%N)" 'BEGIN {printf "| the whole process, Wine'"'"'s start included | %.3f |\n", to - from}'
    echo
    echo "The machine's load average (1, 5, 15 minutes) at the end: $(cut -d' ' -f1-3 /proc/loadavg), on $(nproc) processors."
  } | tee "$top/bench/codec-report.md"
elif [[ "${1:-}" == dialog ]]; then
  "$top/scripts/build.sh" filterhost HalvornPro3 >/dev/null
  "$top/bench/dialog-bench.sh" "$top" | tee "$top/bench/dialog-report.md"
elif [[ "${1:-}" == preview ]]; then
  "$top/scripts/build.sh" filterhost HalvornPro3 >/dev/null
  "$top/bench/preview-bench.sh" "$top" "${2:-}" | tee "$top/bench/preview-report.md"
elif [[ "${1:-}" == sweep ]]; then
  "$top/scripts/build.sh" filterhost HalvornPro3 >/dev/null
  "$top/bench/sweep-bench.sh" "$top" "${2:-}" | tee "$top/bench/sweep-report.md"
else
  "$top/scripts/build.sh" halvorn_bench >/dev/null
  "$top/scripts/winrun" "$top/build/bin/halvorn_bench.exe"
fi
