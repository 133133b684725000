# Sourced by the end-to-end tests: runs the built program through the
# launcher on an X display and drives it as a user would. Every wait is
# bounded; whatever the test started is stopped when it exits.
#
# Arguments of the sourcing script: the program's folder, the launcher, the
# source folder.
set -uo pipefail

GAME_DIR=$(realpath "$1")
LAUNCHER=$(realpath "$2")
SOURCE_DIR=$(realpath "$3")
TITLE="Ovik's TLN4070 Game"
# As patterns for xdotool search.
TITLE_PATTERN="^Ovik's TLN4070 Game\$"
CONFIRMATION_PATTERN='^Exit Program\?$'

export BUILD_DIR="${BUILD_DIR:-$(dirname "$GAME_DIR")}"
source "$SOURCE_DIR/scripts/display.sh"
source "$SOURCE_DIR/scripts/wine.sh"
prepare_wine_prefix

# Captures stay in the build folder, so that a failure can be looked at.
WORK_DIR="$BUILD_DIR/Testing/e2e/$(basename "$0" .sh)"
rm -rf "$WORK_DIR"
mkdir -p "$WORK_DIR"

LAUNCHER_PID=""
GAME_PID=""
WINDOW=""
CLIENT=""

stop_everything() {
  if [ -n "$GAME_PID" ] && kill -0 "$GAME_PID" 2>/dev/null; then
    kill "$GAME_PID" 2>/dev/null
  fi
  if [ -n "$LAUNCHER_PID" ] && kill -0 "$LAUNCHER_PID" 2>/dev/null; then
    sleep 1
    kill "$LAUNCHER_PID" 2>/dev/null
  fi
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null
  fi
}
trap stop_everything EXIT

fail() {
  echo "FAIL: $*"
  [ -f "$WORK_DIR/launcher.log" ] && sed 's/^/  launcher: /' "$WORK_DIR/launcher.log"
  exit 1
}

# until_true SECONDS COMMAND...: runs COMMAND every tenth of a second until it
# succeeds; fails after SECONDS.
until_true() {
  local seconds="$1"
  shift
  local tries=$((seconds * 10))
  for _ in $(seq "$tries"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# The program's own windows whose title matches, by the process that owns
# them: other tests on the same display may show windows with the same title.
game_windows_named() {
  xdotool search --all --pid "$GAME_PID" --name "$1" 2>/dev/null
}

# The program's Unix process: the owner of a new top-level window with the
# title that runs game.exe.
find_game_window() {
  local window pid
  for window in $(xdotool search --name "$TITLE_PATTERN" 2>/dev/null); do
    grep -qx "$window" "$WORK_DIR/windows_before" && continue
    pid=$(xdotool getwindowpid "$window" 2>/dev/null) || continue
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "game.exe" ] || continue
    WINDOW="$window"
    GAME_PID="$pid"
    return 0
  done
  return 1
}

# The client area: Wine gives it its own 800 by 600 X window once the device
# renders into it.
find_client_area() {
  CLIENT=$(xwininfo -tree -id "$WINDOW" 2>/dev/null | awk '/ 800x600\+/ { print $1; exit }')
  [ -n "$CLIENT" ]
}

# start_game: starts the program from its folder and waits for its window and
# its client area.
start_game() {
  xdotool search --name "$TITLE_PATTERN" >"$WORK_DIR/windows_before" 2>/dev/null
  (cd "$GAME_DIR" && exec wine "$LAUNCHER" game.exe) >"$WORK_DIR/launcher.log" 2>&1 &
  LAUNCHER_PID=$!
  until_true 120 find_game_window || fail "no window titled \"$TITLE\" appeared"
  until_true 60 find_client_area || fail "the window has no 800x600 client area"
}

game_is_running() {
  kill -0 "$LAUNCHER_PID" 2>/dev/null
}

# expect_exit CODE: waits for the program to end and checks its exit code as
# the launcher saw it.
expect_exit() {
  until_true 60 eval '! game_is_running' || fail "the program did not end"
  wait "$LAUNCHER_PID"
  local status=$?
  LAUNCHER_PID=""
  GAME_PID=""
  # The launcher writes through the Windows runtime: lines end in \r\n.
  tr -d '\r' <"$WORK_DIR/launcher.log" | grep -q "^exit code $1\$" ||
    fail "expected exit code $1, the launcher reported: $(cat "$WORK_DIR/launcher.log")"
  [ "$status" -eq "$1" ] || fail "the launcher returned $status instead of $1"
}

# focus WINDOW: a window found by name may not be mapped yet, and X refuses it
# the focus until it is (seen on a loaded machine).
focus() {
  until_true 30 xdotool windowfocus --sync "$1" 2>/dev/null
}

# press KEY...: keys for the program's window.
press() {
  focus "$WINDOW" || fail "cannot focus the window"
  xdotool key "$@"
}

# hold KEY SECONDS [WINDOW]: holds a key down in the program's window or WINDOW.
hold() {
  focus "${3:-$WINDOW}" || fail "cannot focus the window"
  xdotool keydown "$1"
  sleep "$2"
  xdotool keyup "$1"
}

confirmation_is_open() {
  [ -n "$(game_windows_named "$CONFIRMATION_PATTERN")" ]
}

# answer_quit KEY: Escape, then the answer (y or n) in the confirmation box.
answer_quit() {
  press Escape
  until_true 30 confirmation_is_open || fail "Escape did not ask \"Are you sure you want to quit?\""
  local box
  box=$(game_windows_named "$CONFIRMATION_PATTERN" | head -n 1)
  focus "$box" || fail "cannot focus the confirmation box"
  xdotool key "$1"
  until_true 30 eval '! confirmation_is_open' || fail "the confirmation box did not close"
}

# capture NAME: the client area as raw 8-bit RGB in NAME.rgb (and NAME.png to
# look at).
capture() {
  xwd -silent -id "$CLIENT" >"$WORK_DIR/$1.xwd" || fail "cannot capture the client area"
  convert "xwd:$WORK_DIR/$1.xwd" "$WORK_DIR/$1.png" &&
    convert "$WORK_DIR/$1.png" -depth 8 "rgb:$WORK_DIR/$1.rgb" || fail "cannot convert $1"
  rm -f "$WORK_DIR/$1.xwd"
}

# pixel NAME X Y: prints "R G B" of one pixel of a capture.
pixel() {
  od -An -tu1 -j $((($3 * 800 + $2) * 3)) -N3 "$WORK_DIR/$1.rgb" | xargs
}

# expect_pixel NAME X Y R G B TOLERANCE [WHAT]
expect_pixel() {
  local actual
  actual=$(pixel "$1" "$2" "$3")
  local -a got=($actual)
  local -a want=("$4" "$5" "$6")
  for channel in 0 1 2; do
    local difference=$((got[channel] - want[channel]))
    if [ "${difference#-}" -gt "$7" ]; then
      fail "${8:-pixel} at ($2, $3) in $1 is ($actual), expected ($4 $5 $6) +-$7"
    fi
  done
}
