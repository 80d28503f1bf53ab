#!/usr/bin/env bash
# Builds the static libraries the 32-bit Windows build needs beyond MinGW's own, from
# Debian's source packages, into build/deps/win32 (include/, lib/), where the MinGW
# toolchain file finds them: libjpeg-turbo (JPEG colour planes) and libdeflate (fast
# inflation of whole planes). Each is built once; run as root the first time (it may
# add a deb-src entry and fetch the source packages).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$root/build/deps/win32
work=$root/build/deps/work
jobs=${ZARN_JOBS:-2}
mkdir -p "$work" "$prefix/lib" "$prefix/include"

# The unpacked source folder of Debian source package $1 (fetched when missing).
source_of() {
  local package=$1 src
  src=$(find "$work" -maxdepth 1 -type d -name "$package-*" | sort | tail -n 1)
  if [ -z "$src" ]; then
    if [ -z "$(apt-cache showsrc "$package" 2>/dev/null)" ]; then
      if [ "$(id -u)" != 0 ]; then
        echo "deps-win32: no deb-src entry for $package; run once as root" >&2
        exit 1
      fi
      if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        # Debian 12 style: add deb-src to the Types of the main archive entries.
        sed -i -E 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
      else
        codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
        echo "deb-src http://deb.debian.org/debian $codename main" > /etc/apt/sources.list.d/zarn-deb-src.list
      fi
      apt-get update -q >&2
    fi
    command -v dpkg-source >/dev/null || { echo "deps-win32: dpkg-dev is needed" >&2; exit 1; }
    (cd "$work" && apt-get source -q "$package" >&2)
    src=$(find "$work" -maxdepth 1 -type d -name "$package-*" | sort | tail -n 1)
  fi
  [ -n "$src" ] || { echo "deps-win32: $package source not found" >&2; exit 1; }
  echo "$src"
}

build_libdeflate() {
  [ -f "$prefix/.libdeflate-ready" ] && [ -f "$prefix/lib/libdeflate.a" ] && return 0
  local src
  src=$(source_of libdeflate)
  make -C "$src" clean >/dev/null 2>&1 || true
  make -C "$src" -j "$jobs" CC=i686-w64-mingw32-gcc-posix AR=i686-w64-mingw32-ar libdeflatestatic.lib >/dev/null
  cp "$src/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
  cp "$src/libdeflate.h" "$prefix/include/"
  touch "$prefix/.libdeflate-ready"
  echo "deps-win32: libdeflate installed in $prefix"
}
build_libdeflate

stamp=$prefix/.libjpeg-turbo-ready
if [ -f "$stamp" ] && [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ]; then
  exit 0
fi
src=$(source_of libjpeg-turbo)

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
cp "$work/build-i686/libjpeg.a" "$prefix/lib/libjpeg.a"
cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$work/build-i686/jconfig.h" "$prefix/include/"
touch "$stamp"
echo "deps-win32: libjpeg-turbo installed in $prefix"
