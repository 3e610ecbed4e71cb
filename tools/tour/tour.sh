#!/usr/bin/env bash
# The guided tour of the client: drives the real program as a user would (xdotool) against the
# demo's simulated boxes (tools/boxsim/demo.json), on a virtual display of its own inside the
# private network, and saves a screenshot of every step and a recording of the whole
# (tour.mp4, tour.gif) into a folder.
#   tools/tour/tour.sh <folder>
# Every step waits for what it shows and the tour fails (exit status 1) when it does not come,
# so the tour is also an end-to-end check. TAVO_BUILD_DIR chooses the build (default build/).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${TAVO_BUILD_DIR:-$top/build}
out=${1:?usage: tour.sh <folder>}
screen_width=1280
screen_height=800

if [ "${TAVO_TOUR_INSIDE:-}" != 1 ]; then
  mkdir -p "$out"
  out=$(cd "$out" && pwd)
  rm -rf "$out"/[0-9][0-9]-*.png "$out"/tour.mp4 "$out"/tour.gif "$out"/boxes
  exec env TAVO_TOUR_INSIDE=1 TAVO_BOXSIM_LOGS="$out/boxes" TAVO_XVFB_SCREEN="${screen_width}x${screen_height}x24" \
    "$top/scripts/with-boxes" "$top/tools/boxsim/demo.json" "$top/scripts/xvfb-run" "$0" "$out"
fi

# Debian's ImageMagick, not a stand-in that may come first on PATH.
convert=/usr/bin/convert
title="KLD-450R v0.2.7"

fail() {
  echo "Tour: $*" >&2
  exit 1
}

# Runs a command again and again, for up to $1 seconds, until it succeeds.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

pause() { sleep "${1:-1.5}"; }

step=0
# Saves the whole screen as the next numbered step.
shot() {
  step=$((step + 1))
  local file
  file=$(printf '%s/%02d-%s.png' "$out" "$step" "$1")
  import -window root "$file"
  echo "  $(basename "$file")"
}

# The share of clearly lit pixels in a rectangle of the screen (0 to 1).
lit_share() { # x y width height
  import -window root png:- |
    "$convert" png:- -crop "$3x$4+$1+$2" +repage -colorspace Gray -threshold 16% -format '%[fx:mean]' info:
}

shows_picture() { # x y width height
  awk -v share="$(lit_share "$@")" 'BEGIN { exit !(share > 0.3) }'
}

# The words tesseract reads in a rectangle of the screen, one a line: "x y word", where x y is
# the word's centre on the screen. Read at twice the size, where small interface text is sure.
words_in() { # x y width height
  import -window root png:- |
    "$convert" png:- -crop "$3x$4+$1+$2" +repage -resize 200% -colorspace Gray png:- |
    tesseract stdin stdout --psm 11 tsv 2>/dev/null |
    awk -F'\t' -v x="$1" -v y="$2" 'NR > 1 && $12 != "" {
      printf "%d %d %s\n", x + ($7 + $9 / 2) / 2, y + ($8 + $10 / 2) / 2, $12 }'
}

# The centre of the topmost place where the word is read in a rectangle of the screen: "x y".
find_word() { # word x y width height
  words_in "$2" "$3" "$4" "$5" | awk -v word="$1" '$3 == word' | sort -n -k2,2 | awk 'NR == 1 { print $1, $2 }'
}

shows_word() { # word x y width height
  [ -n "$(find_word "$@")" ]
}

visible_window() { # exact title
  xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | awk 'NR == 1' || true
}

window_shown() { [ -n "$(visible_window "$1")" ]; }
window_gone() { [ -z "$(visible_window "$1")" ]; }

# The web page window: with the remote control closed, the client's one other top-level window
# on the screen.
web_window() {
  xdotool search --maxdepth 1 --onlyvisible --class TAVO_Client 2>/dev/null | awk -v main="$main" '$1 != main' |
    awk 'NR == 1' || true
}
web_window_shown() { [ -n "$(web_window)" ]; }

click() { # x y
  xdotool mousemove "$1" "$2" sleep 0.3 click 1
}

key_reached_box() { # key name
  grep -qs "key=$1 " "$TAVO_BOXSIM_LOGS"/*.log
}

client_ended() { ! kill -0 "$client" 2>/dev/null; }

window_size() { # window id; gives "width height"
  xdotool getwindowgeometry --shell "$1" | awk -F= '/^WIDTH=/ { w = $2 } /^HEIGHT=/ { h = $2 } END { print w, h }'
}

# The client runs with a home of its own: the encrypted box's key is pinned there, not in yours.
home=$(mktemp -d "${TMPDIR:-/tmp}/tavo_tour_home.XXXXXX")
client=
recorder=
finish() {
  [ -z "$client" ] || kill "$client" 2>/dev/null || true
  [ -z "$recorder" ] || { kill -INT "$recorder" 2>/dev/null; wait "$recorder" 2>/dev/null; } || true
  rm -rf "$home"
}
trap finish EXIT

ffmpeg -hide_banner -loglevel error -nostdin -f x11grab -framerate 10 -video_size "${screen_width}x$screen_height" \
  -i "$DISPLAY" -c:v libx264 -preset superfast -crf 30 -pix_fmt yuv420p "$out/tour.mp4" &
recorder=$!

# Living Room's channels, as the client keeps them: after the digits its receiver wants OK.
living_uuid=0c1d2e3f-4a5b-4c6d-8e7f-102030405061
mkdir -p "$home/.local/share/TAVO_Client/channels"
cat >"$home/.local/share/TAVO_Client/channels/$living_uuid.json" <<'LIST'
{"confirmKey": "OK", "pauseMs": 400, "channels": [
  {"name": "Morning News", "number": "1"}, {"name": "Cinema Seven", "number": "7"},
  {"name": "Nature World", "number": "101"}]}
LIST

echo "Tour: the steps' screenshots go to $out"
# Inside the private network everybody is root of a namespace of their own, where QtWebEngine's
# sandbox refuses to start; nobody listens to the sound. What the client remembers stays in the
# tour's own home.
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share QT_QPA_PLATFORM=xcb QTWEBENGINE_DISABLE_SANDBOX=1 ALSA_CONFIG_PATH="$top/tests/support/null.asoundrc" \
  "$build/bin/TAVO_Client" >"$out/client.log" 2>&1 &
client=$!

wait_until 20 window_shown "$title" || fail "the client's window did not appear"
main=$(visible_window "$title")
xdotool windowmove "$main" 0 0
read -r win_width win_height < <(window_size "$main")
# The server table fills the window's left third.
table=(0 0 $((win_width / 3)) "$win_height")
wait_until 30 shows_word Living "${table[@]}" || fail "Living Room was not listed"
wait_until 10 shows_word Bedroom "${table[@]}" || fail "Bedroom was not listed"
pause
shot boxes-found
living=$(find_word Living "${table[@]}")
bedroom=$(find_word Bedroom "${table[@]}")

# The four buttons stand in one row under the video area, equally wide; a greyed "Controller"
# is no sure read, so its place and WebUI's follow from Start and Stop.
start=$(find_word Start 0 0 "$win_width" "$win_height")
stop=$(find_word Stop 0 0 "$win_width" "$win_height")
[ -n "$start" ] && [ -n "$stop" ] || fail "the Start and Stop buttons were not found"
read -r start_x button_y <<<"$start"
button_step=$((${stop% *} - start_x))
controller_x=$((start_x + 2 * button_step))
webui_x=$((start_x + 3 * button_step))
video=($((win_width / 3)) 12 $((win_width * 2 / 3 - 12)) $((button_y - 40)))

# shellcheck disable=SC2086 # "x y"
click $living
pause
shot living-room-chosen

click "$start_x" "$button_y"
wait_until 20 shows_picture "${video[@]}" || fail "no picture from Living Room"
pause 2
shot living-room-playing

click "$controller_x" "$button_y"
wait_until 10 window_shown Controller || fail "the remote control did not open"
panel=$(visible_window Controller)
# Beside the main window, or as far right as the panel's width lets it.
read -r panel_width _ < <(window_size "$panel")
panel_x=$((win_width + 20))
[ $((panel_x + panel_width)) -le "$screen_width" ] || panel_x=$((screen_width - panel_width))
panel_y=20
xdotool windowmove "$panel" "$panel_x" "$panel_y"
pause
shot remote-control

# The keys stand on a grid in the panel's first page, which starts 10 pixels in and 68 down (under
# the selector and the tab bar): 71×51 buttons, 80 and 60 apart, the first at 10, 10.
page_x=$((panel_x + 10))
page_y=$((panel_y + 68))
press_key() { # key name, row, column (from 1)
  click $((page_x + 10 + 80 * ($3 - 1) + 35)) $((page_y + 10 + 60 * ($2 - 1) + 25))
  wait_until 10 key_reached_box "$1" || fail "the box did not receive $1"
  wait_until 15 shows_word "$1" "${video[@]}" || fail "the picture does not show the key $1"
  shot "key-$(echo "$1" | tr '[:upper:]' '[:lower:]')"
}
press_key MENU 1 2
press_key UP 2 2
press_key OK 3 2

click "$controller_x" "$button_y"
wait_until 10 window_gone Controller || fail "the remote control did not close"

# Channels: L shows the chosen box's list beside the window; a double click on a name tunes it,
# and the box's picture shows the receiver tuned to it.
tuned_to() { [ "$(cat "$TAVO_BOXSIM_LOGS/$living_uuid.channel" 2>/dev/null)" = "$1" ]; }
# The receiver's words are in the picture's lower part; the client's caption is over its top.
picture_below_caption=("${video[0]}" $((video[1] + video[3] / 3)) "${video[2]}" $((video[3] * 2 / 3)))
beside=($((win_width + 1)) 0 $((screen_width - win_width - 1)) "$screen_height")
xdotool windowfocus --sync "$main" key l
wait_until 10 shows_word Nature "${beside[@]}" || fail "the channel list did not open"
# shellcheck disable=SC2046 # "x y"
xdotool mousemove $(find_word Nature "${beside[@]}") sleep 0.3 click --repeat 2 --delay 80 1
wait_until 10 tuned_to 101 || fail "the box was not tuned to channel 101"
wait_until 15 shows_word Nature "${picture_below_caption[@]}" || fail "the picture does not show the channel Nature World"
pause
shot channel-by-name
xdotool windowfocus --sync "$main" key l
wait_until 10 eval '! shows_word Nature "${beside[@]}"' || fail "the channel list did not close"

# Start stays disabled while a stream plays: Stop first.
click "$((start_x + button_step))" "$button_y"
pause 1
# shellcheck disable=SC2086 # "x y"
click $bedroom
pause 1
click "$start_x" "$button_y"
wait_until 30 shows_word Bedroom "${video[@]}" || fail "no picture from Bedroom (encrypted)"
pause 2
shot bedroom-encrypted-playing

click "$webui_x" "$button_y"
wait_until 20 web_window_shown || fail "the web page window did not open"
web=$(web_window)
read -r web_width web_height < <(window_size "$web")
web_x=$((screen_width - web_width - 20))
web_y=$((screen_height - web_height - 20))
xdotool windowmove "$web" "$web_x" "$web_y"
wait_until 20 shows_word Bedroom "$web_x" "$web_y" "$web_width" "$web_height" ||
  fail "the web page window shows no page"
pause
shot web-page

# The web page window covers part of the main window, which comes up again to hide it.
xdotool windowraise "$main"
click "$webui_x" "$button_y"
pause

# Full screen: the F key. No window manager runs here, so the tour gives the window the whole
# screen as a window manager would, and its old size again afterwards.
xdotool windowfocus --sync "$main" key f
xdotool windowmove "$main" 0 0 windowsize "$main" "$screen_width" "$screen_height"
full_screen() {
  shows_picture $((screen_width / 4)) $((screen_height / 4)) $((screen_width / 2)) $((screen_height / 2)) &&
    ! shows_word Living 0 0 $((screen_width / 3)) $((screen_height / 4))
}
wait_until 10 full_screen || fail "no picture over the whole screen"
pause 2
shot full-screen
xdotool key f
xdotool windowsize "$main" "$win_width" "$win_height"
wait_until 10 shows_word Living "${table[@]}" || fail "the server table did not come back after full screen"
wait_until 10 shows_picture "${video[@]}" || fail "no picture after full screen"
pause
shot normal-again

"$build/bin/tavo_closewindow" "$main"
wait_until 10 client_ended || fail "the client did not end when its window closed"
client=
pause 1
kill -INT "$recorder"
wait "$recorder" || true
recorder=
[ -s "$out/tour.mp4" ] || fail "no recording"
# A small animation for a web page: fewer frames, half the size, a palette of its own.
ffmpeg -hide_banner -loglevel error -nostdin -i "$out/tour.mp4" \
  -vf "fps=4,scale=640:-1:flags=lanczos,split[a][b];[a]palettegen=max_colors=64[p];[b][p]paletteuse=dither=none" \
  "$out/tour.gif"
echo "Tour: done. Screenshots, recording (tour.mp4, tour.gif) and the client's output (client.log) are in $out"
