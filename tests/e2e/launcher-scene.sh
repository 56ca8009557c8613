# shellcheck shell=bash
# launcher-scene.sh: the world around the Windows launcher for its end-to-end test,
# the screenshot script and the Windows demo. Source it after wine-gui.sh and call
# tv_gui_start first. Functions are named scene_*; `fail` reports and exits.
#
#   scene_start BIN              game folder at 1.0.0, update servers with 1.0.1
#                                and 1.0.2 (slowed down, so the update can be watched)
#   scene_connect_server ROAD    the reference connect server on 127.0.0.1:44405,
#                                its log in SCENE_CONNECT_LOG,
#                                sending launchers to the http or ftp server
#   scene_launcher               starts the launcher from the game folder (TV_PID)
#   scene_stop                   stops what scene_start started
#
# The rest look at a running launcher: its views and bars in screenshots, the game
# folder, the game client's record and the desktop shortcut.

SCENE_RATE=${SCENE_RATE:-250000} # bytes a second from the update servers
SCENE_PAYLOAD=${SCENE_PAYLOAD:-900000} # bytes of new data in each version

fail() {
  echo "FAIL: $*"
  echo "--- windows:"
  xdotool search --name '' 2>/dev/null | while read -r id; do
    name=$(xdotool getwindowname "$id" 2>/dev/null)
    [ -n "$name" ] && echo "$id $name"
  done
  echo "--- Windows programs:"
  pgrep -af '\.exe' | grep -v 'system32' | cut -c1-160
  [ -n "${SCENE_DIR:-}" ] && for log in "$SCENE_DIR"/*.log; do
    [ -f "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }
  done
  [ -n "${TV_GUI_DIR:-}" ] && tv_gui_logs
  exit 1
}

# Runs a Windows tool of the build to its end, quietly.
scene__tool() {
  tv_wine_run "$SCENE_BIN/$1" "${@:2}" >>"$SCENE_DIR/tools.log" 2>&1
}

scene__wait_file() { # file, tenths of a second
  local i
  for ((i = 0; i < $2; i++)); do
    [ -s "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

scene_start() {
  SCENE_BIN=$1
  SCENE_DIR=$(mktemp -d "${TMPDIR:-/tmp}/tarnvale-scene.XXXXXX")
  SCENE_GAME=$SCENE_DIR/game
  SCENE_PIDS=()
  local root=$SCENE_DIR/root src=$SCENE_DIR/src py=/usr/bin/python3 v
  mkdir -p "$root"
  scene__tool tarnvale-patch.exe init "$(tv_wine_path "$root")" || return 1
  # Two versions, each a config.ini and a payload that does not compress.
  for v in 1 2; do
    mkdir -p "$src/$v/data"
    printf '[LOGIN]\r\nVersion=1.00.0%d\r\n' "$v" >"$src/$v/config.ini"
    head -c "$SCENE_PAYLOAD" /dev/urandom >"$src/$v/data/payload$v.bin"
    scene__tool tarnvale-patch.exe add "$(tv_wine_path "$root")" "1.0.$v" \
      "$(tv_wine_path "$src/$v")" || return 1
  done
  "$py" "$top/tests/support/http_server.py" --root "$root" --port-file "$SCENE_DIR/http.port" \
    --rate "$SCENE_RATE" >"$SCENE_DIR/http.log" 2>&1 &
  SCENE_PIDS+=($!)
  SCENE_FTP_USER=tarnvale SCENE_FTP_PASSWORD=patch-$$
  "$py" "$top/tests/support/ftp_server.py" --root "$root" --user "$SCENE_FTP_USER" \
    --password "$SCENE_FTP_PASSWORD" --port-file "$SCENE_DIR/ftp.port" --rate "$SCENE_RATE" \
    >"$SCENE_DIR/ftp.log" 2>&1 &
  SCENE_PIDS+=($!)
  scene__wait_file "$SCENE_DIR/http.port" 100 && scene__wait_file "$SCENE_DIR/ftp.port" 100 ||
    return 1
  # The game client writes what it received here; started by the launcher, it has
  # no console.
  export TARNVALE_GAME_RECORD
  TARNVALE_GAME_RECORD=$(tv_wine_path "$SCENE_DIR/game-client.txt")
  scene_reset_game
}

# A game folder at version 1.0.0 with the launcher, its texts and the game client.
scene_reset_game() {
  rm -rf "$SCENE_GAME" "$SCENE_DIR/game-client.txt"
  mkdir -p "$SCENE_GAME"
  cp "$SCENE_BIN/Tarnvale登录器.exe" "$SCENE_BIN/message.wtf" "$SCENE_GAME/"
  cp "$SCENE_BIN/tarnvale-game.exe" "$SCENE_GAME/TarnvaleGame.exe"
  printf '[LOGIN]\r\nVersion=1.00.00\r\n' >"$SCENE_GAME/config.ini"
}

scene_connect_server() {
  local road=$1 update
  [ -n "${SCENE_CONNECT_PID:-}" ] && kill "$SCENE_CONNECT_PID" 2>/dev/null && sleep 0.5
  if [ "$road" = ftp ]; then
    update="address = 127.0.0.1
port = $(cat "$SCENE_DIR/ftp.port")
account = $SCENE_FTP_USER
password = $SCENE_FTP_PASSWORD"
  else
    update="address = 127.0.0.1
port = $(cat "$SCENE_DIR/http.port")"
  fi
  # Partition names are in the players' code page: "北京" in GBK bytes.
  cat >"$SCENE_DIR/connect.conf" <<CONF
[server]
port = 44405
bind = 127.0.0.1
answer = $road
# Closed as soon as the answer has left: the window needs nothing more from it.
idle_close = 0
[update]
$update
version_file = version.wvd
[partition 1]
name = "\xb1\xb1\xbe\xa9 North"
address = 127.0.0.1
port = 55901
[partition 2]
name = Closed
address = 127.0.0.1
port = 0
[partition 3]
name = South
address = 127.0.0.2
port = 55903
CONF
  local log i attempt
  # The launcher's port is fixed; a server of an earlier scene or test that Wine
  # is still taking down may hold it for a moment, so a taken port is tried again.
  for attempt in 1 2 3 4 5; do
    tv_wine_start "$SCENE_BIN/tarnvale-connect-server.exe" "$(tv_wine_path "$SCENE_DIR/connect.conf")"
    SCENE_CONNECT_PID=$TV_PID
    log=$TV_GUI_DIR/wine-$(cat "$TV_GUI_DIR/counter").log
    SCENE_CONNECT_LOG=$log
    for i in $(seq 100); do
      grep -q "listening on port 44405" "$log" 2>/dev/null && return 0
      tv__alive "$SCENE_CONNECT_PID" || break
      sleep 0.1
    done
    grep -q "cannot listen on 127.0.0.1 port 44405" "$log" 2>/dev/null || break
    sleep 1
  done
  cat "$log"
  return 1
}

scene_launcher() {
  TV_WINE_CWD=$SCENE_GAME tv_wine_start "$SCENE_GAME/Tarnvale登录器.exe"
}

scene_stop() {
  local pid
  [ -n "${SCENE_CONNECT_PID:-}" ] && kill "$SCENE_CONNECT_PID" 2>/dev/null
  for pid in "${SCENE_PIDS[@]:-}"; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  [ -n "${SCENE_DIR:-}" ] && rm -rf "$SCENE_DIR"
  SCENE_DIR=
}

scene_version() {
  tr -d '\r' <"$SCENE_GAME/config.ini" | sed -n 's/^Version=//p'
}
scene_version_is() {
  [ "$(scene_version)" = "$1" ]
}

# --- what the window shows, read from screenshots (window coordinates)

# The colour of the skin and the bars at the points these checks use.
scene__pixel() { # shot wid x y
  tv_window_pixel "$1" "$2" "$3" "$4"
}

# The filled width of a bar: how far its row, just above the percentage text,
# shows the bar's picture (bright) rather than the empty trough.
scene_bar_width() { # shot wid total|file
  local row=76 wx wy rest
  [ "$3" = file ] && row=104
  read -r wx wy rest < <(tv_geometry "$2") || return 1
  convert "$1" -crop "339x1+$((wx + 225))+$((wy + row))" +repage -depth 8 txt:- 2>/dev/null |
    awk -F'[(),]' 'NR > 1 { if ($3 + $4 + $5 >= 3 * 150) n++; else exit } END { print n + 0 }'
}

# A digest of the pixels of a text band, to tell whether its text changed.
scene_band_digest() { # shot wid status|title
  local box="337x21+226+47" wx wy rest
  [ "$3" = title ] && box="180x21+383+19"
  read -r wx wy rest < <(tv_geometry "$2") || return 1
  local w=${box%%x*} h=${box#*x} x y
  h=${h%%+*}
  x=${box#*+} y=${x#*+} x=${x%%+*}
  convert "$1" -crop "${w}x$h+$((wx + x))+$((wy + y))" +repage rgb:- 2>/dev/null | md5sum |
    cut -c1-12
}

# Partition button 1 (227, 17) is only on the partition view; the bars' trough at
# (230, 110) is only on the progress view.
scene_is_partition_view() { # shot wid
  local p
  p=$(scene__pixel "$1" "$2" 300 20)
  scene__bright "$p"
}
scene_is_progress_view() { # shot wid
  ! scene_is_partition_view "$1" "$2"
}

scene__bright() { # #RRGGBB: all three channels above 150
  local hex=${1#\#}
  [ ${#hex} = 6 ] || return 1
  [ $((16#${hex:0:2})) -gt 150 ] && [ $((16#${hex:2:2})) -gt 150 ] && [ $((16#${hex:4:2})) -gt 150 ]
}

# The Option, Connect and CloseBig buttons: their pictures are not the skin's.
scene_command_buttons_shown() { # shot wid
  local shot=$1 wid=$2 x
  for x in 238 343 456; do
    [ "$(scene__pixel "$shot" "$wid" $((x + 42)) 151)" != "$(scene__pixel "$shot" "$wid" $((x - 8)) 151)" ] ||
      return 1
  done
}

# The skin's corner is the see-through key colour: the screen behind shows there,
# never pure green.
scene_check_skin() { # shot wid
  local corner
  corner=$(scene__pixel "$1" "$2" 2 2)
  [ "$corner" != "#00FF00" ] && [ "$corner" = "$(tv_pixel "$1" 1 1)" ] || {
    echo "corner $corner, screen $(tv_pixel "$1" 1 1)"
    return 1
  }
}

scene_wait_partition_view() { # wid [seconds]
  local i shot
  for ((i = 0; i < ${2:-60}; i++)); do
    shot=$(tv_screenshot waiting)
    if scene_is_partition_view "$shot" "$1"; then
      rm -f "$shot"
      return 0
    fi
    rm -f "$shot"
    sleep 1
  done
  return 1
}

# A visible top-level window of the launcher other than `wid` (its error box is
# captioned with the launcher's name too), within SECONDS.
scene_wait_new_window() { # wid seconds
  local i id
  for ((i = 0; i < $2 * 5; i++)); do
    for id in $(xdotool search --onlyvisible --name '^Tarnvale' 2>/dev/null); do
      [ "$id" != "$1" ] && {
        echo "$id"
        return 0
      }
    done
    sleep 0.2
  done
  return 1
}

scene_game_started() { # address port
  local record=$SCENE_DIR/game-client.txt
  scene__wait_file "$record" 300 || {
    echo "the game client recorded nothing"
    return 1
  }
  sleep 0.5
  local text
  text=$(tr -d '\r' <"$record")
  grep -qx "command line: address $1 port $2" <<<"$text" &&
    grep -qx "registry: address $1 port $2" <<<"$text" && grep -qx "parameters agree" <<<"$text" || {
    echo "$text"
    return 1
  }
}

# The shortcut on the prefix's desktop, read back through the shell link.
scene_check_shortcut() {
  local out want
  out=$(scene__tool_output tarnvale-shortcut-probe.exe) || {
    echo "$out"
    return 1
  }
  want=$(tv_wine_path "$SCENE_GAME")
  grep -qixF "target=$want\\Tarnvale登录器.exe" <<<"$out" && grep -qixF "folder=$want" <<<"$out" || {
    echo "$out (want $want)"
    return 1
  }
}

scene__tool_output() {
  tv_wine_run "$SCENE_BIN/$1" 2>&1 | tr -d '\r' | iconv -f GBK -t UTF-8
}

# The lower bar part-way along in the progress view: a download is under way.
scene_wait_file_bar() { # wid
  local i shot width
  for ((i = 0; i < 100; i++)); do
    shot=$(tv_screenshot downloading)
    width=$(scene_bar_width "$shot" "$1" file)
    rm -f "$shot"
    scene_version_is 1.00.00 && [ "$width" -gt 20 ] && [ "$width" -lt 300 ] && return 0
    sleep 0.2
  done
  return 1
}

# A file of the update arriving in "Temp": the FTP road's transfer is under way.
scene_wait_transfer() {
  local i
  for ((i = 0; i < 600; i++)); do
    find "$SCENE_GAME/Temp" -type f -size +1k 2>/dev/null | grep -q . && return 0
    sleep 0.1
  done
  return 1
}

# Whatever the game folder holds, nothing of a version it does not record: no
# payload of a newer version.
scene_nothing_half_installed() {
  local version v
  version=$(scene_version)
  for v in 1 2; do
    if [[ "$version" < "1.00.0$v" ]] && [ -e "$SCENE_GAME/data/payload$v.bin" ]; then
      echo "payload of 1.0.$v present at version $version"
      return 1
    fi
  done
}

# A transfer that was stopped leaves no part of its file in "Temp".
scene_no_partial_download() {
  if [ -e "$SCENE_GAME/Temp/up_list.zip" ]; then
    echo "a partial archive stays in Temp"
    return 1
  fi
}
