#!/usr/bin/env bash
# Runs the filter on a photo in the reference host and writes the star-effect image.
# Usage: ./run.sh [INPUT] [OUTPUT] [filterhost options]
#   INPUT   an image file (PNG, TIFF, JPEG, BMP; .pfm for 32-bit); default: examples/pleiades.png
#   OUTPUT  its name chooses the format: .png (8 and 16-bit), .tif (8, 16 and 32-bit float) or .pfm
#           (32-bit float); default: out/NAME.tif for a TIFF or float map input or with --depth 32,
#           else out/NAME.png
#   options for example --set Lngt=80 --set stEf=efT1 --set numP=8 (see the README)
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
trap '"$top/scripts/winstop"' EXIT
./scripts/build.sh HalvornPro3 filterhost >/dev/null

# INPUT and OUTPUT come first; everything from the first option on goes to filterhost.
input=""; output=""
while [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; do
  if [ -z "$input" ]; then input=$1; elif [ -z "$output" ]; then output=$1; fi
  shift
done
[ -n "$input" ] || input=examples/pleiades.png
if [ -z "$output" ]; then
  extension=png
  case "${input,,}" in *.tif|*.tiff|*.pfm) extension=tif ;; esac
  previous=""
  for arg in "$@"; do [ "$previous $arg" != "--depth 32" ] || extension=tif; previous=$arg; done
  output="out/$(basename "${input%.*}").$extension"
fi
mkdir -p "$(dirname "$output")"

# The initial settings are played unless an action is given, so that --set changes only what it names.
play=(--play examples/default-settings.txt)
for arg in "$@"; do [ "$arg" != --play ] || play=(); done

plugin=build/bin/HalvornPro3.8bf
./scripts/winrun build/bin/filterhost.exe "$plugin" --dialog --time --in "$input" --out "$output" "${play[@]}" "$@"
logdir="$top/.wine/prefix/drive_c/users/$(whoami)/AppData/Local/Vellbrook/HalvornPro3/Logs"
echo "Debug log: $logdir/HalvornPro3_00.log"
echo "Output: $output"
