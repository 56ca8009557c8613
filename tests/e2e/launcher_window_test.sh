#!/usr/bin/env bash
# launcher_window_test.sh BIN [SHOT_DIR]: the Windows launcher as players run it,
# under Wine with code page 936 and a CJK font, driven with xdotool.
#
# BIN holds the Windows build's programs. The launcher connects to its built-in
# connect server, which must be 127.0.0.1:44405 (the test build's setting); the
# reference connect server (under Wine) answers there, and slowed-down loopback
# HTTP and FTP servers hold two versions newer than the game folder's 1.0.0.
#
#   HTTP: the window appears, 580 x 380 and centred, with its skin and see-through
#         corners; the status line and both bars move during the update; a second
#         launcher shows text 127 and ends; the partition view has a closed
#         partition that does nothing; a partition shows the command buttons,
#         CloseBig goes back, Connect starts the game client with the partition's
#         address and port and the launcher ends; the desktop shortcut points at
#         the launcher, working folder its folder.
#         Close while the HTTP worker reports progress ends the launcher at once.
#   FTP:  Close in the middle of a transfer leaves the launcher open and nothing
#         half-written installed; a second Close ends it; a whole run over FTP
#         then updates, and Connect starts the game client.
#   Hand-over: an HTTP update that carries a new launcher starts the game client
#         and closes the window by itself, and the launcher ends.
#
# The screenshots stay in SHOT_DIR (default: a new folder); their paths are printed.
set -u
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
if [ -n "${2:-}" ]; then
  mkdir -p "$2"
  rm -f "$2"/*.png
  export TV_SHOT_DIR=$2
fi
# shellcheck source=tests/e2e/wine-gui.sh
source "$here/wine-gui.sh"
# shellcheck source=tests/e2e/launcher-scene.sh
source "$here/launcher-scene.sh"

trap 'scene_stop; tv_gui_stop' EXIT
tv_gui_start || fail "the harness did not start"
scene_start "$bin" || fail "the scene could not be set up"

# ---------------------------------------------------------------- HTTP
scene_connect_server http || fail "the connect server did not start"
scene_launcher
first=$TV_PID
wid=$(tv_wait_window '^Tarnvale' 60) || fail "no launcher window"
[ "$(tv_window_name "$wid")" = "Tarnvale登录器" ] || fail "window title '$(tv_window_name "$wid")'"
read -r x y w h < <(tv_geometry "$wid")
[ "$w" = 580 ] && [ "$h" = 380 ] || fail "window size ${w}x$h"
screen_w=$(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1] }')
screen_h=$(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[2] }')
[ $((2 * x + w - screen_w)) -ge -2 ] && [ $((2 * x + w - screen_w)) -le 2 ] &&
  [ $((2 * y + h - screen_h)) -ge -2 ] && [ $((2 * y + h - screen_h)) -le 2 ] ||
  fail "the window at $x,$y is not centred on ${screen_w}x$screen_h"

# While the update runs: screenshots, and what the bars and the status line show.
shots=()
for _ in $(seq 40); do
  shots+=("$(tv_screenshot updating)")
  scene_version_is 1.00.02 && break
  sleep 0.5
done
scene_version_is 1.00.02 || fail "the update did not finish: $(scene_version)"
# The connect server closed the connection once its answer had left; the window
# went on with the update regardless.
grep -q "closed: answered and idle" "$SCENE_CONNECT_LOG" ||
  fail "the connect server did not close the answered connection: $(cat "$SCENE_CONNECT_LOG")"
declare -A total_widths file_widths statuses
look_at_progress() { # shot: what the bars and the status line show in it
  scene_is_progress_view "$1" "$wid" || return 0
  total_widths[$(scene_bar_width "$1" "$wid" total)]=1
  file_widths[$(scene_bar_width "$1" "$wid" file)]=1
  statuses[$(scene_band_digest "$1" "$wid" status)]=1
}
for shot in "${shots[@]}"; do
  look_at_progress "$shot"
done

# A second launcher says so and ends; the first stays.
scene_launcher
second=$TV_PID
box=$(scene_wait_new_window "$wid" 30) || fail "the second launcher showed no box"
shot=$(tv_screenshot second-launcher)
echo "second launcher: $shot"
xdotool windowactivate --sync "$box" 2>/dev/null
tv_key Return
tv_wine_wait "$second" 20 || fail "the second launcher did not end"
tv__alive "$first" || fail "the first launcher ended too"

# The partition view: the open partition's button, the closed one disabled.
scene_wait_partition_view "$wid" || fail "no partition view"
shot=$(tv_screenshot partitions)
echo "partition view: $shot"
scene_check_skin "$shot" "$wid" || fail "the skin is not where it belongs"
tv_click "$wid" $((396 + 80)) $((17 + 13)) # partition 2: port 0
sleep 0.5
scene_is_partition_view "$(tv_screenshot closed-partition)" "$wid" ||
  fail "a closed partition left the partition view"

tv_click "$wid" $((227 + 80)) $((17 + 13)) # partition 1
sleep 0.5
shot=$(tv_screenshot chosen)
echo "partition chosen: $shot"
scene_is_progress_view "$shot" "$wid" || fail "choosing a partition shows the progress view"
scene_command_buttons_shown "$shot" "$wid" || fail "no Option, Connect and CloseBig buttons"
# The update over, both bars are full and the status line says so: together with
# the screenshots taken during the update, both bars and the status line moved.
look_at_progress "$shot"
[ ${#total_widths[@]} -ge 2 ] || fail "the upper bar did not move: ${!total_widths[*]}"
[ ${#file_widths[@]} -ge 2 ] || fail "the lower bar did not move: ${!file_widths[*]}"
[ ${#statuses[@]} -ge 2 ] || fail "the status line did not change"
echo "bars seen at widths: upper ${!total_widths[*]}; lower ${!file_widths[*]} (of 339)"
tv_click "$wid" $((456 + 42)) $((136 + 15)) # CloseBig
sleep 0.5
scene_is_partition_view "$(tv_screenshot back)" "$wid" || fail "CloseBig did not go back"

tv_click "$wid" $((227 + 80)) $((17 + 13))
sleep 0.5
tv_click "$wid" $((343 + 42)) $((136 + 15)) # Connect
tv_wine_wait "$first" 30 || fail "the launcher did not end after Connect"
scene_game_started 127.0.0.1 55901 || fail "the game client did not get partition 1"

scene_check_shortcut || fail "the desktop shortcut"

# Close while the HTTP worker reports progress: that road does not stop for Close,
# so the launcher ends at once, its worker with it; the version being fetched is
# not recorded.
scene_reset_game
scene_launcher
first=$TV_PID
wid=$(tv_wait_window '^Tarnvale' 60) || fail "no launcher window"
scene_wait_file_bar "$wid" || fail "no HTTP transfer began"
tv_click "$wid" 569 10
tv_wine_wait "$first" 20 || fail "Close during the HTTP update did not end the launcher"
scene_nothing_half_installed || fail "a half-written file looks installed (HTTP)"

# ---------------------------------------------------------------- FTP
scene_reset_game
scene_connect_server ftp || fail "the connect server did not start"
scene_launcher
first=$TV_PID
wid=$(tv_wait_window '^Tarnvale' 60) || fail "no launcher window"
scene_wait_transfer || fail "no FTP transfer began"
tv_click "$wid" 569 10 # Close, in the middle of the transfer
sleep 2
shot=$(tv_screenshot stopped)
echo "stopped: $shot"
tv__alive "$first" || fail "the first Close ended the launcher during the update"
scene_nothing_half_installed && scene_no_partial_download ||
  fail "a half-written file looks installed"
tv_click "$wid" 569 10 # Close again
tv_wine_wait "$first" 20 || fail "the second Close did not end the launcher"
scene_nothing_half_installed || fail "a half-written file looks installed after the end"

scene_launcher
first=$TV_PID
wid=$(tv_wait_window '^Tarnvale' 60) || fail "no launcher window"
scene_wait_partition_view "$wid" 90 || fail "no partition view after the FTP update"
scene_version_is 1.00.02 || fail "the FTP update did not install both versions: $(scene_version)"
tv_screenshot ftp-partitions
tv_click "$wid" $((227 + 80)) $((17 + 13))
sleep 0.5
tv_click "$wid" $((343 + 42)) $((136 + 15))
tv_wine_wait "$first" 30 || fail "the launcher did not end after Connect"
scene_game_started 127.0.0.1 55901 || fail "the game client did not get partition 1 (FTP)"

# ---------------------------------------------------------------- hand-over
# A version that carries the launcher itself: the HTTP worker asks the window
# thread for the hand-over, which starts the game client, closes the window and
# ends the launcher without a click.
mkdir -p "$SCENE_DIR/src/3"
printf '[LOGIN]\r\nVersion=1.00.03\r\n' >"$SCENE_DIR/src/3/config.ini"
cp "$bin/Tarnvale登录器.exe" "$SCENE_DIR/src/3/"
scene__tool tarnvale-patch.exe add "$(tv_wine_path "$SCENE_DIR/root")" 1.0.3 \
  "$(tv_wine_path "$SCENE_DIR/src/3")" || fail "publishing a new launcher"
scene_reset_game
printf '[LOGIN]\r\nVersion=1.00.02\r\n' >"$SCENE_GAME/config.ini"
scene_connect_server http || fail "the connect server did not start"
scene_launcher
first=$TV_PID
wid=$(tv_wait_window '^Tarnvale' 60) || fail "no launcher window"
tv_wine_wait "$first" 60 || fail "the launcher did not end after the hand-over"
scene_version_is 1.00.03 || fail "the new launcher's version was not installed: $(scene_version)"
[ -f "$SCENE_GAME/Tarnvale登录器._xe" ] || fail "the new launcher does not wait for the next start"
scene__wait_file "$SCENE_DIR/game-client.txt" 300 || fail "the hand-over started no game client"
# The hand-over writes no fresh connection parameters, so the client refuses.
grep -qx "no connection parameters" <(tr -d '\r' <"$SCENE_DIR/game-client.txt") ||
  fail "the hand-over's game client: $(cat "$SCENE_DIR/game-client.txt")"

echo "screenshots: $TV_SHOT_DIR"
echo "e2e (launcher window): ok"
