#!/usr/bin/env bash
# Builds every preset and runs all tests: native, under the sanitizers, and the Windows
# build under Wine. Ends non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
for preset in native asan win32; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
for preset in native asan win32; do
  echo "== test $preset"
  ctest --preset "$preset" -j "$jobs"
done
