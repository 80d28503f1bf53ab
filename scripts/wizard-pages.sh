#!/usr/bin/env bash
# Pictures of every page of the install wizard, of the start menu and of every message
# box the player can meet, filled in as for a sample game with two discs: rendered by the
# headless toolkit (zarn-wizard-pages --png) and, where the Windows build and Wine are at
# hand, screenshots of the real window under Wine.
#
#   scripts/wizard-pages.sh [OUTPUT-FOLDER]     (default build/wizard-pages)
#
# Writes OUTPUT/headless/NN-PAGE.png, OUTPUT/wine/NN-PAGE.png and, to compare them at a
# glance, OUTPUT/side-by-side/NN-PAGE.png (headless on the left, Wine on the right).
set -euo pipefail
cd "$(dirname "$0")/.."
case ${1:-} in
  -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
out=${1:-build/wizard-pages}
jobs=$(nproc)
pages=(Hello License Media file seldir confirm copy exit uninst delete start
       disc abort abort-uninst bad-folder drive-folder no-space no-folder damaged build-error
       admin no-settings no-copy no-run error-report)

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

# The Windows build Wine runs here: the 32-bit product, or the 64-bit build of the same
# sources where this host cannot run 32-bit code.
source scripts/wine-build.sh
choose_wine_build || exit 2
if ! command -v "$(mingw_of "$wine_build")" >/dev/null 2>&1 || ! command -v xdotool >/dev/null 2>&1; then
  echo "wizard-pages: no Windows build or Wine here (scripts/setup.sh installs them); skipping the screenshots"
  exit 0
fi
echo "wizard-pages: the screenshots come from the $wine_build build: $reason"
bash scripts/deps-windows.sh "$wine_build" >/dev/null
cmake --preset "$wine_build" >/dev/null
cmake --build --preset "$wine_build" -j "$jobs" --target zarn-wizard-pages
mkdir -p "$out/wine"
n=0
for page in "${pages[@]}"; do
  n=$((n + 1))
  shot=$out/wine/$(printf %02d $n)-$page.png
  scripts/wine-shot.sh --check "build/$wine_build/tools/zarn-wizard-pages.exe" "$shot" -- "$page" >/dev/null
  convert "$shot" -trim +repage "$shot"  # the window alone, without the empty screen
done
echo "wizard-pages: screenshots under Wine in $out/wine"

mkdir -p "$out/side-by-side"
for shot in "$out"/wine/*.png; do
  name=$(basename "$shot")
  convert "$out/headless/$name" "$shot" -bordercolor white -border 8 +append "$out/side-by-side/$name"
done
echo "wizard-pages: headless and Wine side by side in $out/side-by-side"
