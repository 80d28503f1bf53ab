#!/usr/bin/env bash
# Builds every preset and runs all tests: native, under the sanitizers, and a Windows
# build under Wine. The 32-bit Windows build (the product) is always built and its
# programs checked; its Wine tests run where this host can run 32-bit x86 code. Where it
# cannot, the 64-bit build of the same sources is made and runs the same Wine tests
# under 64-bit Wine. Ends non-zero on any failure.
#
# Environment: ZARN_WINDOWS_TESTS=win32|win64 chooses the Windows build for the Wine tests.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

source scripts/wine-build.sh
choose_wine_build || exit 2
echo "== Windows tests under Wine run on the $wine_build build: $reason"

presets=(native asan win32)
if [ "$wine_build" = win64 ]; then
  bash scripts/deps-windows.sh win64
  presets+=(win64)
fi
for preset in "${presets[@]}"; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
for preset in "${presets[@]}"; do
  echo "== test $preset"
  if [ "$preset" = win32 ] && [ "$wine_build" != win32 ]; then
    ctest --preset win32 -j "$jobs" -LE wine  # the product's programs, checked without running them
  else
    ctest --preset "$preset" -j "$jobs"
  fi
done
