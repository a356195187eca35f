#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine if needed, builds everything and runs every test under Wine.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
trap '"$top/scripts/winstop"' EXIT
"$top/scripts/build.sh"
cd "$top/build" && ctest --output-on-failure -j 2 "$@"
