#!/usr/bin/env bash
# The demo: builds the programs, makes the medium of the demo game "物語デモ", installs
# the game from it on an emulated Windows machine as a person would with the defaults
# (zarn-setup --auto), shows what the installation left, and uninstalls it again.
# Where the Windows build and Wine are at hand (scripts/setup.sh installs them), the
# same medium is then installed and uninstalled by the real setup.exe under Wine, driven
# by the keyboard, with screenshots of the start menu, the wizard and the exit page.
#
#   scripts/demo.sh [--no-wine]
#
# Everything made goes to build/demo: medium/, machine/ (the emulated machine), shots/
# (pictures of the headless windows), two-discs/ and machine2/ (the demo split over two
# discs and installed from both), wine-shots/ (screenshots under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)
wine=1
case ${1:-} in
  --no-wine) wine=0 ;;
  -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  "") ;;
  *) echo "demo.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
esac

out=$root/build/demo
tools=$root/build/native/tools
# The Windows build the Wine part runs: the 32-bit product where this host runs 32-bit
# code, the 64-bit build of the same sources where it does not.
have_windows=0
if [ "$wine" = 1 ]; then
  source scripts/wine-build.sh
  choose_wine_build || exit 2
  if command -v "$(mingw_of "$wine_build")" >/dev/null 2>&1 && command -v xdotool >/dev/null 2>&1; then
    bash scripts/deps-windows.sh "$wine_build" >/dev/null
    have_windows=1
    echo "== the Wine part runs the $wine_build build: $reason"
  fi
fi

echo "== build: Linux tools"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs" --target zarn-medium zarn-setup zarn-instdat zarn-arc zarn-brm
medium_args=()
if [ "$have_windows" = 1 ]; then
  echo "== build: setup.exe and the demo game story.exe for Windows ($wine_build)"
  cmake --preset "$wine_build" >/dev/null
  cmake --build --preset "$wine_build" -j "$jobs" --target setup story zarn-arc
  medium_args=(--setup-exe "build/$wine_build/src/launcher/setup.exe" --game-exe "build/$wine_build/src/launcher/story.exe")
else
  echo "== (no Windows build: the medium carries stand-ins for setup.exe and story.exe)"
fi

rm -rf "$out"
mkdir -p "$out"
echo
echo "== the medium: $out/medium"
"$tools/zarn-medium" build -o "$out/medium" "${medium_args[@]}"
echo
echo "== zarn-medium check: what would go wrong on a player's machine"
"$tools/zarn-medium" check "$out/medium"
echo
echo "== its archive, as zarn-arc lists it"
"$tools/zarn-arc" list "$out/medium/setup.exe" | head -20

machine=$out/machine
echo
echo "== install: zarn-setup --auto on a fresh machine ($machine), the medium in D:"
"$tools/zarn-setup" --root "$machine" --drive "D=$out/medium" --program 'D:\setup.exe' \
  --auto --screenshots "$out/shots"

dest="$machine/drive_c/Program Files/Zarn/物語デモ"
echo
echo "== installed in C:\\Program Files\\Zarn\\物語デモ"
(cd "$dest" && find . -type f | sort | sed 's|^\./|  |')
echo "== its install.dat, read back"
"$tools/zarn-instdat" dump "$dest/install.dat" | grep -E '"(Title|Installed|InstallPath|RegistryKey)"' || true
echo "== the registry (HKEY_CURRENT_USER)"
grep -a -A8 "ZarnDemo" "$machine/system.reg" | iconv -f CP932 -t UTF-8 || true
echo "== the game's checks: the data file verified"
"$tools/zarn-arc" verify "$dest/game.dat" && echo "  game.dat: every member's CRC-32 matches"

echo
echo "== uninstall: the installed install.exe, as the Start menu's shortcut runs it"
"$tools/zarn-setup" --root "$machine" --program 'C:\Program Files\Zarn\物語デモ\install.exe' --auto
if [ -e "$dest" ]; then
  echo "demo: the game's folder is still there after uninstalling" >&2
  exit 1
fi
echo "== the game's folder is gone; pictures of every window: $out/shots"
ls "$out/shots"

echo
# Discs just large enough for the setup program twice (setup.exe and install.exe) and the
# picture: the rest of the game goes on the second.
disc_kib=40
if [ "$have_windows" = 1 ]; then
  disc_kib=$(( 2 * $(stat -c %s "build/$wine_build/src/launcher/setup.exe") / 1024 + 40 ))
fi
echo "== the two-disc variant: the same game split over discs of $disc_kib KiB, checked and installed"
"$tools/zarn-medium" build -o "$out/two-discs" --disc-size "${disc_kib}K" "${medium_args[@]}" --no-progress
"$tools/zarn-medium" check "$out/two-discs"
"$tools/zarn-setup" --root "$out/machine2" --drive "D=$out/two-discs/disc1" --program 'D:\setup.exe' \
  --auto --all-discs --disc "2=$out/two-discs/disc2" | grep -E "dialog|put|page exit|finished"
(cd "$out/machine2/drive_c/Program Files/Zarn/物語デモ" && find . -type f | sort | sed 's|^\./|  |')

if [ "$have_windows" = 1 ]; then
  echo
  echo "== the real setup.exe under Wine: install and uninstall, screenshots in $out/wine-shots"
  tests/wine/setup_e2e.sh --build "build/$wine_build" --medium "$out/medium" --shots "$out/wine-shots"
elif [ "$wine" = 1 ]; then
  echo
  echo "== (Wine or the Windows build is missing: run scripts/setup.sh for the run under Wine)"
fi
echo
echo "demo finished"
