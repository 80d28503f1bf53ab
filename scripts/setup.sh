#!/usr/bin/env bash
# Installs every Debian package the build and the tests need (run as root on Debian 12).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
need_install=0
packages=(cmake ninja-build g++ pkg-config libgtest-dev zlib1g-dev libjpeg62-turbo-dev libdeflate-dev libpng-dev libfreetype-dev
          nlohmann-json3-dev g++-mingw-w64-i686 mingw-w64-i686-dev libz-mingw-w64-dev binutils-mingw-w64-i686
          g++-mingw-w64-x86-64 mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
          wine wine32 wine64 fonts-wine xvfb xauth xdotool imagemagick fonts-ipafont-gothic nasm dpkg-dev python3
          zip unzip)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_install=1
fi
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || need_install=1
done
if [ "$need_install" = 1 ]; then
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${packages[@]}"
fi
# Static libjpeg-turbo and libdeflate for the 32-bit Windows build (scripts/test.sh adds
# the 64-bit ones where it needs them).
"$(dirname "$0")/deps-windows.sh" win32
