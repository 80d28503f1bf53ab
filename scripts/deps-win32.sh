#!/usr/bin/env bash
# Builds the static libjpeg-turbo for the 32-bit Windows build from Debian's source
# package into build/deps/win32 (include/, lib/), where the MinGW toolchain file finds
# it. Does nothing when that build is already there; run as root the first time (it may
# add a deb-src entry and fetch the source package).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$root/build/deps/win32
work=$root/build/deps/work
stamp=$prefix/.libjpeg-turbo-ready
jobs=${ZARN_JOBS:-2}

if [ -f "$stamp" ] && [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ]; then
  exit 0
fi

mkdir -p "$work"
src=$(find "$work" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | sort | tail -n 1)
if [ -z "$src" ]; then
  if ! apt-cache showsrc libjpeg-turbo >/dev/null 2>&1 || [ -z "$(apt-cache showsrc libjpeg-turbo 2>/dev/null)" ]; then
    if [ "$(id -u)" != 0 ]; then
      echo "deps-win32: no deb-src entry for libjpeg-turbo; run once as root" >&2
      exit 1
    fi
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      # Debian 12 style: add deb-src to the Types of the main archive entries.
      sed -i -E 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
    else
      codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
      echo "deb-src http://deb.debian.org/debian $codename main" > /etc/apt/sources.list.d/zarn-deb-src.list
    fi
    apt-get update -q
  fi
  command -v dpkg-source >/dev/null || { echo "deps-win32: dpkg-dev is needed" >&2; exit 1; }
  (cd "$work" && apt-get source -q libjpeg-turbo)
  src=$(find "$work" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | sort | tail -n 1)
fi
[ -n "$src" ] || { echo "deps-win32: libjpeg-turbo source not found" >&2; exit 1; }

simd=ON
command -v nasm >/dev/null || command -v yasm >/dev/null || simd=OFF
rm -rf "$work/build-i686"
cmake -S "$src" -B "$work/build-i686" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DCMAKE_INSTALL_LIBDIR=lib \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
  -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF -DWITH_SIMD=$simd >/dev/null
cmake --build "$work/build-i686" -j "$jobs" --target jpeg-static
mkdir -p "$prefix/lib" "$prefix/include"
cp "$work/build-i686/libjpeg.a" "$prefix/lib/libjpeg.a"
cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$work/build-i686/jconfig.h" "$prefix/include/"
touch "$stamp"
echo "deps-win32: libjpeg-turbo installed in $prefix"
