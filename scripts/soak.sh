#!/usr/bin/env bash
# The soak run, `make soak` after a build. Not a test: it takes minutes and is
# not registered with ctest.
#
# The program runs on a private Xvfb for SOAK_MINUTES (default 10) while the
# movement keys are held in turns, each key and then its opposite for the
# same time, so the cube and the camera go back and forth and stay in view.
# Every five seconds tools/process_sampler prints the program's Windows
# handle count (from the system's handle list: Wine answers
# GetProcessHandleCount with 0), its working set and its private committed
# memory; the samples go to $BUILD_DIR/soak.csv.
#
# The first minute is warm-up: memory grows while Wine and the driver settle
# in, for about half a minute. The first sample from 60 s on is the baseline,
# and the run fails when, after it:
# - handles end above the baseline: the frame loop opens no handles, so
#   every one more is a leak (a peak that falls back, Wine's own transient
#   work, is allowed);
# - working set or private memory ends more than 2 MiB above the baseline,
#   or rises by more than that along the least-squares line through the
#   samples, which a steady leak does even when the last sample happens to
#   be low. After warm-up both stay flat to the KiB, so 2 MiB only leaves
#   room for a late allocation of Wine's; a leak of 100 bytes a frame passes
#   it about two minutes after the warm-up at a few hundred frames a second.
# It fails too when the program does not end with exit code 0 on Alt+F4.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
ROOT="$PWD"
BUILD_DIR="$(realpath "${BUILD_DIR:-build/mingw}")"
MINUTES="${SOAK_MINUTES:-10}"
INTERVAL=5
TITLE="Ovik's TLN4070 Game"
GAME_DIR="$BUILD_DIR/game"
LAUNCHER="$BUILD_DIR/tools/launcher.exe"
SAMPLER="$BUILD_DIR/tools/process_sampler.exe"
CSV="$BUILD_DIR/soak.csv"
LOG="$BUILD_DIR/soak.log"

for file in "$GAME_DIR/game.exe" "$LAUNCHER" "$SAMPLER"; do
  [ -f "$file" ] || { echo "soak: $file is missing; build first" >&2; exit 1; }
done

# Keys held for minutes must never reach somebody's desktop.
unset DISPLAY
source scripts/display.sh
source scripts/wine.sh
source scripts/window.sh
prepare_wine_prefix
end_wine_session
wineserver -p </dev/null >/dev/null 2>&1

LAUNCHER_PID=""
SAMPLER_PID=""
stop_everything() {
  [ -n "$LAUNCHER_PID" ] && kill "$LAUNCHER_PID" 2>/dev/null
  [ -n "$SAMPLER_PID" ] && kill "$SAMPLER_PID" 2>/dev/null
  wineserver -k >/dev/null 2>&1
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
  true
}
trap stop_everything EXIT

fail() {
  echo "soak: FAIL: $*"
  exit 1
}

# hold KEY SECONDS
hold() {
  xdotool keydown "$1" && sleep "$2" && xdotool keyup "$1"
}

# Each movement there and back again, two seconds each way.
MOVES=("Right Left" "Up Down" "a d" "w s")

(cd "$GAME_DIR" && exec wine "$LAUNCHER" game.exe) >"$LOG" 2>&1 &
LAUNCHER_PID=$!
window=$(wait_for_window "$TITLE" 120) || fail "the window did not appear; see $LOG"
# The keys go to the focused window, and it can be focused once it is drawn.
for _ in $(seq 600); do
  [ -n "$(client_area_id "$TITLE")" ] && break
  sleep 0.1
done
xdotool windowfocus --sync "$window" || fail "cannot focus the window"
# The sampler's lines end in \r\n, written through the Windows runtime; each
# one goes to the file as it comes, so that the count below is right.
(cd "$GAME_DIR" && wine "$SAMPLER" game.exe "$INTERVAL" 2>"$BUILD_DIR/soak-sampler.log" |
  sed -u 's/\r$//' >"$CSV") &
SAMPLER_PID=$!

echo "Soaking for $MINUTES minutes; samples every $INTERVAL s in $CSV"
end=$((SECONDS + MINUTES * 60))
move=0
while [ "$SECONDS" -lt "$end" ]; do
  kill -0 "$LAUNCHER_PID" 2>/dev/null || fail "the program ended during the soak; see $LOG"
  kill -0 "$SAMPLER_PID" 2>/dev/null ||
    fail "the sampler stopped: $(cat "$BUILD_DIR/soak-sampler.log")"
  read -r key back <<<"${MOVES[$move]}"
  hold "$key" 2 && hold "$back" 2 || fail "cannot send keys to the window"
  move=$(((move + 1) % ${#MOVES[@]}))
done

# Samples taken while the program closes are not part of the soak.
samples=$(($(wc -l <"$CSV") - 1))
xdotool windowfocus --sync "$window" && xdotool key alt+F4 || fail "cannot close the window"
for _ in $(seq 600); do
  kill -0 "$LAUNCHER_PID" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$LAUNCHER_PID" 2>/dev/null && fail "the program did not end within a minute of Alt+F4"
wait "$LAUNCHER_PID"
status=$?
LAUNCHER_PID=""
wait "$SAMPLER_PID"
SAMPLER_PID=""
tr -d '\r' <"$LOG" | grep -qx "exit code 0" && [ "$status" -eq 0 ] ||
  fail "the program did not end with exit code 0 on Alt+F4: $(cat "$LOG")"
[ -s "$BUILD_DIR/soak-sampler.log" ] && fail "the sampler failed: $(cat "$BUILD_DIR/soak-sampler.log")"

python3 "$ROOT/scripts/soak_check.py" "$CSV" "$samples"
