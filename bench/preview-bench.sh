#!/usr/bin/env bash
# The preview's image layer at working size: frames at fit and at 100 % on 2- and 24-megapixel
# documents, at every OpenGL drawing setting, and the time from the start selector to the first
# image frame. The dialog is sized so that the preview is about 1000 x 700; each frame's drawing
# time is the plug-in's own per-frame trace in its debug log ("Preview frame N presented ... drawn
# in T ms"), matched to the frames the script waited for.
#
# With a second argument, the path of another build of the plug-in, each row runs that baseline
# first and adds its figures and the ratio of the frame times: a figure that holds on a busy
# machine, where the times alone do not.
set -euo pipefail
top=$1
baseline=${2:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
win() { local p=$1; echo "Z:${p//\//\\}"; }
key='HKLM\Software\Vellbrook Software\HalvornPro\3.0\OpenGLSettings'
logs="$top/.wine/prefix/drive_c/users/${USER:-root}/AppData/Local/Vellbrook/HalvornPro3/Logs"
[ -d "$logs" ] || logs="$top/.wine/prefix/drive_c/users/root/AppData/Local/Vellbrook/HalvornPro3/Logs"

# Fit and 100 % alternate so that every waited frame rebuilds the image layer; at 100 % the view
# moves over the image, a new part each frame.
{
  echo "wait-idle 120"
  echo "resize 1380 960"
  echo "wait-idle 60"
  echo "screenshot-preview $(win "$scratch")\\preview.png"
  for n in 1 2 3 4; do
    echo "zoom 50"; echo "wait-idle 60"
    echo "zoom fit"; echo "wait-idle 60"
  done
  echo "zoom 100"; echo "wait-idle 60"
  for n in 1 2 3 4 5 6; do echo "scroll $((n * 300)) $((n * 200))"; echo "wait-idle 60"; done
  echo "press Cancel"
} > "$scratch/frames.drive"

newest_log() { ls -t "$logs"/HalvornPro3_*.log 2>/dev/null | head -1; }

# Prints: first-image-frame-seconds fit-median-ms full-median-ms preview-size
run() {
  local size=$1 setting=$2 plugin=${3:-$top/build/bin/HalvornPro3.8bf} before output log
  "$top/scripts/winrun" reg add "$key" /v OpenGLOptimizationSetting /t REG_DWORD /d "$setting" /f >/dev/null 2>&1
  before=$(newest_log || true)
  output=$("$top/scripts/winrun" "$top/build/bin/filterhost.exe" "$plugin" --size "$size" \
    --play "$top/examples/default-settings.txt" --time --drive "$(win "$scratch")\\frames.drive" | tr -d '\r' || true)
  log=$(newest_log)
  iconv -f UTF-16LE -t UTF-8 "$log" 2>/dev/null | tr -d '\r' > "$scratch/log.txt" || cp "$log" "$scratch/log.txt"
  echo "$output" > "$scratch/out.txt"
  python3 - "$scratch/out.txt" "$scratch/log.txt" "$scratch/preview.png" <<'PY'
import re, struct, sys, statistics
out = open(sys.argv[1]).read().splitlines()
log = open(sys.argv[2], errors="replace").read()
drawn = {int(m.group(1)): float(m.group(2)) for m in re.finditer(r"Preview frame (\d+) presented [0-9.]+ ms after it was queued; drawn in ([0-9.]+) ms", log)}
start = first = None
commands, frames = [], []
for line in out:
    m = re.match(r"time: start selector called at ([0-9.]+) s", line)
    if m: start = float(m.group(1))
    m = re.match(r"drive: (.*): ok frame (\d+)", line)
    if m: frames.append((m.group(1), int(m.group(2))))
    m = re.match(r"time: drive wait-idle 120 *done at ([0-9.]+) s", line)
    if m and first is None: first = float(m.group(1))
# The waited frames in script order: 1 (start), 2 (resize), then zoom 50 / fit pairs, then 100 % and scrolls.
ids = [f for _, f in frames]
pairs = ids[2:10]
fitIds = pairs[1::2]
fullIds = ids[10:17]
def med(xs): 
    xs = [drawn[x] for x in xs if x in drawn]
    return statistics.median(xs) if xs else float("nan")
try:
    w, h = struct.unpack(">II", open(sys.argv[3], "rb").read()[16:24])
except Exception:
    w = h = 0
print(f"{(first - start) if first and start else float('nan'):.2f} {med(fitIds):.1f} {med(fullIds):.1f} {w}x{h}")
PY
}

echo "# The preview's image layer"
echo
echo "The reference host opens the dialog on synthetic 8-bit RGB documents (\`filterhost --size\`),"
echo "sizes it so that the preview is about 1000 x 700, and a script alternates the zoom menu's 50 %"
echo "and \"Fit in View\" four times, then shows 100 % and scrolls six times; every waited frame"
echo "rebuilds the image layer. Frame times are the plug-in's own trace (drawing only, median of the"
echo "frames); the first frame is the time from the start selector to the end of the first"
echo "\`wait-idle\`, which includes the analysis of the highlights. The baseline of each row is the"
echo "setting 1 frame of the same document, measured in the same script."
echo
if [ -n "$baseline" ]; then
  echo "The baseline is \`$baseline\`, run just before this build in each row."
  echo
  echo "| document | setting | preview | first image frame (s) | frame at fit (ms) | frame at 100 % (ms) | fit / setting 1 fit | baseline first frame (s) | baseline fit (ms) | baseline 100 % (ms) | fit / baseline fit |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|"
else
  echo "| document | setting | preview | first image frame (s) | frame at fit (ms) | frame at 100 % (ms) | fit / setting 1 fit |"
  echo "|---|---|---|---|---|---|---|"
fi
for size in 1732x1155 6000x4000; do
  base=""
  for setting in 1 2 3 4; do
    if [ -n "$baseline" ]; then read -r bfirst bfit bfull bpreview < <(run "$size" "$setting" "$baseline"); fi
    read -r first fit full preview < <(run "$size" "$setting")
    [ -z "$base" ] && base=$fit
    row="| $size | $setting | $preview | $first | $fit | $full | $(awk -v a="$fit" -v b="$base" 'BEGIN {printf "%.2f", a / b}') |"
    if [ -n "$baseline" ]; then
      row="$row $bfirst | $bfit | $bfull | $(awk -v a="$fit" -v b="$bfit" 'BEGIN {printf "%.2f", a / b}') |"
    fi
    echo "$row"
  done
done
"$top/scripts/winrun" reg delete "$key" /v OpenGLOptimizationSetting /f >/dev/null 2>&1 || true
echo
echo "The machine's load average (1, 5, 15 minutes) at the end: $(cut -d' ' -f1-3 /proc/loadavg), on $(nproc) processors."
