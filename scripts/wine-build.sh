# Sourced by the scripts that run a Windows build under Wine. choose_wine_build sets
# wine_build to the build whose programs Wine runs here (win32, the product, where this
# host runs 32-bit x86 code; win64 otherwise) and reason to one line saying why; it runs
# the 32-bit Wine loader once to find out, which also tells whether 32-bit Wine is there.
# ZARN_WINDOWS_TESTS=win32|win64 chooses instead. Returns 2 on a bad choice.
choose_wine_build() {
  local wine32=/usr/lib/wine/wine why
  if [ -n "${ZARN_WINDOWS_TESTS:-}" ]; then
    wine_build=$ZARN_WINDOWS_TESTS
    reason="ZARN_WINDOWS_TESTS chose it"
  elif [ ! -x "$wine32" ]; then
    wine_build=win64
    reason="32-bit Wine ($wine32) is not installed"
  elif why=$("$wine32" --version 2>&1 >/dev/null); then
    wine_build=win32
    reason="this host runs 32-bit x86 code"
  else
    wine_build=win64
    why=${why##*: }  # the system's reason alone, without the shell's prefix
    reason="this host cannot run 32-bit x86 code ($wine32: ${why:-no reason given})"
  fi
  case $wine_build in
    win32|win64) ;;
    *) echo "ZARN_WINDOWS_TESTS must be win32 or win64, not '$wine_build'" >&2; return 2 ;;
  esac
}

# The MinGW compiler a Windows build needs.
mingw_of() {
  case $1 in
    win32) echo i686-w64-mingw32-g++-posix ;;
    win64) echo x86_64-w64-mingw32-g++-posix ;;
  esac
}
