#!/usr/bin/env bash
# Runs the program under Wine from its own folder. With a display, it runs
# until you close it. Without one, it draws into a private Xvfb for a few
# seconds, saves a screenshot of the client area and closes the window.
set -uo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="$(realpath "${BUILD_DIR:-build/mingw}")"
source scripts/wine.sh
prepare_wine_prefix
end_wine_session
launcher="$BUILD_DIR/tools/launcher.exe"
cd "$BUILD_DIR/game"

if [ -n "${DISPLAY:-}" ]; then
  wine "$launcher" game.exe
  exit $?
fi

source "$OLDPWD/scripts/display.sh"
source "$OLDPWD/scripts/window.sh"
wine "$launcher" game.exe >"$BUILD_DIR/run.log" 2>&1 &
launcher_pid=$!
window=$(wait_for_window "Ovik's TLN4070 Game" 60) || {
  echo "The window did not appear"; cat "$BUILD_DIR/run.log"; exit 1; }
sleep 3
capture_client_area "Ovik's TLN4070 Game" "$BUILD_DIR/screenshot.png" &&
  echo "Screenshot: $BUILD_DIR/screenshot.png"
xdotool windowfocus --sync "$window"
xdotool key alt+F4
wait "$launcher_pid"
status=$?
cat "$BUILD_DIR/run.log"
exit "$status"
