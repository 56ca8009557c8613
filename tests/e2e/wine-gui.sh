# shellcheck shell=bash
# wine-gui.sh: drives Windows GUI programs under Wine on an X display, the way the
# launcher's end-to-end tests and `scripts/demo --windows` need. Source it from a
# bash script; it defines functions (all named tv_*) and sets nothing else until
# tv_gui_start runs.
#
# The Wine prefix is prepared as players' machines are: code page 936 (the
# zh_CN.UTF-8 locale, built with localedef under LOCPATH when the system lacks
# it), the CJK font WenQuanYi Micro Hei in C:\windows\Fonts so that the face
# "宋体" draws Chinese text, no window manager waits (X11 Driver "Managed" = "N"),
# a real Desktop folder instead of a link to $HOME, no menu builder and no audio
# drivers. Its HTML engine is switched off, as cmake/wine-run does: Wine has none
# here, and creating the prefix would otherwise offer to download one. It is a
# prefix of its own, kept between runs (prepared once, checked at every start)
# and locked while a run uses it.
#
#   source tests/e2e/wine-gui.sh
#   tv_gui_start                     # display, prefix, locale; EXIT trap stops it all
#   tv_wine_start "$exe" arg...      # a program in the background; its pid in TV_PID
#   tv_wine_run "$exe" arg...        # a program in the foreground (console tools)
#   tv_wine_path "$file"             # -> Z:\path\as\Windows\names\it
#   wid=$(tv_wait_window '^Tarnvale' 30) || exit 1
#   tv_window_name "$wid"            # -> Tarnvale登录器 (UTF-8)
#   tv_visible_windows               # ids of all visible top-level windows
#   read -r x y w h < <(tv_geometry "$wid")
#   tv_click "$wid" 100 50           # window-relative point, left button (3: right)
#   tv_drag "$wid" 10 10 60 40       # press, move in steps, release
#   tv_key Escape                    # xdotool key names, to the focused window
#   shot=$(tv_screenshot progress)   # whole screen to a PNG; prints its path
#   tv_pixel "$shot" 10 10           # -> #RRGGBB
#   tv_window_pixel "$shot" "$wid" 5 5
#   tv_reg_query 'HKCU\Software\Wine\X11 Driver' Managed   # -> N
#   tv_wine_wait "$TV_PID" 20        # waits for the program; returns its exit status
#   tv_gui_stop                      # ends every process of the run
#
# Display: with DISPLAY set to a live X server (as under `xvfb-run`, which
# `scripts/test win` uses), the harness uses it; otherwise it starts its own Xvfb
# at 1024x768x24 and stops it at the end.
#
# Settings (environment, all optional):
#   TV_GUI_PREFIX  the Wine prefix (default: ${TARNVALE_WINEPREFIX:-~/.cache/tarnvale-wine}-gui)
#   TV_SHOT_DIR    where screenshots go; kept after the run (default: a new folder
#                  under ${TMPDIR:-/tmp})
#   TV_WINE_CWD    working folder of programs started with tv_wine_start/tv_wine_run
#
# After tv_gui_start: TV_GUI_DIR (this run's scratch folder: program logs), TV_SHOT_DIR,
# TV_WINEPREFIX, DISPLAY (exported). tv_gui_logs prints the programs' logs.
# tv_gui_start installs `trap tv_gui_stop EXIT` only when the script has no EXIT
# trap; a script with its own calls tv_gui_stop from it.

TV__WINE_BIN=$(dirname "$(command -v wine64 || echo /usr/lib/wine/wine64)")
TV__PREFIX_VERSION=1 # bump when the preparation below changes

tv__die() {
  echo "wine-gui: $*" >&2
  return 1
}

# The environment every Wine process of the run gets.
tv__wine_env() {
  local env=(WINEPREFIX="$TV_WINEPREFIX" WINEDEBUG=-all LC_ALL=zh_CN.UTF-8
    "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d;winealsa.drv,winepulse.drv,wineoss.drv=d")
  [ -n "${TV__LOCPATH:-}" ] && env+=(LOCPATH="$TV__LOCPATH")
  printf '%s\n' "${env[@]}"
}

# Programs of the run must not inherit the prefix's lock: a wineserver that
# outlived a killed run would hold it for ever.
tv__env() { # command...: runs the command in the Wine environment
  local -a env
  mapfile -t env < <(tv__wine_env)
  env "${env[@]}" "$@" {TV__LOCK_FD}>&-
}

tv__exec_wine() { # program args...: becomes the Wine process (keeps the pid)
  local -a env
  mapfile -t env < <(tv__wine_env)
  exec {TV__LOCK_FD}>&-
  exec env "${env[@]}" "$TV__WINE_BIN/wine64" "$@"
}

tv__alive() { # pid: running, not a zombie waiting to be collected
  kill -0 "$1" 2>/dev/null || return 1
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ]
}

tv__locale() {
  TV__LOCPATH=
  if locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
    return 0
  fi
  local dir=$TV_WINEPREFIX.locale
  if [ ! -f "$dir/zh_CN.UTF-8/LC_CTYPE" ]; then
    mkdir -p "$dir"
    # localedef warns about things that do not matter here and exits 1 for them.
    localedef -i zh_CN -f UTF-8 "$dir/zh_CN.UTF-8" >/dev/null 2>&1 || true
    [ -f "$dir/zh_CN.UTF-8/LC_CTYPE" ] || tv__die "localedef could not build zh_CN.UTF-8" || return 1
  fi
  TV__LOCPATH=$dir
}

tv__display() {
  TV__XVFB_PID=
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local fdfile=$TV_GUI_DIR/display
  : >"$fdfile"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >"$TV_GUI_DIR/xvfb.log" 2>&1 \
    {TV__LOCK_FD}>&- &
  TV__XVFB_PID=$!
  local i
  for i in $(seq 100); do
    [ -s "$fdfile" ] && break
    tv__alive "$TV__XVFB_PID" || break
    sleep 0.1
  done
  [ -s "$fdfile" ] || { cat "$TV_GUI_DIR/xvfb.log" >&2; tv__die "Xvfb did not start"; return 1; }
  DISPLAY=":$(tr -d '[:space:]' <"$fdfile")"
  export DISPLAY
}

# Everything players' machines have that a fresh prefix lacks. Cheap checks run
# every time; the registry is written once per prefix version.
tv__prefix() {
  local p=$TV_WINEPREFIX
  if [ ! -f "$p/system.reg" ]; then
    mkdir -p "$p"
    tv__env "$TV__WINE_BIN/wine64" wineboot -i >"$TV_GUI_DIR/wineboot.log" 2>&1
    tv__env "$TV__WINE_BIN/wineserver" -w
    [ -f "$p/system.reg" ] || { cat "$TV_GUI_DIR/wineboot.log" >&2; tv__die "wineboot failed"; return 1; }
  fi
  local font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
  [ -f "$font" ] || tv__die "no $font (install fonts-wqy-microhei)" || return 1
  mkdir -p "$p/drive_c/windows/Fonts"
  cmp -s "$font" "$p/drive_c/windows/Fonts/wqy-microhei.ttc" ||
    cp "$font" "$p/drive_c/windows/Fonts/wqy-microhei.ttc"
  # A fresh prefix links Desktop to $HOME: shortcuts written by the program under
  # test would land in the real home folder.
  local desktop
  for desktop in "$p"/drive_c/users/*/Desktop; do
    if [ -L "$desktop" ]; then
      rm -f "$desktop"
      mkdir -p "$desktop"
    fi
  done
  if [ "$(cat "$p/.tarnvale-gui" 2>/dev/null)" != "$TV__PREFIX_VERSION" ]; then
    tv__env "$TV__WINE_BIN/wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
      >/dev/null 2>&1 || tv__die "cannot write the X11 driver settings" || return 1
    tv__env "$TV__WINE_BIN/wineserver" -w
    echo "$TV__PREFIX_VERSION" >"$p/.tarnvale-gui"
  fi
}

tv_gui_start() {
  [ -z "${TV_GUI_DIR:-}" ] || tv__die "tv_gui_start: already started" || return 1
  TV_WINEPREFIX=${TV_GUI_PREFIX:-${TARNVALE_WINEPREFIX:-${HOME:-/tmp}/.cache/tarnvale-wine}-gui}
  TV_GUI_DIR=$(mktemp -d "${TMPDIR:-/tmp}/tarnvale-gui.XXXXXX")
  TV_SHOT_DIR=${TV_SHOT_DIR:-$(mktemp -d "${TMPDIR:-/tmp}/tarnvale-shots.XXXXXX")}
  mkdir -p "$TV_SHOT_DIR" "$(dirname "$TV_WINEPREFIX")"
  : >"$TV_GUI_DIR/pids"
  echo 0 >"$TV_GUI_DIR/counter"
  [ -n "$(trap -p EXIT)" ] || trap tv_gui_stop EXIT
  # One run per prefix at a time: tv_gui_stop ends every process in it.
  exec {TV__LOCK_FD}>"$TV_WINEPREFIX.lock"
  flock -w 900 "$TV__LOCK_FD" || tv__die "the prefix $TV_WINEPREFIX stays locked" || return 1
  tv__locale && tv__display && tv__prefix || return 1
  # A warm server makes each program start in a fraction of a second. It stays
  # a minute after the last program, not for ever, should the run be killed.
  tv__env "$TV__WINE_BIN/wineserver" -p60
}

tv_gui_stop() {
  [ -n "${TV_GUI_DIR:-}" ] || return 0
  local pid i
  while read -r pid; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
  done <"$TV_GUI_DIR/pids"
  if [ -n "${TV_WINEPREFIX:-}" ]; then
    tv__env "$TV__WINE_BIN/wineserver" -k 2>/dev/null
    tv__env "$TV__WINE_BIN/wineserver" -w 2>/dev/null
  fi
  while read -r pid; do
    [ -n "$pid" ] && wait "$pid" 2>/dev/null
  done <"$TV_GUI_DIR/pids"
  if [ -n "${TV__XVFB_PID:-}" ]; then
    kill "$TV__XVFB_PID" 2>/dev/null
    for i in $(seq 50); do tv__alive "$TV__XVFB_PID" || break; sleep 0.1; done
    kill -9 "$TV__XVFB_PID" 2>/dev/null
    wait "$TV__XVFB_PID" 2>/dev/null
    TV__XVFB_PID=
  fi
  [ -n "${TV__LOCK_FD:-}" ] && exec {TV__LOCK_FD}>&-
  TV__LOCK_FD=
  rm -rf "$TV_GUI_DIR"
  TV_GUI_DIR=
  return 0
}

# Prints the logs of the programs this run started (stdout and stderr of each).
tv_gui_logs() {
  local log
  for log in "$TV_GUI_DIR"/wine-*.log; do
    [ -f "$log" ] || continue
    echo "--- $log"
    cat "$log"
  done
}

# A Unix path as Windows programs in the prefix name it (drive Z: is /).
tv_wine_path() {
  local path
  path=$(realpath -m "$1")
  printf 'Z:%s\n' "${path//\//\\}"
}

# tv_wine_start EXE [ARG...]: starts a Windows program in the background, in
# TV_WINE_CWD (default: the current folder). Sets TV_PID; call it directly, not
# in $(...), so that tv_wine_wait can collect the program's exit status.
tv_wine_start() {
  local n
  n=$(($(cat "$TV_GUI_DIR/counter") + 1))
  echo "$n" >"$TV_GUI_DIR/counter"
  (cd "${TV_WINE_CWD:-.}" && tv__exec_wine "$@") </dev/null >"$TV_GUI_DIR/wine-$n.log" 2>&1 &
  TV_PID=$!
  echo "$TV_PID" >>"$TV_GUI_DIR/pids"
}

# tv_wine_run EXE [ARG...]: runs a Windows program in the foreground; its output
# and exit status are the command's.
tv_wine_run() {
  (cd "${TV_WINE_CWD:-.}" && tv__env "$TV__WINE_BIN/wine64" "$@")
}

# tv_wine_wait PID [SECONDS]: waits for a program started by tv_wine_start and
# returns its exit status; 124 if it is still running after SECONDS (default 30).
tv_wine_wait() {
  local pid=$1 limit=${2:-30} i
  for ((i = 0; i < limit * 10; i++)); do
    tv__alive "$pid" || break
    sleep 0.1
  done
  tv__alive "$pid" && return 124
  wait "$pid"
}

# tv_wait_window REGEX [SECONDS]: prints the id of the first visible top-level
# window whose title matches REGEX (extended regular expression over the UTF-8
# title), waiting up to SECONDS (default 30); fails if none appears.
tv_wait_window() {
  local regex=$1 limit=${2:-30} id
  id=$(timeout "$limit" xdotool search --sync --onlyvisible --name "$regex" 2>/dev/null | head -n 1)
  [ -n "$id" ] || tv__die "no window matching '$regex' within ${limit} s" || return 1
  echo "$id"
}

# tv_visible_windows: prints the ids of the visible top-level windows, one a line
# (a menu or message box that opens adds one).
tv_visible_windows() {
  xdotool search --onlyvisible --maxdepth 1 --name '' 2>/dev/null
}

# tv_window_name WID: the window's title in UTF-8, as the window manager reads it.
tv_window_name() {
  local line
  line=$(LC_ALL=C.UTF-8 xprop -id "$1" _NET_WM_NAME 2>/dev/null)
  case $line in
  *'= "'*)
    line=${line#*= \"}
    printf '%s\n' "${line%\"}"
    ;;
  *) LC_ALL=C.UTF-8 xdotool getwindowname "$1" ;;
  esac
}

# tv_geometry WID: prints "X Y WIDTH HEIGHT", the window's place on the screen (for
# a popup window without a frame, as the launcher's, that is its client area).
tv_geometry() {
  LC_ALL=C xwininfo -id "$1" | awk '
    /Absolute upper-left X:/ { x = $NF }
    /Absolute upper-left Y:/ { y = $NF }
    /^ *Width:/ { w = $NF }
    /^ *Height:/ { h = $NF }
    END { if (w == "") exit 1; print x, y, w, h }'
}

# tv__pointer_to X Y: moves the pointer to the screen point and waits until it
# is there. (xdotool's --sync waits for a movement, about 15 s in vain when the
# pointer is already at the point, as after two clicks at one place.)
tv__pointer_to() {
  local at
  at=$(xdotool getmouselocation 2>/dev/null)
  case $at in "x:$1 y:$2 "*) return 0 ;; esac
  xdotool mousemove --sync "$1" "$2"
}

# tv_click WID X Y [BUTTON]: moves the pointer to the window-relative point and
# clicks BUTTON (1 left, default; 3 right).
tv_click() {
  local wid=$1 x=$2 y=$3 button=${4:-1} wx wy rest
  read -r wx wy rest < <(tv_geometry "$wid") || return 1
  tv__pointer_to $((wx + x)) $((wy + y)) || return 1
  sleep 0.1
  xdotool click "$button"
  sleep 0.1
}

# tv_drag WID X1 Y1 X2 Y2: presses the left button at the first window-relative
# point, moves to the second in steps with pauses (Wine needs them to see a
# drag), and releases.
tv_drag() {
  local wid=$1 x1=$2 y1=$3 x2=$4 y2=$5 wx wy rest i
  read -r wx wy rest < <(tv_geometry "$wid") || return 1
  tv__pointer_to $((wx + x1)) $((wy + y1)) && sleep 0.1 && xdotool mousedown 1 || return 1
  for i in 1 2 3 4; do
    sleep 0.1
    xdotool mousemove $((wx + x1 + (x2 - x1) * i / 4)) $((wy + y1 + (y2 - y1) * i / 4))
  done
  sleep 0.1
  xdotool mouseup 1
  sleep 0.1
}

# tv_key KEY...: types keys (xdotool names: Escape, Return, alt+F4) into the
# focused window; click into the window first to give it the focus.
tv_key() {
  xdotool key --delay 100 "$@"
  sleep 0.1
}

# tv_screenshot NAME: saves the whole screen as TV_SHOT_DIR/NN-NAME.png and prints
# the file's path. Screenshots are kept after the run.
tv_screenshot() {
  local n file
  # Numbered after those already in the folder, which may come from earlier runs.
  n=$(($(find "$TV_SHOT_DIR" -maxdepth 1 -name '*.png' | wc -l) + 1))
  file=$TV_SHOT_DIR/$(printf '%02d' "$n")-${1:-screen}.png
  import -window root "$file" || return 1
  echo "$file"
}

# tv_pixel FILE X Y: prints the colour of a pixel of an image as #RRGGBB.
tv_pixel() {
  convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- 2>/dev/null |
    sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/#\1/p' | head -n 1 | tr 'a-f' 'A-F'
}

# tv_window_pixel FILE WID X Y: a pixel of a screenshot at a point relative to the
# window's current position.
tv_window_pixel() {
  local wx wy rest
  read -r wx wy rest < <(tv_geometry "$2") || return 1
  tv_pixel "$1" $((wx + $3)) $((wy + $4))
}

# tv_reg_query KEY VALUE: prints the data of a registry value in the prefix (a
# DWORD as 0x..., a string as its text); fails when the value does not exist.
# Each query starts a Wine program (about a second with a warm server).
tv_reg_query() {
  local out
  out=$(tv_wine_run reg query "$1" /v "$2" 2>/dev/null | iconv -f GBK -t UTF-8 2>/dev/null | tr -d '\r')
  awk -v name="$2" '
    { line = $0; sub(/^ +/, "", line) }
    index(line, name " ") == 1 && match(line, /REG_[A-Z_]+ +/) {
      print substr(line, RSTART + RLENGTH); found = 1; exit
    }
    END { exit !found }' <<<"$out"
}
