#!/usr/bin/env bash
# The finished setup.exe under Wine, end to end: the demo medium in drive D: (a CD-ROM
# drive), setup.exe started from it and driven by the keyboard through a whole install,
# then the uninstaller the Start menu's shortcut points to. Checks the installed files,
# the registry values in Wine's registry, the shortcuts, and that uninstalling removes
# them all. Between the two, the cases asked for run over the installed game. Every step
# has a time limit; every process started is ended by its id (and the copied Wine
# prefix's server is shut down).
#
#   tests/wine/setup_e2e.sh [--build DIR] [--medium DIR] [--two-discs] [--cases LIST]
#                           [--save keep|delete] [--shots DIR] [--prefix DIR]
#
#   --build DIR    the Windows build folder (default: build/win32 of this checkout)
#   --medium DIR   a medium made by zarn-medium with the Windows setup.exe; without it
#                  one is made with the Linux zarn-medium (ZARN_MEDIUM_TOOL, default
#                  build/native/tools/zarn-medium)
#   --two-discs    the demo split over two discs: at the prompt for disc 2, D: is pointed
#                  at the second disc and the prompt answered by Enter alone
#   --cases LIST   comma-separated, run in order after the install:
#                    second-instance  setup.exe started while the start menu is open
#                    running-game     setup.exe started while the game runs
#                                     (both must end without a window, changing nothing)
#                    folder-update    an update medium made against the installed folder
#                    bundle-update    an update of a game that is one program with its
#                                     archive appended, in C:\Games\Story
#   --save keep|delete
#                  save data in the game's folder and in the per-user save folder before
#                  uninstalling, and "セーブデータも削除" left unticked or ticked
#   --shots DIR    save screenshots of every window and dialog met
#   --prefix DIR   where the copy of the build's Wine prefix goes (default: a temporary
#                  folder, removed at the end)
# Exit status: 0 when every check passed, 1 when one failed, 2 when it could not run.
#
# The administrator message is not driven here: Wine's shell answers "administrator"
# for every token it can make (it looks only for the Administrators group, which a
# restricted token keeps as deny-only, and Wine cannot create a token without it), and
# setup.exe links the shell statically, so nothing short of changing the program makes
# the check fail under Wine.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$root/build/win32
medium=
shots=
prefix=
step_timeout=${ZARN_E2E_STEP_TIMEOUT:-90}
two_discs=0
cases=
save=
usage() { sed -n '2,33p' "$0" | sed 's/^# \{0,1\}//'; }
while [ $# -gt 0 ]; do
  case $1 in
    -h|--help) usage; exit 0 ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --medium) medium=$(cd "$2" && pwd); shift 2 ;;
    --two-discs) two_discs=1; shift ;;
    --cases) cases=${2//,/ }; shift 2 ;;
    --save) save=$2; shift 2 ;;
    --shots) mkdir -p "$2"; shots=$(cd "$2" && pwd); shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    *) echo "setup_e2e: unknown argument $1" >&2; usage >&2; exit 2 ;;
  esac
done
for c in $cases; do
  case $c in
    second-instance|running-game|folder-update|bundle-update) ;;
    *) echo "setup_e2e: unknown case $c" >&2; usage >&2; exit 2 ;;
  esac
done
case $save in
  ''|keep|delete) ;;
  *) echo "setup_e2e: --save takes keep or delete, not $save" >&2; exit 2 ;;
esac
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
other_pid=
display_file=$work/display
cleanup() {
  for pid in $wine_pid $other_pid; do kill "$pid" 2>/dev/null || true; done
  # The copied prefix's server and whatever it still runs belong to this run alone.
  if [ -d "$prefix" ]; then WINEPREFIX=$prefix timeout 20 wineserver -k >/dev/null 2>&1 || true; fi
  for pid in $wine_pid $other_pid; do wait "$pid" 2>/dev/null || true; done
  stop_display
  [ "$keep_prefix" = 1 ] || rm -rf "$prefix"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
log() { echo "-- ${SECONDS}s: $*"; }

# ---- the medium
tool=${ZARN_MEDIUM_TOOL:-$root/build/native/tools/zarn-medium}
arc_tool=$(dirname "$tool")/zarn-arc
if [ -z "$medium" ] || [ -n "$cases" ]; then
  for t in "$tool" "$arc_tool"; do
    if [ ! -x "$t" ]; then
      echo "setup_e2e: $t is missing; build the native preset (or give --medium, without --cases)" >&2
      exit 2
    fi
  done
fi
if [ -z "$medium" ]; then
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

# Exports the registry key $1 into the file $2 (UTF-16, as reg writes it); reg's last
# complaint goes to $2.err. A failed export is tried twice more before the key counts
# as missing, so that one failed start of reg is not taken for a key that is gone.
reg_export() {
  local try
  for try in 1 2 3; do
    rm -f "$2"
    timeout 60 "$wine_loader" reg export "$1" 'Z:'"$(echo "$2" | tr / '\\')" /y >/dev/null 2>"$2.err" &&
      [ -f "$2" ] && return 0
    [ "$try" = 3 ] || sleep 1
  done
  return 1
}
# A registry value as UTF-8 text, or nothing when it is not there.
reg_value() {
  local file=$work/value.reg
  reg_export "$1" "$file" || return 0
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

# Points drive D: at the folder $1 (a disc put in).
insert_disc() {
  rm -f "$prefix/dosdevices/d:"
  ln -s "$1" "$prefix/dosdevices/d:"
}
# A registry key as exported, in UTF-8, or why it could not be.
reg_text() {
  local file=$work/key.reg
  if reg_export "$1" "$file"; then
    iconv -f UTF-16LE -t UTF-8 "$file" | tr -d '\r'
  else
    echo "no key $1: $(tr -d '\r' <"$file.err" | tail -1)"
  fi
}
# What the installation consists of, into file $1: every file of the game's folder with
# its checksum, the product's and the uninstall entry's registry keys, and the shortcuts
# with their checksums.
snapshot() {
  {
    if [ -d "$dest" ]; then (cd "$dest" && find . -type f -print0 | sort -z | xargs -0 -r md5sum); fi
    reg_text "$key"
    reg_text "$uninstall_key"
    shortcuts | while IFS= read -r link; do md5sum "$link"; done
  } >"$1"
}
# Fails naming the case and showing what changed when snapshot $2 differs from $1.
unchanged() {
  if diff -u "$1" "$2" >"$work/changes"; then
    pass "$3: nothing changed"
  else
    fail "$3 changed the installation (- before, + after):"
    sed 's/^/    /' "$work/changes" >&2
  fi
}
visible_windows() { xdotool search --onlyvisible --name . 2>/dev/null | sort -u || true; }
# Starts D:\setup.exe while something it must keep out of runs, and checks that it ends
# by itself within the step's time limit without showing any window, watching 3 s more
# for a window on its way to the screen.
ends_silently() {
  local what=$1 before new= ended=0 grace=12
  before=$(visible_windows)
  (cd "$prefix/drive_c" && exec "$wine_loader" 'D:\setup.exe') >/dev/null 2>&1 &
  other_pid=$!
  for _ in $(seq 1 $((step_timeout * 4))); do
    new=$(comm -13 <(echo "$before") <(visible_windows))
    [ -z "$new" ] || break
    if ! kill -0 "$other_pid" 2>/dev/null; then
      ended=1
      grace=$((grace - 1))
      [ "$grace" -gt 0 ] || break
    fi
    sleep 0.25
  done
  if [ -n "$new" ]; then
    shot "$what-unexpected-window"
    fail "$what: setup.exe showed a window: $(for id in $new; do printf '"%s" ' "$(xdotool getwindowname "$id" 2>/dev/null)"; done)"
  elif [ "$ended" = 0 ]; then
    fail "$what: setup.exe was still running after ${step_timeout}s"
  else
    pass "$what: setup.exe ended without a window"
  fi
  kill "$other_pid" 2>/dev/null || true
  wait "$other_pid" 2>/dev/null || true
  other_pid=
}
# Runs the update medium in D: through the wizard by the keyboard: welcome, licence, the
# destination ($2 typed over the proposal when given), confirmation, copy, exit page.
# Screenshots are named after $1.
run_update() {
  local name=$1 folder=${2:-}
  log "$name: setup.exe from the update medium in D:"
  (cd "$prefix/drive_c" && exec "$wine_loader" 'D:\setup.exe') >/dev/null 2>&1 &
  wine_pid=$!
  await "${title}のセットアップ"
  local main_id
  main_id=$(current)
  await ようこそ
  shot "$name-welcome"
  keys alt+n
  await ライセンス契約
  keys alt+p
  shot "$name-licence"
  keys alt+n
  await "インストール先の選択"
  if [ -n "$folder" ]; then
    # From "次へ": Tab reaches "中断" and then the folder's edit box.
    keys Tab Tab End shift+Home
    xdotool type --delay 50 "$folder"
    sleep 0.5
  fi
  shot "$name-folder"
  keys alt+n
  await "インストール準備完了"
  shot "$name-confirm"
  keys Return
  await 完了
  shot "$name-exit-page"
  keys alt+c
  settle "$main_id" "${title}のセットアップ"
  finish "setup.exe"
}
# The demo game's folder, from which the update media are made against what is installed.
game_folder() {
  local dir=$work/game
  if [ ! -d "$dir" ]; then
    "$tool" demo "$dir" --game-exe "$game_exe" >/dev/null ||
      { fail "zarn-medium demo failed"; exit 1; }
  fi
  echo "$dir"
}
# Gives the member $2 of the game folder $1 the text $3, dated an hour after its old
# date or now, whichever is later (archives keep dates to two seconds).
newer_member() {
  local file=$1/archive/$2 old
  old=$(stat -c %Y "$file")
  printf '%s' "$3" >"$file"
  [ "$(stat -c %Y "$file")" -gt $((old + 3600)) ] || touch -d "@$((old + 3600))" "$file"
}
# Compares the member $2 of archive $1 with the text $3, byte for byte.
member_is() {
  printf '%s' "$3" >"$work/expected"
  if ! "$arc_tool" cat "$1" "$2" >"$work/found" 2>"$work/found.err"; then
    fail "$2 cannot be read from $1: $(cat "$work/found.err")"
  elif cmp -s "$work/expected" "$work/found"; then
    pass "$2 in $(basename "$1") holds the update's text"
  else
    fail "$2 in $1: expected [$3], found [$(cat "$work/found")]"
  fi
}

# Starts $2 (a Windows path), waits for its window, then checks that D:\setup.exe started
# beside it ends without a window and changes nothing; closes the window by Alt+F4.
# $1 names the case, $3 says what runs in the messages.
kept_out() {
  local what=$1 program=$2 beside=$3 id
  (cd "$prefix/drive_c" && exec "$wine_loader" "$program") >/dev/null 2>&1 &
  wine_pid=$!
  await "$title"
  id=$(current)
  shot "$what"
  snapshot "$work/before"
  ends_silently "$what"
  snapshot "$work/after"
  unchanged "$work/before" "$work/after" "setup.exe beside $beside"
  keys alt+F4
  gone "$id" "$title" || { fail "$beside stayed open after Alt+F4"; exit 1; }
  finish "${program##*\\}"
  timeout "$step_timeout" wineserver -w >/dev/null 2>&1 || true
}

case_second_instance() {
  log "second instance: setup.exe while the start menu is open"
  kept_out second-instance 'D:\setup.exe' "the start menu"
}

case_running_game() {
  log "running game: setup.exe while ${dest_win}story.exe runs"
  kept_out running-game "${dest_win}story.exe" "the running game"
}

case_folder_update() {
  local game text readme
  game=$(game_folder)
  text=$'*start\r\n「物語は続く。」\r\n*end\r\n'
  readme=$'物語デモ 更新版\r\n'
  newer_member "$game" scenario/start.txt "$text"
  printf '%s' "$readme" >"$game/medium/readme.txt"
  rm -rf "$work/update"
  "$tool" build --game "$game" --setup-exe "$setup_exe" --update folder --installed "$dest" \
    -o "$work/update" --no-progress >"$work/update.log" 2>&1 ||
    { fail "the folder update could not be made:"; sed 's/^/    /' "$work/update.log" >&2; exit 1; }
  snapshot "$work/before"
  insert_disc "$work/update"
  run_update folder-update
  member_is "$dest/game.dat" 'scenario\start.txt' "$text"
  if "$arc_tool" verify "$dest/game.dat" >"$work/verify.log" 2>&1; then pass "game.dat verifies"; else fail "game.dat does not verify: $(cat "$work/verify.log")"; fi
  printf '%s' "$readme" >"$work/expected"
  if cmp -s "$work/expected" "$dest/readme.txt"; then pass "readme.txt updated"; else fail "readme.txt: expected [$readme], found [$(cat "$dest/readme.txt" 2>/dev/null)]"; fi
  # The programs entry sizes the whole installation as it is now.
  local bytes size
  bytes=$(find "$dest" -type f -printf '%s\n' | awk '{ n += $1 } END { print n + 0 }')
  size=$(reg_value "$uninstall_key" EstimatedSize)
  if [ "$size" = "$(printf 'dword:%08x' $(((bytes + 1023) / 1024)))" ]; then
    pass "EstimatedSize $size is the installed files' KiB"
  else
    fail "EstimatedSize: expected $(((bytes + 1023) / 1024)) KiB ($bytes bytes in the game's folder), found $size"
  fi
  # Everything but the updated files, the data file, the installed record and the size
  # stays.
  snapshot "$work/after"
  local keep='  \./(readme\.txt|game\.dat|game\.ext|install\.dat)$|^"EstimatedSize"='
  grep -Ev "$keep" "$work/before" >"$work/before.kept"
  grep -Ev "$keep" "$work/after" >"$work/after.kept"
  unchanged "$work/before.kept" "$work/after.kept" "the folder update (beyond readme.txt, game.dat, game.ext, install.dat)"
  insert_disc "$disc_last"
}

case_bundle_update() {
  local game text folder=$prefix/drive_c/Games/Story
  game=$(game_folder)
  # The bundled game: the demo's files, its program carrying the archive (with the
  # settings record) appended.
  rm -rf "$work/bundled" "$work/bundle" "$folder"
  "$tool" build --game "$game" --setup-exe "$setup_exe" --form files -o "$work/bundled" --no-progress \
    >"$work/update.log" 2>&1 ||
    { fail "the bundled game could not be made:"; sed 's/^/    /' "$work/update.log" >&2; exit 1; }
  cp -a "$game/archive" "$work/bundle"
  cp -a "$work/bundled/install.dat" "$work/bundle/"
  mkdir -p "$folder"
  cp -a "$game/medium/." "$folder/"
  { "$arc_tool" pack "$work/bundle" -o "$work/bundle.arc" && "$arc_tool" append "$folder/story.exe" "$work/bundle.arc"; } \
    >"$work/update.log" 2>&1 ||
    { fail "the bundled game could not be made:"; sed 's/^/    /' "$work/update.log" >&2; exit 1; }
  text=$'*start\r\n「束ねられた物語。」\r\n*end\r\n'
  newer_member "$game" scenario/start.txt "$text"
  rm -rf "$work/update"
  "$tool" build --game "$game" --setup-exe "$setup_exe" --update bundle --installed "$folder" \
    -o "$work/update" --no-progress >"$work/update.log" 2>&1 ||
    { fail "the bundle update could not be made:"; sed 's/^/    /' "$work/update.log" >&2; exit 1; }
  snapshot "$work/before"
  insert_disc "$work/update"
  run_update bundle-update 'C:\Games\Story'
  member_is "$folder/story.exe" 'scenario\start.txt' "$text"
  local m
  for m in 'image\chara01.brm' 'system\config.txt' zarn.zpb install.dat; do
    if "$arc_tool" cat "$folder/story.exe" "$m" >/dev/null 2>&1; then pass "$m carried over"; else fail "$m is missing from the rebuilt story.exe"; fi
  done
  if "$arc_tool" verify "$folder/story.exe" >"$work/verify.log" 2>&1; then pass "story.exe's archive verifies"; else fail "story.exe's archive does not verify: $(cat "$work/verify.log")"; fi
  # The program before the archive is the game's own, still.
  if cmp -s -n "$(stat -c %s "$game/medium/story.exe")" "$game/medium/story.exe" "$folder/story.exe"; then
    pass "story.exe is the game's program with the new archive"
  else
    fail "story.exe does not begin with the game's program"
  fi
  # A bundle update records no installation.
  if [ ! -e "$folder/install.dat" ]; then pass "no install.dat beside the bundle"; else fail "the bundle update wrote install.dat"; fi
  # The game installed by setup.exe, its registry values and shortcuts are not touched.
  snapshot "$work/after"
  unchanged "$work/before" "$work/after" "the bundle update"
  insert_disc "$disc_last"
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
  insert_disc "$medium/disc2"
  keys Return
fi
disc_last=$(readlink "$prefix/dosdevices/d:")
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

# ---- the cases over the installed game
for c in $cases; do
  "case_${c//-/_}"
done

# ---- uninstall, with the program the uninstall shortcut starts
# Save data as the game leaves it: beside the game and in the per-user save folder (the
# local application-data folder of the Wine user, the title as the folder's name).
user_save=
if [ -n "$save" ]; then
  for d in "$prefix"/drive_c/users/*/AppData/Local; do
    case $d in */users/Public/*) continue ;; esac
    user_save=$d/$title
  done
  [ -n "$user_save" ] || { fail "the prefix has no user's AppData/Local folder"; exit 1; }
  mkdir -p "$user_save"
  printf 'save 1\r\n' >"$user_save/save.dat"
  printf 'save 2\r\n' >"$dest/save.dat"
fi
log "the uninstaller: ${dest_win}install.exe"
(cd "$prefix/drive_c" && exec "$wine_loader" "${dest_win}install.exe") >/dev/null 2>&1 &
wine_pid=$!
finish "install.exe"
await "${title}の削除"
main_id=$(current)
await アンインストール
if [ "$save" = delete ]; then
  # "セーブデータも削除", the page's first control, has the focus.
  keys space
  shot uninstall-delete-save
else
  shot uninstall
fi
keys Return  # "実行"
await 完了
shot uninstalled
keys alt+c
settle "$main_id" "${title}の削除"

left=
if [ -d "$dest" ]; then left=$(cd "$dest" && find . -mindepth 1 | sort | tr '\n' ' '); fi
if [ "$save" = keep ]; then
  if [ "$left" = "./save.dat " ]; then pass "the game's folder holds save.dat alone"; else fail "the game's folder: expected ./save.dat alone, found [$left]"; fi
  if [ -f "$user_save/save.dat" ]; then pass "the per-user save data is kept"; else fail "the per-user save.dat is gone"; fi
elif [ -e "$dest" ]; then
  fail "the game's folder is left: $left"
else
  pass "the game's folder is gone"
fi
if [ "$save" = delete ]; then
  if [ -e "$user_save" ]; then fail "the per-user save folder is left: $(ls -A "$user_save" | tr '\n' ' ')"; else pass "the per-user save folder is gone"; fi
fi
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
