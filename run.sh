#!/usr/bin/env bash
# Runs the filter in the reference host: a first run and a repeat run of the plug-in, then shows
# where its debug log is. Usage: ./run.sh [INPUT] [OUTPUT] [filterhost options]
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
args=("$@")
if [ -n "$input" ]; then
  [ -n "$output" ] || output="out/$(basename "${input%.*}").png"
  mkdir -p "$(dirname "$output")"
  args=(--in "$input" --out "$output" "${args[@]}")
fi

plugin=build/bin/HalvornPro3.8bf
echo "== first run (parameters, prepare, start, finish) =="
./scripts/winrun build/bin/filterhost.exe "$plugin" --dialog --time ${args[@]+"${args[@]}"}
echo "== repeat run with the stored parameters (prepare, start, finish) =="
./scripts/winrun build/bin/filterhost.exe "$plugin" --time ${args[@]+"${args[@]}"}
logdir="$top/.wine/prefix/drive_c/users/$(whoami)/AppData/Local/Vellbrook/HalvornPro3/Logs"
echo "Debug log: $logdir/HalvornPro3_00.log"
[ -z "$output" ] || echo "Output: $output"
