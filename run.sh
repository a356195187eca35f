#!/usr/bin/env bash
# Runs the filter in the reference host: a first run and a repeat run of the plug-in, then shows
# where its debug log is. Usage: ./run.sh [INPUT] [OUTPUT] [filterhost options]
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
./scripts/setup.sh
trap '"$top/scripts/winstop"' EXIT
cmake -S . -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target HalvornPro3 filterhost >/dev/null

args=()
for a in "$@"; do
  case "$a" in
    --*) args+=("$a") ;;
    *) args+=("$a") ;;
  esac
done

plugin=build/bin/HalvornPro3.8bf
echo "== first run (parameters, prepare, start, finish) =="
./scripts/winrun build/bin/filterhost.exe "$plugin" --dialog --time "${args[@]}"
echo "== repeat run with the stored parameters (prepare, start, finish) =="
./scripts/winrun build/bin/filterhost.exe "$plugin" --time "${args[@]}"
logdir="$top/.wine/prefix/drive_c/users/$(whoami)/AppData/Local/Vellbrook/HalvornPro3/Logs"
echo "Debug log: $logdir/HalvornPro3_00.log"
