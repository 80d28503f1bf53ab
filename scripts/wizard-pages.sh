#!/usr/bin/env bash
# Pictures of every page of the install wizard, filled in as for a sample game with two
# discs: rendered by the headless toolkit (zarn-wizard-pages --png) and, where the
# Windows build and Wine are at hand, screenshots of the real window under Wine.
#
#   scripts/wizard-pages.sh [OUTPUT-FOLDER]     (default build/wizard-pages)
#
# Writes OUTPUT/headless/NN-PAGE.png and OUTPUT/wine/NN-PAGE.png.
set -euo pipefail
cd "$(dirname "$0")/.."
case ${1:-} in
  -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
out=${1:-build/wizard-pages}
jobs=$(nproc)
pages=(Hello License Media file seldir confirm copy exit uninst delete)

cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs" --target zarn-wizard-pages
mkdir -p "$out/headless" "$out/machine"
export ZARN_ROOT=$out/machine  # the emulated machine the headless pages look at
n=0
for page in "${pages[@]}"; do
  n=$((n + 1))
  build/native/tools/zarn-wizard-pages "$page" --png "$out/headless/$(printf %02d $n)-$page.png"
done
echo "wizard-pages: headless pictures in $out/headless"

if ! command -v wine >/dev/null 2>&1 || ! command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1 ||
   [ ! -d build/deps/win32 ]; then
  echo "wizard-pages: no Windows build or Wine here (scripts/setup.sh installs them); skipping the screenshots"
  exit 0
fi
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs" --target zarn-wizard-pages
mkdir -p "$out/wine"
n=0
for page in "${pages[@]}"; do
  n=$((n + 1))
  shot=$out/wine/$(printf %02d $n)-$page.png
  scripts/wine-shot.sh --check build/win32/tools/zarn-wizard-pages.exe "$shot" -- "$page" >/dev/null
  convert "$shot" -trim +repage "$shot"  # the window alone, without the empty screen
done
echo "wizard-pages: screenshots under Wine in $out/wine"
