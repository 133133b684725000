# Sourced after e2e.sh: the scene's first frame as the user sees it, the
# cube's front face centred on the floor.

# The middle of the cube's front face is between its cyan and blue corners.
front_face_is_drawn() {
  capture first || return 1
  local -a centre=($(pixel first 400 300))
  [ "${centre[0]}" -lt 40 ] && [ "${centre[2]}" -gt 200 ]
}

# cube_centre NAME: "X Y" of the middle of the cube's bluish pixels, which
# neither the gray floor nor the black background has.
cube_centre() {
  local box
  box=$(convert "$WORK_DIR/$1.png" -fx '(b-r)>0.3' -format '%@' info:) || return 1
  local -a parts=(${box//[x+]/ })
  [ "${#parts[@]}" -eq 4 ] && [ "${parts[0]}" -gt 20 ] || return 1
  echo $((parts[2] + parts[0] / 2)) $((parts[3] + parts[1] / 2))
}

# expect_first_frame: waits for the first drawn frame, captured as "first",
# and checks the cube, the floor and the background in it.
expect_first_frame() {
  until_true 60 front_face_is_drawn || fail "the cube's front face was not drawn in the middle"

  # The front face: a quarter in from each corner and the middle
  # (z = -1, 9 units in front of the camera, 115 pixels wide).
  expect_pixel first 371 328 0 64 128 24 "lower left of the face"
  expect_pixel first 428 328 0 64 255 24 "lower right of the face"
  expect_pixel first 428 271 0 191 128 24 "upper right of the face"
  expect_pixel first 371 271 0 191 255 24 "upper left of the face"
  expect_pixel first 400 300 0 128 255 24 "middle of the face"
  # The floor, from the white near left corner to the dark far ones.
  expect_pixel first 100 390 229 229 229 16 "near left of the floor"
  expect_pixel first 400 385 184 184 184 16 "near middle of the floor"
  expect_pixel first 700 390 144 144 144 16 "near right of the floor"
  expect_pixel first 250 350 144 144 144 16 "far left of the floor"
  expect_pixel first 550 350 120 120 120 16 "far right of the floor"
  # The background.
  expect_pixel first 400 100 0 0 0 8 "sky"
  expect_pixel first 400 500 0 0 0 8 "below the floor"
  expect_pixel first 50 300 0 0 0 8 "left of the floor"
  local x y
  read -r x y <<<"$(cube_centre first)"
  [ "${x:-0}" -ge 397 ] && [ "${x:-0}" -le 403 ] &&
    [ "${y:-0}" -ge 297 ] && [ "${y:-0}" -le 303 ] || fail "the cube is not centred: ($x, $y)"
}
