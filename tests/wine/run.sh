#!/usr/bin/env bash
# Runs a Windows test program under Wine in a virtual X display, with a Wine prefix of
# its own (made once, with a Japanese font for the UI), and passes on its exit status.
set -euo pipefail
exe=$1; shift
build_dir=$(cd "$(dirname "$exe")/.." && pwd)
export WINEPREFIX=${ZARN_WINEPREFIX:-$build_dir/wineprefix}
export WINEDEBUG=-all
export WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.zarn-ready" ]; then
  rm -rf "$WINEPREFIX"
  xvfb-run -a wineboot -i >/dev/null 2>&1 || true
  key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
  for font in "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic" "ＭＳ Ｐゴシック" "MS PGothic" "ＭＳ ゴシック" "MS Gothic"; do
    xvfb-run -a wine reg add "$key" /v "$font" /d IPAGothic /f >/dev/null 2>&1 || true
  done
  wineserver -w || true
  touch "$WINEPREFIX/.zarn-ready"
fi
status=0
xvfb-run -a wine "$exe" "$@" || status=$?
wineserver -w || true
exit $status
