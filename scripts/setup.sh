#!/usr/bin/env bash
# Installs what the build needs on a fresh Debian 12 machine and fetches the third-party sources.
# Idempotent: a second run checks and returns in well under a second.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/.deps"

packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine64 xvfb xauth cmake ninja-build googletest dpkg-dev libgl1-mesa-dri)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Debian's source packages need a deb-src line for the mirror the machine already uses.
have_src() { grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; }
if [ ! -d "$deps/lcms2" ] || [ ! -d "$deps/glew" ]; then
  if ! have_src; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        > /etc/apt/sources.list.d/debian-src.sources
    else
      grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > /etc/apt/sources.list.d/debian-src.list
    fi
    apt-get update -qq
  fi
  mkdir -p "$deps/download"
  for pkg in lcms2 glew; do
    if [ ! -d "$deps/$pkg" ]; then
      (cd "$deps/download" && rm -rf "$pkg"-* && apt-get source -qq "$pkg" >/dev/null 2>&1)
      src=$(find "$deps/download" -maxdepth 1 -type d -name "$pkg-*" | head -n 1)
      [ -n "$src" ] || { echo "setup: apt-get source $pkg failed" >&2; exit 1; }
      mv "$src" "$deps/$pkg"
    fi
  done
fi
