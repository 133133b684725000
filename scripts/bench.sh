#!/usr/bin/env bash
# Benchmarks, run by `make bench` after a build. Not tests: nothing here can
# fail the suite, and nothing is registered with ctest.
#
# 1. Frame rate and start-up of the program against two baselines from
#    bench/: the bare loop (the same window, device and loop, clearing and
#    presenting only: what the device itself costs) and the minimal loop (the
#    least that draws the same frame). The three run one after another in
#    rounds, the order rotating, on the same display with the same Wine
#    session, so that the ratios are taken side by side on a shared machine.
#    - Frame rate: Wine's fps meter (WINEDEBUG=fps) prints a line on every
#      present that ends a 1.5 s interval; the first present and the first
#      interval are warm-up, and a run's figure is its fastest later interval
#      (other work on the machine only ever slows a run down).
#    - Start-up: from the moment this script execs Wine for the program to
#      the first present that Wine's Direct3D executes. The fps channel also
#      prints that very first present, and +timestamp stamps it with Wine's
#      clock, which is the system's raw monotonic clock: the launch is read
#      from the same clock just before the exec. Nothing in the programs is
#      changed or polled for it.
# 2. The frames of the program and the minimal loop are captured and compared,
#    so that the baseline is known to draw the same picture.
# 3. The per-frame work of RenderFrame with the Direct3D test doubles:
#    allocations, calls and CPU time per frame (bench/render_frame_bench).
#
# The table goes to the terminal and to $BUILD_DIR/bench-results.md.
# BENCH_ROUNDS (default 5) and BENCH_SECONDS (measured seconds per run,
# default 8) change the length.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
ROOT="$PWD"
BUILD_DIR="$(realpath "${BUILD_DIR:-build/mingw}")"
ROUNDS="${BENCH_ROUNDS:-5}"
RUN_SECONDS="${BENCH_SECONDS:-8}"
OUT="$BUILD_DIR/bench-runs"
RESULTS="$BUILD_DIR/bench-results.md"
GAME_DIR="$BUILD_DIR/game"

source scripts/display.sh
source scripts/wine.sh
source scripts/window.sh
prepare_wine_prefix
end_wine_session

declare -A EXE=(
  [program]="$GAME_DIR/game.exe"
  [bare]="$BUILD_DIR/bench/bare_loop.exe"
  [minimal]="$BUILD_DIR/bench/minimal_loop.exe"
)
declare -A TITLE=(
  [program]="Ovik's TLN4070 Game"
  [bare]="Bench Bare Loop"
  [minimal]="Bench Minimal Loop"
)
for name in program bare minimal; do
  [ -f "${EXE[$name]}" ] || { echo "bench: ${EXE[$name]} is missing; build first" >&2; exit 1; }
done

rm -rf "$OUT"
mkdir -p "$OUT"
# One Wine session for every run, so that no run pays for starting it.
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true; [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null; true' EXIT

# launch NAME LOG STARTFILE: starts the program in the background, from the
# program's folder, with the fps meter on; the raw monotonic time of the exec
# goes to STARTFILE. Sets LAUNCHED_PID.
launch() {
  local name="$1" log="$2" startfile="$3"
  (
    cd "$GAME_DIR" || exit 1
    WINEDEBUG="-all,+timestamp,fps" exec python3 -c '
import os, sys, time
with open(sys.argv[1], "w") as start:
    start.write("%.6f\n" % time.clock_gettime(time.CLOCK_MONOTONIC_RAW))
os.execvp(sys.argv[2], sys.argv[2:])' "$startfile" wine "${EXE[$name]}"
  ) >"$log.out" 2>"$log" &
  LAUNCHED_PID=$!
}

# wait_for_first_present LOG SECONDS
wait_for_first_present() {
  local log="$1" seconds="$2"
  for _ in $(seq $((seconds * 4))); do
    grep -q 'wined3d_cs_exec_present' "$log" 2>/dev/null && return 0
    sleep 0.25
  done
  return 1
}

# close_program NAME PID: Alt+F4 on its window, then a kill if it is still
# there after ten seconds.
close_program() {
  local name="$1" pid="$2" window
  window=$(timeout 10 xdotool search --name "^${TITLE[$name]}\$" 2>/dev/null | head -n 1)
  if [ -n "$window" ]; then
    timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
    timeout 10 xdotool key alt+F4 2>/dev/null
  fi
  for _ in $(seq 40); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null; return 0; }
    sleep 0.25
  done
  echo "bench: $name did not close; killing it" >&2
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}

# measure ROUND NAME SECONDS: one bounded run, recorded in runs.tsv.
measure() {
  local round="$1" name="$2" seconds="$3" log="$OUT/$1-$2.log"
  launch "$name" "$log" "$OUT/$1-$2.start"
  if ! wait_for_first_present "$log" 60; then
    echo "bench: $name presented nothing within 60 s" >&2
  else
    sleep "$seconds"
  fi
  close_program "$name" "$LAUNCHED_PID"
  printf '%s\t%s\t%s\t%s\n' "$round" "$name" "$(cat "$OUT/$1-$2.start" 2>/dev/null)" "$log" \
    >>"$OUT/runs.tsv"
}

LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
echo "Warming up (one short run of each, not counted)..."
for name in program bare minimal; do
  measure 0 "$name" 2
done
: >"$OUT/runs.tsv"

orders=("program bare minimal" "bare minimal program" "minimal program bare")
for round in $(seq "$ROUNDS"); do
  order=${orders[$(((round - 1) % 3))]}
  echo "Round $round of $ROUNDS: $order"
  for name in $order; do
    measure "$round" "$name" "$RUN_SECONDS"
  done
done
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)

echo "Comparing the frames of the program and the minimal loop..."
for name in program minimal; do
  launch "$name" "$OUT/frame-$name.log" "$OUT/frame-$name.start"
  wait_for_first_present "$OUT/frame-$name.log" 60 && sleep 2
  capture_client_area "${TITLE[$name]}" "$OUT/frame-$name.png" ||
    echo "bench: could not capture the $name's frame" >&2
  close_program "$name" "$LAUNCHED_PID"
done
FRAME_DIFFERENCE="not compared"
if [ -f "$OUT/frame-program.png" ] && [ -f "$OUT/frame-minimal.png" ]; then
  # Pixels whose colour differs by more than 2% (rasterisation noise aside).
  FRAME_DIFFERENCE=$(compare -metric AE -fuzz 2% "$OUT/frame-program.png" \
    "$OUT/frame-minimal.png" null: 2>&1)
fi

echo "Per-frame work of RenderFrame with the test doubles..."
PER_FRAME="$OUT/render_frame_bench.md"
if [ -f "$BUILD_DIR/bench/render_frame_bench.exe" ]; then
  (cd "$GAME_DIR" && timeout 300 wine "$BUILD_DIR/bench/render_frame_bench.exe") \
    >"$PER_FRAME" 2>"$OUT/render_frame_bench.err" ||
    echo "bench: render_frame_bench failed; see $OUT/render_frame_bench.err" >&2
else
  echo "(render_frame_bench was not built: it needs the tests' support library)" >"$PER_FRAME"
fi

python3 "$ROOT/bench/summarize.py" \
  --runs "$OUT/runs.tsv" --per-frame "$PER_FRAME" \
  --frame-difference "$FRAME_DIFFERENCE" \
  --load "$LOAD_BEFORE / $LOAD_AFTER" --rounds "$ROUNDS" --seconds "$RUN_SECONDS" \
  >"$RESULTS"
cat "$RESULTS"
echo "Written to $RESULTS"
