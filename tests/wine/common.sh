# Sourced by the Wine scripts: start_display NAME FILE starts a virtual X display of the
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
