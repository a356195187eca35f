#!/usr/bin/env bash
# The preview while a slider moves: a 24-megapixel photo-like document with 300 highlights of
# graded brightness, the dialog sized for a preview of about 1000 x 700, and a hand dragging
# Length, Angle and Intensity through their ranges at 60 steps a second (`sweep`). Frames per
# second are the frames the plug-in presented during a sweep over the sweep's duration; latency
# is, for each presented frame, the time from the parameter change that queued it to its
# presentation (the plug-in's own trace: "Preview frame N presented L ms after it was queued").
#
# With a second argument, the path of another build of the plug-in (the baseline, for example
# one made from an earlier commit), each setting is run with the baseline first and then with
# this build, one after the other, and the last columns give this build's frame rate over the
# baseline's: a ratio that holds when the machine is busy, where the rates alone do not.
set -euo pipefail
top=$1
baseline=${2:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
win() { local p=$1; echo "Z:${p//\//\\}"; }
key='HKLM\Software\Vellbrook Software\HalvornPro\3.0\OpenGLSettings'
logs="$top/.wine/prefix/drive_c/users/${USER:-root}/AppData/Local/Vellbrook/HalvornPro3/Logs"
[ -d "$logs" ] || logs="$top/.wine/prefix/drive_c/users/root/AppData/Local/Vellbrook/HalvornPro3/Logs"

# A dark, softly graded 6000 x 4000 picture with 300 round highlights (radius 5 to 12 pixels,
# edges antialiased) at fixed pseudo-random places, brightnesses and tints, written as an 8-bit
# PNG. The highlights must be large enough to outlast the analysis's reduction of a 24-megapixel
# image: 3 x 3 pixel lights vanish in it and leave a sweep without a single star.
python3 - "$scratch/lights.png" <<'PY'
import random, struct, sys, zlib
w, h, n = 6000, 4000, 300
rng = random.Random(7)
rows = {}
for _ in range(n):
    r = rng.uniform(5.0, 12.0)
    x, y = rng.uniform(20, w - 20), rng.uniform(20, h - 20)
    level = rng.randrange(200, 256)
    tint = (level, rng.randrange(150, level + 1), rng.randrange(120, level + 1))
    for py in range(int(y - r - 2), int(y + r + 3)):
        for px in range(int(x - r - 2), int(x + r + 3)):
            d = ((px + 0.5 - x) ** 2 + (py + 0.5 - y) ** 2) ** 0.5
            cover = max(0.0, min(1.0, r + 0.5 - d))
            if cover > 0: rows.setdefault(py, []).append((px, cover, tint))
raw = bytearray()
for y in range(h):
    base = 20 + 30 * y // h
    row = bytearray(bytes((base, base, base + 6)) * w)
    for x, cover, tint in rows.get(y, ()):
        old = row[3 * x:3 * x + 3]
        row[3 * x:3 * x + 3] = bytes(max(o, int(round(o + (t - o) * cover))) for o, t in zip(old, tint))
    raw += b"\0" + row
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
with open(sys.argv[1], "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 1)) + chunk(b"IEND", b""))
PY

sliders=("Angl -180 180" "Intn 0 100" "Lngt 0 100")
{
  echo "wait-idle 300"
  echo "resize 1380 960"
  echo "wait-idle 60"
  echo "set qntY 100"
  echo "wait-idle 60"
  for s in "${sliders[@]}"; do
    read -r k from to <<< "$s"
    echo "set-track $k $from"
    echo "wait-idle 60"
    echo "sweep $k $from $to 120 60"
    echo "wait-idle 60"
  done
  # Navigation: zoom steps and pans, each waited for, so that each frame answers one change.
  for z in 50 100 200 100 50; do echo "zoom $z"; echo "wait-idle 60"; done
  echo "zoom 100"; echo "wait-idle 60"
  for n in 1 2 3 4 5 6; do echo "scroll $((n * 400)) $((n * 250))"; echo "wait-idle 60"; done
  echo "press Cancel"
} > "$scratch/sweep.drive"

newest_log() { ls -t "$logs"/HalvornPro3_*.log 2>/dev/null | head -1; }

# Prints one line per slider: name frames-per-second median-latency-ms p95-latency-ms max-latency-ms
run() {
  local setting=$1 plugin=${2:-$top/build/bin/HalvornPro3.8bf} output log
  "$top/scripts/winrun" reg add "$key" /v OpenGLOptimizationSetting /t REG_DWORD /d "$setting" /f >/dev/null 2>&1
  output=$("$top/scripts/winrun" "$top/build/bin/filterhost.exe" "$plugin" \
    --in "$(win "$scratch")\\lights.png" --out "$(win "$scratch")\\out.png" \
    --play "$top/examples/default-settings.txt" --drive "$(win "$scratch")\\sweep.drive" | tr -d '\r' || true)
  log=$(newest_log)
  iconv -f UTF-16LE -t UTF-8 "$log" 2>/dev/null | tr -d '\r' > "$scratch/log.txt" || cp "$log" "$scratch/log.txt"
  echo "$output" > "$scratch/out.txt"
  python3 - "$scratch/out.txt" "$scratch/log.txt" <<'PY'
import re, statistics, sys
out = open(sys.argv[1]).read().splitlines()
log = open(sys.argv[2], errors="replace").read()
frames = {int(m.group(1)): float(m.group(2)) for m in re.finditer(r"Preview frame (\d+) presented ([0-9.]+) ms after it was queued", log)}
# Frames whose effects layer screened a kept picture of steady layers: the trace of a frame's
# effect layers comes before the line of its presentation.
over_kept, from_kept = set(), 0
for m in re.finditer(r"Effect layers \(bit per layer\): (\d+) from the kept picture|Preview frame (\d+) presented", log):
    if m.group(1) is not None: from_kept = int(m.group(1))
    else:
        if from_kept: over_kept.add(int(m.group(2)))
        from_kept = 0
last_idle = 0
sweep = None
pending = None
navigation = {"zoom": [], "scroll": []}
for line in out:
    m = re.match(r"drive: (zoom|scroll) ", line)
    if m: pending = m.group(1)
    m = re.match(r"drive: wait-idle.*: ok frame (\d+)", line)
    if m:
        idle = int(m.group(1))
        if sweep:
            name, seconds = sweep
            ids = [i for i in frames if last_idle < i <= idle]
            lat = sorted(frames[i] for i in ids)
            fps = len(ids) / seconds if seconds > 0 else float("nan")
            p95 = lat[min(len(lat) - 1, int(0.95 * len(lat)))] if lat else float("nan")
            kept = sum(1 for i in ids if i in over_kept)
            print(f"{name} {fps:.1f} {statistics.median(lat) if lat else float('nan'):.0f} {p95:.0f} {max(lat) if lat else float('nan'):.0f} {kept}/{len(ids)}")
            sweep = None
        elif pending and idle in frames and idle > last_idle:
            navigation[pending].append(frames[idle])
        pending = None
        last_idle = idle
    m = re.match(r"drive: sweep (\S+) .*: ok \d+ steps in ([0-9.]+) s", line)
    if m: sweep = (m.group(1), float(m.group(2)))
for kind in ("zoom", "scroll"):
    lat = sorted(navigation[kind])
    if lat: print(f"{kind}-step {float('nan'):.1f} {statistics.median(lat):.0f} {lat[min(len(lat) - 1, int(0.95 * len(lat)))]:.0f} {max(lat):.0f} -")
if not frames: print("none nan nan nan nan -")
m = re.search(r"Light source analysis: (\d+) light sources", log)
print(f"lights {m.group(1) if m else 0} nan nan nan -")
PY
}

echo "# The preview while a slider moves"
echo
echo "A 6000 x 4000 8-bit document with 300 round highlights (radius 5 to 12 pixels) of graded"
echo "brightness and colour (Quantity 100, so every highlight the analysis finds has its star), the"
echo "preview about 1000 x 700 at fit, and a hand dragging each slider's thumb across its whole range"
echo "in 120 steps at 60 steps a second (\`sweep\`): Angle and Intensity at the other sliders'"
echo "defaults, then Length, which is left at 100 for the navigation rows."
echo "Frames per second: the frames the plug-in presented during the sweep over the sweep's"
echo "duration. Latency: from the parameter change that queued a presented frame to its"
echo "presentation, from the plug-in's own per-frame trace. The ratio column compares each"
echo "setting's frame rate with setting 1's in the same script. The zoom-step and scroll-step rows"
echo "are navigation: zoom levels (50, 100, 200 %) and scrolls at 100 %, each waited for; their"
echo "latency is from the change to its complete frame (no frame rate: one frame each)."
echo "Over kept: of the frames presented during a sweep, those whose effects screened a kept"
echo "picture of the effect layers that held still (the soft flares under Angle; the secondary"
echo "spikes and soft flares under Intensity) instead of drawing their quads."
echo
if [ -n "$baseline" ]; then
  echo "The baseline is \`$baseline\`, run just before this build at each setting."
  echo
  echo "| setting | slider | frames per second | latency median (ms) | latency 95 % (ms) | latency max (ms) | over kept | fps / setting 1 | baseline fps | baseline latency median (ms) | fps / baseline |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|"
else
  echo "| setting | slider | frames per second | latency median (ms) | latency 95 % (ms) | latency max (ms) | over kept | fps / setting 1 |"
  echo "|---|---|---|---|---|---|---|---|"
fi
declare -A base lights
for setting in ${SWEEP_SETTINGS:-1 2 3 4}; do
  declare -A before=() beforeLatency=()
  if [ -n "$baseline" ]; then
    while read -r name fps median p95 max _; do
      before[$name]=$fps
      beforeLatency[$name]=$median
    done < <(run "$setting" "$baseline" | grep -v '^lights ')
  fi
  while read -r name fps median p95 max kept; do
    if [ "$name" = lights ]; then lights[$setting]=$fps; continue; fi
    [ -z "${base[$name]:-}" ] && base[$name]=$fps
    ratio=$(awk -v a="$fps" -v b="${base[$name]}" 'BEGIN {if (a == "nan" || b == "nan" || b + 0 == 0) print "-"; else printf "%.2f", a / b}')
    if [ -n "$baseline" ]; then
      was=${before[$name]:-nan}
      gain=$(awk -v a="$fps" -v b="$was" 'BEGIN {if (a == "nan" || b == "nan" || b + 0 == 0) print "-"; else printf "%.2f", a / b}')
      [ "$was" = nan ] && was=-
      [ "$fps" = nan ] && fps=-
      echo "| $setting | $name | $fps | $median | $p95 | $max | $kept | $ratio | $was | ${beforeLatency[$name]:--} | $gain |"
    else
      [ "$fps" = nan ] && fps=-
      echo "| $setting | $name | $fps | $median | $p95 | $max | $kept | $ratio |"
    fi
  done < <(run "$setting")
done
"$top/scripts/winrun" reg delete "$key" /v OpenGLOptimizationSetting /f >/dev/null 2>&1 || true
echo
echo "Light sources the plug-in detected in the document, at settings ${!lights[*]}: ${lights[*]}."
echo
echo "The machine's load average (1, 5, 15 minutes) at the end: $(cut -d' ' -f1-3 /proc/loadavg), on $(nproc) processors."
