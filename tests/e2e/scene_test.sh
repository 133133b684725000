#!/usr/bin/env bash
# The scene as the user sees it: the first frame shows the cube's front face
# centred on the floor, Right moves the cube right, W moves the scene down
# (the camera rises) and A moves it right (the camera goes left); keys typed
# into another window of the same Wine session move nothing.
source "$(dirname "$0")/e2e.sh"
source "$(dirname "$0")/first_frame.sh"

# moved NAME KEY DX DY [WINDOW]: holds KEY for a second (in WINDOW), lets the
# movement die down, and checks the cube's centre went by at least 15 pixels
# the way DX and DY (-1, 0 or 1) point, and stayed within 6 on an axis of 0.
moved() {
  local before after
  before=($(cube_centre "$1")) || fail "no cube in $1"
  hold "$2" 1 "${5:-}"
  sleep 1
  capture "$2" || fail "cannot capture after $2"
  after=($(cube_centre "$2")) || fail "no cube after $2"
  echo "$2${5:+ in another window}: cube centre (${before[*]}) -> (${after[*]})"
  local axis direction distance
  for axis in 0 1; do
    direction=$([ "$axis" -eq 0 ] && echo "$3" || echo "$4")
    distance=$(((after[axis] - before[axis]) * (direction == 0 ? 1 : direction)))
    if [ "$direction" -eq 0 ]; then
      [ "${distance#-}" -le 6 ] || fail "$2 moved the cube on an axis it should not move"
    else
      [ "$distance" -ge 15 ] || fail "$2 did not move the cube the right way"
    fi
  done
}

start_game
expect_first_frame

moved first Right 1 0
moved Right w 0 1
moved w a 1 0

# Wine's Notepad, of the game's Wine session, takes the foreground as it
# opens; closed, it hands it back to the game.
wine notepad >/dev/null 2>&1 &
NOTEPAD_PID=$!
trap 'kill "$NOTEPAD_PID" 2>/dev/null; stop_everything' EXIT
notepad_is_open() {
  NOTEPAD=$(xdotool search --name ' - Notepad$' 2>/dev/null | head -n 1)
  [ -n "$NOTEPAD" ]
}
until_true 60 notepad_is_open || fail "no Notepad window appeared"
# Clear of the game's window, so that the captures see the cube.
xdotool windowmove --sync "$NOTEPAD" 900 700
moved a Left 0 0 "$NOTEPAD"
focus "$NOTEPAD" && xdotool key alt+F4
until_true 30 eval '! kill -0 "$NOTEPAD_PID" 2>/dev/null' || fail "Notepad did not close"
moved Left Left -1 0

press alt+F4
expect_exit 0
echo "PASS"
