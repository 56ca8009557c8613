#!/usr/bin/env bash
# wine_gui_test.sh PROBE [SHOT_DIR]: proves the Wine GUI harness (wine-gui.sh) against the
# probe program (GuiProbe.cpp). Under code page 936 the title must read
# "Tarnvale登录器"; clicks and keys must arrive; the notice area must show its
# panel after the navigation error, ignore the right button and stay responsive;
# screenshots must show the program's pixels where xwininfo says it is; and every
# process must end. Runs once on the caller's display (when there is one) and once
# on a display of the harness's own.
set -u
probe=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
# Screenshots of this run only; by default a new folder that is kept.
if [ -n "${2:-}" ]; then
  mkdir -p "$2"
  rm -f "$2"/*.png
  export TV_SHOT_DIR=$2
fi
# shellcheck source=tests/e2e/wine-gui.sh
source "$here/wine-gui.sh"

fail() {
  echo "FAIL: $*"
  [ -n "${log:-}" ] && [ -f "$log" ] && { echo "--- probe log"; cat "$log"; }
  [ -n "${TV_GUI_DIR:-}" ] && tv_gui_logs
  exit 1
}

# Waits until the probe's log has a line matching the pattern.
wait_log() {
  local _
  for _ in $(seq 200); do
    grep -qx -- "$1" "$log" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "the probe never logged '$1'"
}

# A notice page on a loopback HTTP server, which logs the requests it serves.
web=$(mktemp -d)
echo '<html><body><h1>Server news</h1></body></html>' >"$web/notice.html"
(cd "$web" && exec /usr/bin/python3 -u -m http.server 0 --bind 127.0.0.1) >"$web.log" 2>&1 &
web_pid=$!
trap 'kill $web_pid 2>/dev/null; rm -rf "$web" "$web.log"; tv_gui_stop' EXIT
for _ in $(seq 100); do grep -q "port [0-9]" "$web.log" && break; sleep 0.1; done
web_port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$web.log" | head -n 1)
[ -n "$web_port" ] || fail "the HTTP server did not start: $(cat "$web.log")"

panel='#1E3C5A'      # the notice panel's fill, RGB(30, 60, 90)
background='#C87828' # the probe's own background, RGB(200, 120, 40)

# The whole tour on whatever display tv_gui_start settles on; $1 names it in
# the page's address.
tour() {
  tv_gui_start || fail "the harness did not start"
  log=$TV_GUI_DIR/probe.log
  tv_wine_start "$probe" "$(tv_wine_path "$log")" "http://127.0.0.1:$web_port/notice.html?$1"
  local pid=$TV_PID wid name x y w h shot
  wid=$(tv_wait_window '^Tarnvale' 60) || fail "no probe window"
  name=$(tv_window_name "$wid")
  [ "$name" = "Tarnvale登录器" ] || fail "window title '$name'"
  wait_log "acp 936"
  wait_log "cjk-glyphs ok"
  read -r x y w h < <(tv_geometry "$wid") || fail "no geometry"
  [ "$w $h" = "400 300" ] || fail "window size $w x $h"
  # Centred on the 1024 x 768 screen.
  [ "$x $y" = "312 234" ] || fail "window at $x, $y"

  # The page is fetched, but Wine has no HTML engine to show it: the navigation
  # fails and the panel stands in.
  wait_log "notice unavailable"
  grep -q "\"GET /notice.html?$1 HTTP/1.1\" 200" "$web.log" || fail "the page was never fetched"
  shot=$(tv_screenshot notice-panel) || fail "no screenshot"
  echo "screenshot: $shot"
  [ "$(tv_window_pixel "$shot" "$wid" 5 150)" = "$background" ] || fail "background pixel"
  [ "$(tv_window_pixel "$shot" "$wid" 25 85)" = "$panel" ] || fail "panel pixel"
  [ "$(tv_window_pixel "$shot" "$wid" 375 275)" = "$panel" ] || fail "panel corner pixel"

  # The right button over the panel reaches the window beneath (the panel is
  # part of the skin) and opens nothing: no new window, no menu drawn where it
  # would open.
  local before after
  before=$(tv_visible_windows | wc -l)
  tv_click "$wid" 200 100 3
  wait_log "right-button"
  after=$(tv_visible_windows | wc -l)
  [ "$before" = "$after" ] || fail "$before visible windows before the right click, $after after"
  shot=$(tv_screenshot after-right-click)
  [ "$(tv_window_pixel "$shot" "$wid" 206 106)" = "$panel" ] || fail "panel after the right click"

  # A drag that starts on the panel drags the window beneath, as the skin does.
  tv_drag "$wid" 50 100 150 160
  wait_log "drag 50,100 150,160"

  # Still responsive after the error: a click and a key make the round trip.
  tv_click "$wid" 70 35
  wait_log "command ping"
  tv_key Escape
  wait_log "key 27"

  # The Close button ends the program by itself, with exit code 0.
  tv_click "$wid" 190 35
  local status=0
  tv_wine_wait "$pid" 30 || status=$?
  [ $status -eq 0 ] || fail "probe exit status $status"
  wait_log "exit"
}

# On the caller's display (xvfb-run in scripts/test), with the prefix's settings
# checked from outside.
tour shared-display
[ "$(tv_reg_query 'HKCU\Software\Wine\X11 Driver' Managed)" = "N" ] || fail "Managed is not N"
desktop=$(find "$TV_WINEPREFIX/drive_c/users" -mindepth 2 -maxdepth 2 -name Desktop ! -path '*/Public/*')
if [ -z "$desktop" ] || [ -L "$desktop" ] || [ ! -d "$desktop" ]; then
  fail "Desktop is not a real folder"
fi
prefix=$TV_WINEPREFIX
tv_gui_stop
WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null && fail "a wineserver outlived tv_gui_stop"

# Standalone: no display of the caller's; the harness brings up and takes down
# its own.
(
  unset DISPLAY
  tour own-display
  xvfb=$TV__XVFB_PID
  [ -n "$xvfb" ] || fail "the harness did not start its own Xvfb"
  tv_gui_stop
  kill -0 "$xvfb" 2>/dev/null && fail "Xvfb outlived tv_gui_stop"
  exit 0
) || exit 1
echo "wine gui harness: ok"
