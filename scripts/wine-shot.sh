#!/usr/bin/env bash
# Starts a Windows program of the build under Wine in a virtual X display of its own,
# waits for its window, saves a PNG screenshot of the display and ends what it started
# (by process id). The Wine prefix is the build folder's own, as tests/wine/run.sh makes
# it (Japanese font substitutes for "ＭＳ Ｐゴシック" and the dialog fonts).
#
#   scripts/wine-shot.sh [--check] [--wait SECONDS] PROGRAM.exe OUTPUT.png [-- ARGUMENTS...]
#
#   --check         fail (exit 1) when the screenshot is blank (one colour only)
#   --wait SECONDS  time to wait for the window (default 120)
# Environment: ZARN_WINEPREFIX (default: <build folder>/wineprefix, where the build folder
# is the nearest parent of the program holding CMakeCache.txt).
set -euo pipefail

usage() { sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; }
check=0
wait_seconds=120
while [ $# -gt 0 ]; do
  case $1 in
    -h|--help) usage; exit 0 ;;
    --check) check=1; shift ;;
    --wait) wait_seconds=$2; shift 2 ;;
    *) break ;;
  esac
done
if [ $# -lt 2 ]; then
  usage >&2
  exit 2
fi
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
out=$2
shift 2
[ "${1:-}" = "--" ] && shift
if [ ! -f "$exe" ]; then
  echo "wine-shot: no such program: $exe" >&2
  exit 2
fi
for tool in wineserver Xvfb xdotool import convert flock timeout od; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "wine-shot: '$tool' is missing; run scripts/setup.sh first" >&2
    exit 2
  fi
done

root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${ZARN_WINEPREFIX:-}" ]; then
  dir=$(dirname "$exe")
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ "$dir" = / ] && dir=$(dirname "$exe")
  export ZARN_WINEPREFIX=$dir/wineprefix
fi
source "$root/tests/wine/common.sh"
wine_for "$exe" wine-shot || exit 2
# The prefix is made (once) by the test runner; a --help run of the program is enough.
# When it cannot be made, the runner's message says why.
prefix_log=$(mktemp)
"$root/tests/wine/run.sh" "$exe" --help >/dev/null 2>"$prefix_log" || true
if [ ! -f "$ZARN_WINEPREFIX/.zarn-ready" ]; then
  echo "wine-shot: the Wine prefix $ZARN_WINEPREFIX could not be made:" >&2
  sed 's/^/  /' "$prefix_log" >&2
  rm -f "$prefix_log"
  exit 2
fi
rm -f "$prefix_log"
export WINEPREFIX=$ZARN_WINEPREFIX WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

xvfb_pid=
wine_pid=
display_file=$(mktemp)
cleanup() {
  if [ -n "$wine_pid" ]; then kill "$wine_pid" 2>/dev/null || true; fi
  # The prefix's server and what it still runs were started by this script.
  timeout 20 wineserver -k >/dev/null 2>&1 || true
  if [ -n "$wine_pid" ]; then wait "$wine_pid" 2>/dev/null || true; fi
  stop_display
  rm -f "$display_file"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

exec 4>"$WINEPREFIX.lock"
if ! flock -w 1200 4; then
  echo "wine-shot: the Wine prefix $WINEPREFIX stayed busy" >&2
  exit 2
fi

# The display has no window manager: Wine draws the frame and title bar itself, so the
# screenshot shows the window as a player sees it.
if ! grep -q '"Decorated"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  timeout 60 "$wine_loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 || true
  timeout 60 wineserver -w >/dev/null 2>&1 || true
fi

start_display wine-shot "$display_file"

"$wine_loader" "$exe" "$@" >/dev/null 2>&1 &
wine_pid=$!
class=$(basename "$exe")
found=0
for _ in $(seq 1 "$wait_seconds"); do
  if xdotool search --onlyvisible --class "$class" >/dev/null 2>&1; then
    found=1
    break
  fi
  kill -0 "$wine_pid" 2>/dev/null || break
  sleep 1
done
if [ "$found" != 1 ]; then
  echo "wine-shot: no window of $class appeared" >&2
  exit 1
fi
sleep 3  # let it paint
import -display "$DISPLAY" -window root "$out"
echo "wine-shot: saved $out"
if [ "$check" = 1 ]; then
  deviation=$(convert "$out" -format '%[fx:standard_deviation]' info:)
  if awk "BEGIN { exit !($deviation < 0.01) }"; then
    echo "wine-shot: the screenshot is blank" >&2
    exit 1
  fi
fi
