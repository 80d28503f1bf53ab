#!/usr/bin/env bash
# Builds the static libraries a Windows build needs beyond MinGW's own, from Debian's
# source packages, into build/deps/BUILD (include/, lib/), where that build's MinGW
# toolchain file finds them: libjpeg-turbo (JPEG colour planes) and libdeflate (fast
# inflation of whole planes). Each is built once per build; run as root the first time
# (it may add a deb-src entry and fetch the source packages).
#
#   scripts/deps-windows.sh [win32|win64]     (default win32, the product)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-win32}
case $build in
  win32) host=i686-w64-mingw32; toolchain=$root/cmake/mingw-i686.cmake ;;
  win64) host=x86_64-w64-mingw32; toolchain=$root/cmake/mingw-x86_64.cmake ;;
  -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "deps-windows: unknown build '$build' (win32 or win64)" >&2; exit 2 ;;
esac
prefix=$root/build/deps/$build
work=$root/build/deps/work
jobs=${ZARN_JOBS:-2}
mkdir -p "$work" "$prefix/lib" "$prefix/include"
command -v "$host-gcc-posix" >/dev/null || { echo "deps-windows: $host-gcc-posix is missing; run scripts/setup.sh" >&2; exit 1; }

# The unpacked source folder of Debian source package $1 (fetched when missing).
source_of() {
  local package=$1 src
  src=$(find "$work" -maxdepth 1 -type d -name "$package-*" | sort | tail -n 1)
  if [ -z "$src" ]; then
    if [ -z "$(apt-cache showsrc "$package" 2>/dev/null)" ]; then
      if [ "$(id -u)" != 0 ]; then
        echo "deps-windows: no deb-src entry for $package; run once as root" >&2
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
    command -v dpkg-source >/dev/null || { echo "deps-windows: dpkg-dev is needed" >&2; exit 1; }
    (cd "$work" && apt-get source -q "$package" >&2)
    src=$(find "$work" -maxdepth 1 -type d -name "$package-*" | sort | tail -n 1)
  fi
  [ -n "$src" ] || { echo "deps-windows: $package source not found" >&2; exit 1; }
  echo "$src"
}

build_libdeflate() {
  [ -f "$prefix/.libdeflate-ready" ] && [ -f "$prefix/lib/libdeflate.a" ] && return 0
  local src
  src=$(source_of libdeflate)
  # Built out of the shared source folder's own objects: one architecture at a time.
  make -C "$src" clean >/dev/null 2>&1 || true
  make -C "$src" -j "$jobs" CC="$host-gcc-posix" AR="$host-ar" libdeflatestatic.lib >/dev/null
  cp "$src/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
  cp "$src/libdeflate.h" "$prefix/include/"
  make -C "$src" clean >/dev/null 2>&1 || true
  touch "$prefix/.libdeflate-ready"
  echo "deps-windows: libdeflate for $build installed in $prefix"
}

build_libjpeg() {
  [ -f "$prefix/.libjpeg-turbo-ready" ] && [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ] &&
    return 0
  local src simd=ON out=$work/build-libjpeg-$build
  src=$(source_of libjpeg-turbo)
  command -v nasm >/dev/null || command -v yasm >/dev/null || simd=OFF
  rm -rf "$out"
  cmake -S "$src" -B "$out" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_INSTALL_LIBDIR=lib \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF -DWITH_SIMD=$simd >/dev/null
  cmake --build "$out" -j "$jobs" --target jpeg-static
  cp "$out/libjpeg.a" "$prefix/lib/libjpeg.a"
  cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$out/jconfig.h" "$prefix/include/"
  touch "$prefix/.libjpeg-turbo-ready"
  echo "deps-windows: libjpeg-turbo for $build installed in $prefix"
}

build_libdeflate
build_libjpeg
