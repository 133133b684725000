#!/usr/bin/env bash
# The scene as the user sees it: the first frame shows the cube's front face
# centred on the floor, Right moves the cube right, W moves the scene down
# (the camera rises) and A moves it right (the camera goes left).
source "$(dirname "$0")/e2e.sh"
source "$(dirname "$0")/first_frame.sh"

# moved NAME KEY DX DY: holds KEY for a second, lets the movement die down,
# and checks the cube's centre went by at least 15 pixels the way that DX and
# DY (-1, 0 or 1) point, and stayed within 6 pixels on an axis given 0.
moved() {
  local before after
  before=($(cube_centre "$1")) || fail "no cube in $1"
  hold "$2" 1
  sleep 1
  capture "$2" || fail "cannot capture after $2"
  after=($(cube_centre "$2")) || fail "no cube after $2"
  echo "$2: cube centre (${before[*]}) -> (${after[*]})"
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

press alt+F4
expect_exit 0
echo "PASS"
