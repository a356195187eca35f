#!/usr/bin/env bash
# Installs what the build needs on a fresh Debian 12 machine and fetches the third-party sources.
# Idempotent: a second run checks and returns in well under a second.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/.deps"

packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine64 xvfb xauth cmake ninja-build googletest dpkg-dev libgl1-mesa-dri
          libosmesa6 x11-apps fp-utils)

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
# Each source package lands in .deps/NAME (the folder names the build expects).
sources=(lcms2:lcms2 glew:glew zlib:zlib libpng1.6:libpng tiff:tiff)
fetch=()
for entry in "${sources[@]}"; do [ -d "$deps/${entry#*:}" ] || fetch+=("$entry"); done
if [ ${#fetch[@]} -gt 0 ]; then
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
  # The newest version first; a mirror that lists a security update may not serve its source,
  # so the versions before it are tried in turn.
  for entry in "${fetch[@]}"; do
    pkg=${entry%%:*} dir=${entry#*:} src=""
    for version in $(apt-cache showsrc "$pkg" | awk '/^Version:/ {print $2}' | sort -rVu); do
      (cd "$deps/download" && rm -rf "$pkg"-* && apt-get source -qq "$pkg=$version" >/dev/null 2>&1) || continue
      src=$(find "$deps/download" -maxdepth 1 -type d -name "$pkg-*" | head -n 1)
      [ -z "$src" ] || break
    done
    [ -n "$src" ] || { echo "setup: apt-get source $pkg failed" >&2; exit 1; }
    mv "$src" "$deps/$dir"
  done
fi
