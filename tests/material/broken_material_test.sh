#!/usr/bin/env bash
# The built program with a material file that does not parse: the error
# reaches the standard error stream in the position form, both shader steps
# then report their missing shaders, and the window still opens and closes
# normally with exit code 0.
source "$(dirname "$0")/../e2e/e2e.sh"

# A copy of the program's folder, so the build's own material stays intact.
cp -r "$GAME_DIR" "$WORK_DIR/game"
GAME_DIR="$WORK_DIR/game"
printf 'return {\n  shaders = = 1,\n}\n' >"$GAME_DIR/data/material.material"
EXPECTED_ERROR="data/material.material(2): error: unexpected symbol near '='"

# Like start_game, but with standard error on its own: the material's error
# text ends without a line break, and the launcher's exit code line follows.
xdotool search --name "$TITLE_PATTERN" >"$WORK_DIR/windows_before" 2>/dev/null
(cd "$GAME_DIR" && exec wine "$LAUNCHER" game.exe) \
  >"$WORK_DIR/launcher.log" 2>"$WORK_DIR/stderr.log" &
LAUNCHER_PID=$!
until_true 120 find_game_window || fail "no window titled \"$TITLE\" appeared"

box_is_open() {
  [ -n "$(game_windows_named "^$1\$")" ]
}

# dismiss CAPTION: answers the program's box with that caption.
dismiss() {
  until_true 60 box_is_open "$1" || fail "no \"$1\" box appeared"
  local box
  box=$(game_windows_named "^$1\$" | head -n 1)
  focus "$box" || fail "cannot focus the \"$1\" box"
  xdotool key Return
  until_true 30 eval '! box_is_open "$1"' || fail "the \"$1\" box did not close"
}

# The fragment shader is made first; each box holds start-up until answered.
dismiss "No Fragment Shader"
dismiss "No Vertex Shader"
until_true 60 find_client_area || fail "the window has no 800x600 client area"
sleep 1
game_is_running || fail "the program ended on its own"
press alt+F4
expect_exit 0

error_text=$(tr -d '\r' <"$WORK_DIR/stderr.log")
[ "$error_text" = "$EXPECTED_ERROR" ] ||
  fail "standard error held \"$error_text\" instead of \"$EXPECTED_ERROR\""
echo "PASS"
