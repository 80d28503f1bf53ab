#!/usr/bin/env bash
# Runs a Windows test program under Wine in a virtual X display and passes on its exit
# status. The Wine prefix is the build folder's own (made once, of the program's
# architecture: 32-bit Wine for an i386 program, 64-bit Wine for an x86_64 one, with
# Japanese font substitutes for the dialog fonts); the run is quiet and ends after a
# time limit.
#
#   tests/wine/run.sh PROGRAM.exe [ARGUMENTS...]
#
# Environment: ZARN_WINEPREFIX (default: <build>/wineprefix beside the program's folder),
# ZARN_WINE_TIMEOUT (seconds, default 1200), ZARN_WINE_SETUP_TIMEOUT (default 300).
set -euo pipefail

if [ $# -lt 1 ] || [ "$1" = "--help" ] || [ "$1" = "-h" ]; then
  sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'
  [ $# -ge 1 ] && exit 0 || exit 2
fi
exe=$1
shift
if [ ! -f "$exe" ]; then
  echo "run.sh: no such program: $exe" >&2
  exit 2
fi
for tool in wineserver Xvfb timeout flock iconv od; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "run.sh: '$tool' is missing; run scripts/setup.sh first" >&2
    exit 2
  fi
done

source "$(dirname "$0")/common.sh"
wine_for "$exe" run.sh || exit 2
build_dir=$(cd "$(dirname "$exe")/.." && pwd)
export WINEPREFIX=${ZARN_WINEPREFIX:-$build_dir/wineprefix}
export WINEDEBUG=-all
# No Mono/Gecko download prompts, no menu entries or file associations on the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME=${HOME:-/root}
# Wine names host files in the host's character set; in the bare C locale (a fresh
# machine, a clean CI environment) that is ASCII and Japanese file names cannot be made.
# C.UTF-8 is always there and leaves Windows on its default, non-Japanese code page.
export LC_ALL=C.UTF-8
run_timeout=${ZARN_WINE_TIMEOUT:-1200}
setup_timeout=${ZARN_WINE_SETUP_TIMEOUT:-300}

xvfb_pid=
locked=0
display_file=$(mktemp)
setup_log=$(mktemp)
cleanup() {
  # Let this prefix's Wine processes end before their display goes away.
  if [ "$locked" = 1 ]; then
    timeout 60 wineserver -w >/dev/null 2>&1 || timeout 10 wineserver -k >/dev/null 2>&1 || true
  fi
  stop_display
  rm -f "$display_file" "$setup_log"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

# One run of a prefix at a time: its Wine processes share one server and one desktop,
# and the clean-up of one run must not end another's programs.
mkdir -p "$(dirname "$WINEPREFIX")"
exec 4>"$WINEPREFIX.lock"
if ! flock -w "$run_timeout" 4; then
  echo "run.sh: the Wine prefix $WINEPREFIX stayed busy" >&2
  exit 2
fi
locked=1

start_display run.sh "$display_file"

# Font substitutes: the dialog fonts of a Japanese Windows map to IPAGothic. Written as a
# UTF-16 registry file, so the Japanese font names survive any host locale.
font_reg() {
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
  # Proportional fonts to the proportional IPA font, so captions take the width they
  # take on Windows; the fixed-pitch ones to the fixed-pitch IPA font.
  for font in "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic" "ＭＳ Ｐゴシック" "MS PGothic"; do
    printf '"%s"="IPAPGothic"\r\n' "$font"
  done
  for font in "ＭＳ ゴシック" "MS Gothic"; do
    printf '"%s"="IPAGothic"\r\n' "$font"
  done
}

font_check='"MS PGothic"="IPAPGothic"'
# Wine's own words when making the prefix fails, not a guess.
say_why() {
  echo "run.sh: $1; Wine said:" >&2
  tail -n 15 "$setup_log" | sed 's/^/  /' >&2
}
make_prefix() {
  rm -rf "$WINEPREFIX"
  if ! timeout "$setup_timeout" "$wine_loader" wineboot -i >"$setup_log" 2>&1; then
    say_why "making the $WINEARCH prefix $WINEPREFIX (wineboot) failed or timed out"
    return 1
  fi
  timeout 60 wineserver -w >/dev/null 2>&1 || true
  local reg="$WINEPREFIX/drive_c/zarn-fonts.reg"
  { printf '\xff\xfe'; font_reg | iconv -f UTF-8 -t UTF-16LE; } >"$reg"
  timeout 120 "$wine_loader" regedit /S 'C:\zarn-fonts.reg' >"$setup_log" 2>&1 || true
  timeout 60 wineserver -w >/dev/null 2>&1 || true
  rm -f "$reg"
  if ! grep -q "$font_check" "$WINEPREFIX/system.reg"; then
    say_why "the font substitutes were not registered in $WINEPREFIX"
    return 1
  fi
  echo "$WINEARCH" >"$WINEPREFIX/.zarn-ready"
}

# A prefix of the other architecture, or made before the font table changed, is made anew.
if [ "$(cat "$WINEPREFIX/.zarn-ready" 2>/dev/null)" != "$WINEARCH" ] ||
   ! grep -q "$font_check" "$WINEPREFIX/system.reg"; then
  make_prefix || exit 2
fi

status=0
timeout --kill-after=30 "$run_timeout" "$wine_loader" "$exe" "$@" || status=$?
if [ "$status" = 124 ] || [ "$status" = 137 ]; then
  echo "run.sh: $(basename "$exe") did not finish within $run_timeout s" >&2
fi
exit "$status"
