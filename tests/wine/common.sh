# Sourced by the Wine scripts. start_display NAME FILE starts a virtual X display of the
# script's own (Xvfb picks a free number, so parallel runs do not collide), sets
# xvfb_pid and exports DISPLAY. FILE receives the number; NAME prefixes the error when
# the display does not start (exit 2). stop_display ends it by its id, for the clean-up.
start_display() {
  local name=$1 file=$2
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -s "$file" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$file" ]; then
    echo "$name: the virtual display did not start" >&2
    exit 2
  fi
  DISPLAY=":$(tr -dc 0-9 <"$file")"
  export DISPLAY
}

stop_display() {
  if [ -n "${xvfb_pid:-}" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}

# wine_for PROGRAM NAME picks the Wine that runs PROGRAM, from the machine field of its PE
# header: 32-bit Wine and a win32 prefix for an i386 program, 64-bit Wine and a win64
# prefix for an x86_64 one. Debian's `wine`, `wineboot` and `regedit` commands always take
# the 32-bit loader where it is installed, so the loader is called directly: the scripts
# run "$wine_loader" PROGRAM and "$wine_loader" wineboot/reg/regedit. Sets and exports
# WINEARCH and WINELOADER, sets wine_loader; on failure says why (NAME: ...) and returns 2.
wine_for() {
  local exe=$1 name=$2 offset machine
  offset=$(od -An -tu4 -j60 -N4 "$exe" 2>/dev/null | tr -d ' ')
  if [ -z "$offset" ] || [ "$(od -An -c -j"$offset" -N2 "$exe" 2>/dev/null | tr -d ' ')" != PE ]; then
    echo "$name: $exe is not a Windows program" >&2
    return 2
  fi
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$exe" | tr -d ' ')
  case $machine in
    014c) WINEARCH=win32; wine_loader=/usr/lib/wine/wine ;;
    8664) WINEARCH=win64; wine_loader=/usr/lib/wine/wine64 ;;
    *) echo "$name: $exe is for machine type 0x$machine, which Wine here does not run" >&2; return 2 ;;
  esac
  if [ ! -x "$wine_loader" ]; then
    echo "$name: $wine_loader is missing for this $WINEARCH program; run scripts/setup.sh" >&2
    return 2
  fi
  local why
  if ! why=$("$wine_loader" --version 2>&1 >/dev/null); then
    echo "$name: the Wine loader $wine_loader cannot run here: ${why##*: }" >&2
    return 2
  fi
  WINELOADER=$wine_loader
  export WINEARCH WINELOADER
}
