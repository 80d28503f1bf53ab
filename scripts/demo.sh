#!/usr/bin/env bash
# The demo: builds the Linux programs and runs the main job on the built-in demo game
# "物語". For now that is its settings record: made from demo/install.json with
# zarn-instdat, then read back and shown as JSON.
# ZARN_BUILD_DIR chooses the build folder (default build/native).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ZARN_BUILD_DIR:-build/native}
jobs=$(nproc)

echo "== build ($build)"
cmake --preset native -B "$build" >/dev/null
cmake --build "$build" -j "$jobs"

out=$build/demo
mkdir -p "$out"
echo "== settings record: demo/install.json -> $out/install.dat"
"$build/tools/zarn-instdat" make demo/install.json -o "$out/install.dat"
echo "== $out/install.dat as the program reads it"
"$build/tools/zarn-instdat" dump "$out/install.dat"
