#!/usr/bin/env bash
# The finished setup.exe under Wine, end to end: the demo medium in drive D: (a CD-ROM
# drive), setup.exe started from it and driven by the keyboard through a whole install,
# then the uninstaller the Start menu's shortcut points to. Checks the installed files,
# the registry values in Wine's registry, the shortcuts, and that uninstalling removes
# them all. Every step has a time limit; every process started is ended by its id (and
# the copied Wine prefix's server is shut down).
#
#   tests/wine/setup_e2e.sh [--build DIR] [--medium DIR] [--two-discs] [--shots DIR] [--prefix DIR]
#
#   --build DIR    the Windows build folder (default: build/win32 of this checkout)
#   --medium DIR   a medium made by zarn-medium with the Windows setup.exe; without it
#                  one is made with the Linux zarn-medium (ZARN_MEDIUM_TOOL, default
#                  build/native/tools/zarn-medium)
#   --two-discs    the demo split over two discs: at the prompt for disc 2, D: is pointed
#                  at the second disc and the prompt answered by Enter alone
#   --shots DIR    save screenshots of the start menu, each wizard page and the exit page
#   --prefix DIR   where the copy of the build's Wine prefix goes (default: a temporary
#                  folder, removed at the end)
# Exit status: 0 when every check passed, 1 when one failed, 2 when it could not run.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$root/build/win32
medium=
shots=
prefix=
step_timeout=${ZARN_E2E_STEP_TIMEOUT:-90}
two_discs=0
usage() { sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; }
while [ $# -gt 0 ]; do
  case $1 in
    -h|--help) usage; exit 0 ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --medium) medium=$(cd "$2" && pwd); shift 2 ;;
    --two-discs) two_discs=1; shift ;;
    --shots) mkdir -p "$2"; shots=$(cd "$2" && pwd); shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    *) echo "setup_e2e: unknown argument $1" >&2; usage >&2; exit 2 ;;
  esac
done
for tool in wineserver Xvfb xdotool import convert flock timeout iconv od; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "setup_e2e: '$tool' is missing; run scripts/setup.sh first" >&2
    exit 2
  fi
done
setup_exe=$build/src/launcher/setup.exe
game_exe=$build/src/launcher/story.exe
for f in "$setup_exe" "$game_exe"; do
  [ -f "$f" ] || { echo "setup_e2e: $f is missing; build the win32 (or win64) preset" >&2; exit 2; }
done

source "$here/common.sh"
wine_for "$setup_exe" setup_e2e || exit 2
export LC_ALL=C.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME=${HOME:-/root}

work=$(mktemp -d "${TMPDIR:-/tmp}/zarn-e2e-XXXXXX")
keep_prefix=1
if [ -z "$prefix" ]; then
  prefix=$work/prefix
  keep_prefix=0
fi
xvfb_pid=
wine_pid=
display_file=$work/display
cleanup() {
  if [ -n "$wine_pid" ]; then kill "$wine_pid" 2>/dev/null || true; fi
  # The copied prefix's server and whatever it still runs belong to this run alone.
  if [ -d "$prefix" ]; then WINEPREFIX=$prefix timeout 20 wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$wine_pid" ]; then wait "$wine_pid" 2>/dev/null || true; fi
  stop_display
  [ "$keep_prefix" = 1 ] || rm -rf "$prefix"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
log() { echo "-- $*"; }

# ---- the medium
if [ -z "$medium" ]; then
  tool=${ZARN_MEDIUM_TOOL:-$root/build/native/tools/zarn-medium}
  if [ ! -x "$tool" ]; then
    echo "setup_e2e: $tool is missing; build the native preset (or give --medium)" >&2
    exit 2
  fi
  medium=$work/medium
  split=()
  # Discs just big enough for the setup program and a part of the game each.
  [ "$two_discs" = 1 ] && split=(--disc-size "$(( 2 * $(stat -c %s "$setup_exe") / 1024 + 40 ))K")
  "$tool" build -o "$medium" --setup-exe "$setup_exe" --game-exe "$game_exe" "${split[@]}" --no-progress >/dev/null
fi
disc1=$medium
if [ "$two_discs" = 1 ]; then
  disc1=$medium/disc1
  [ -d "$medium/disc2" ] || { echo "setup_e2e: $medium has no disc2" >&2; exit 2; }
  [ ! -d "$medium/disc3" ] || { echo "setup_e2e: $medium has more than two discs" >&2; exit 2; }
fi
[ -f "$disc1/setup.exe" ] || { echo "setup_e2e: $disc1 holds no setup.exe" >&2; exit 2; }

# ---- a copy of the build's prefix (made once by the test runner), the medium as D:
base=$build/wineprefix
# The test runner makes it (or makes it anew) on its first run of a program; when it
# cannot, its own message says why.
if ! "$here/run.sh" "$build/tools/zarn-arc.exe" --help >/dev/null 2>"$work/prefix.log" ||
   [ ! -f "$base/.zarn-ready" ]; then
  echo "setup_e2e: the Wine prefix $base could not be made:" >&2
  sed 's/^/  /' "$work/prefix.log" >&2
  exit 2
fi
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
(
  flock -w 600 4 || exit 2
  cp -a "$base" "$prefix"
) 4>"$base.lock"
export WINEPREFIX=$prefix
rm -f "$prefix/dosdevices/d:" "$prefix/dosdevices/d::"
ln -s "$disc1" "$prefix/dosdevices/d:"
timeout 60 "$wine_loader" reg add 'HKLM\Software\Wine\Drives' /v 'd:' /d cdrom /f >/dev/null 2>&1 ||
  { echo "setup_e2e: the drive type of D: could not be set" >&2; exit 2; }
timeout 30 wineserver -w >/dev/null 2>&1 || true

start_display setup_e2e "$display_file"

# ---- driving
# The id of the visible window whose title is exactly $1, waited for.
window() {
  local title=$1 id=
  for _ in $(seq 1 $((step_timeout * 4))); do
    id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | tail -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.25
  done
  return 1
}
await() {
  local id
  if ! id=$(window "$1"); then
    fail "no window \"$1\" within ${step_timeout}s"
    shot "missing-window"
    exit 1
  fi
  log "window \"$1\""
  echo "$id" >"$work/current"
}
current() { cat "$work/current"; }
shot_no=0
shot() {
  [ -n "$shots" ] || return 0
  shot_no=$((shot_no + 1))
  sleep 1  # let it paint
  import -display "$DISPLAY" -window root "$shots/$(printf %02d "$shot_no")-$1.png" 2>/dev/null || true
}
# Keys to the current window, which gets the keyboard focus first.
keys() {
  xdotool windowfocus --sync "$(current)" 2>/dev/null || xdotool windowfocus "$(current)"
  sleep 0.3
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.3
  done
}
# Waits until the window with id $1 and title $2 is gone (Wine may hand its X window to
# the next program's window, under another title).
gone() {
  local name
  for _ in $(seq 1 $((step_timeout * 4))); do
    xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1" || return 0
    name=$(xdotool getwindowname "$1" 2>/dev/null) || return 0
    [ "$name" = "$2" ] || return 0
    sleep 0.25
  done
  return 1
}
# Waits for a program started under Wine to end (its id in wine_pid).
finish() {
  for _ in $(seq 1 $((step_timeout * 4))); do
    kill -0 "$wine_pid" 2>/dev/null || { wait "$wine_pid" 2>/dev/null || true; wine_pid=; return 0; }
    sleep 0.25
  done
  fail "$1 did not end within ${step_timeout}s"
  exit 1
}

title=物語デモ
dest_win='C:\Program Files\Zarn\物語デモ\'
dest=$prefix/drive_c/Program\ Files/Zarn/物語デモ
key='HKCU\Software\ZarnDemo\Story'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZarnDemo_Story'

# A registry value as UTF-8 text, or nothing when it is not there.
reg_value() {
  local file=$work/value.reg
  rm -f "$file"
  timeout 60 "$wine_loader" reg export "$1" 'Z:'"$(echo "$file" | tr / '\\')" /y >/dev/null 2>&1 || return 0
  [ -f "$file" ] || return 0
  iconv -f UTF-16LE -t UTF-8 "$file" | tr -d '\r' | grep "^\"$2\"=" | head -1 | sed 's/^"[^"]*"=//'
}
shortcuts() { find "$prefix/drive_c" -name '*.lnk' -path "*$title*" 2>/dev/null | sort; }

# Ends the windows Wine's explorer opened for a folder (the game's Start-menu folder),
# by the id of their process.
close_explorer() {
  local id pid
  for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true); do
    pid=$(xdotool getwindowpid "$id" 2>/dev/null || true)
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  done
}
# Waits (bounded) until the prefix runs no program any more.
settle() {
  gone "$1" "$2" || fail "the wizard's window stayed open"
  timeout "$step_timeout" wineserver -w >/dev/null 2>&1 || fail "programs still ran ${step_timeout}s after the wizard closed"
}

# ---- install
log "setup.exe from the medium in D:"
(cd "$prefix/drive_c" && exec "$wine_loader" 'D:\setup.exe') >/dev/null 2>&1 &
wine_pid=$!
await "$title"
shot start-menu
start_id=$(current)
# "ゲームスタート" is disabled before the game is installed, so "インストール" has the focus.
keys space
gone "$start_id" "$title" || { fail "the start menu stayed open"; exit 1; }
finish "setup.exe"

await "${title}のセットアップ"
main_id=$(current)
await ようこそ
shot welcome
keys alt+n
await ライセンス契約
keys alt+p
shot licence
keys alt+n
if [ "$two_discs" = 1 ]; then
  await インストールするCD-ROM  # "全てのCD-ROMをインストール" is chosen already
  shot media
  keys alt+n
fi
await インストールするファイル
# From "次へ": Tab reaches "中断" and then the component boxes in order.
keys Tab Tab space Tab space Tab space
shot components
keys alt+n
await "インストール先の選択"
shot folder
keys alt+n
await "インストール準備完了"
shot confirm
keys Return  # "インストール" has no access key; it is the default button
if [ "$two_discs" = 1 ]; then
  # "ディスク2を入れてからOKをクリックしてください": the disc goes in, Enter takes OK.
  await 情報
  shot disc-prompt
  rm -f "$prefix/dosdevices/d:"
  ln -s "$medium/disc2" "$prefix/dosdevices/d:"
  keys Return
fi
await 完了
sleep 1
close_explorer "$title"
shot exit-page
keys alt+c
settle "$main_id" "${title}のセットアップ"

# ---- what the install left
for f in story.exe install.exe install.dat game.dat readme.txt sound/theme.wav movie/opening.mpg; do
  if [ -f "$dest/$f" ]; then pass "installed $f"; else fail "$f is not installed"; fi
done
value=$(reg_value "$key" InstallPath)
if [ "$value" = '"C:\\Program Files\\Zarn\\物語デモ\\"' ]; then pass "InstallPath $value"; else fail "InstallPath is [$value]"; fi
value=$(reg_value "$key" CDDrive)
if [ "$value" = '"D:"' ]; then pass "CDDrive $value"; else fail "CDDrive is [$value]"; fi
value=$(reg_value "$uninstall_key" DisplayName)
if [ "$value" = "\"$title\"" ]; then pass "uninstall entry $value"; else fail "the uninstall entry's DisplayName is [$value]"; fi
links=$(shortcuts)
echo "$links" | sed 's|^.*/drive_c/|  C:/|'
uninstall_link=$(echo "$links" | grep "/${title}のアンインストール.lnk" || true)
if [ -n "$uninstall_link" ] && tr -d '\000' <"$uninstall_link" | grep -aq 'Zarn.*install\.exe'; then
  pass "uninstall shortcut to install.exe"
else
  fail "no uninstall shortcut to install.exe"
fi
if echo "$links" | grep -q "/${title}.lnk"; then pass "game shortcut"; else fail "no game shortcut"; fi

# ---- uninstall, with the program the uninstall shortcut starts
log "the uninstaller: ${dest_win}install.exe"
(cd "$prefix/drive_c" && exec "$wine_loader" "${dest_win}install.exe") >/dev/null 2>&1 &
wine_pid=$!
finish "install.exe"
await "${title}の削除"
main_id=$(current)
await アンインストール
shot uninstall
keys Return  # "実行"
await 完了
shot uninstalled
keys alt+c
settle "$main_id" "${title}の削除"

if [ -e "$dest" ]; then fail "the game's folder is left: $(cd "$dest" && find . | tr '\n' ' ')"; else pass "the game's folder is gone"; fi
value=$(reg_value "$key" InstallPath)
if [ -z "$value" ]; then pass "InstallPath removed"; else fail "InstallPath is still $value"; fi
value=$(reg_value "$uninstall_key" DisplayName)
if [ -z "$value" ]; then pass "uninstall entry removed"; else fail "the uninstall entry is still there"; fi
if [ -z "$(shortcuts)" ]; then pass "shortcuts removed"; else fail "shortcuts left: $(shortcuts)"; fi

if [ "$failures" -gt 0 ]; then
  echo "setup_e2e: $failures check(s) failed" >&2
  exit 1
fi
echo "setup_e2e: install and uninstall under Wine passed"
