#!/usr/bin/env bash
# Fuzzing, run by `make fuzz` after a build: each target in turn for
# FUZZ_SECONDS (default 120), then one line per target with its executions,
# inputs accepted and rejected, crashes and hangs. Exits 1 when a target found
# a crash or a hang (the saved input is named), 2 when a target is missing.
#
# - material_load_fuzz.exe and shader_load_fuzz.exe: the program's own load
#   paths, in-process under Wine, on this build's Xvfb and Wine prefix.
# - shader_gate_fuzz: the shader gate built natively with clang's libFuzzer
#   ($BUILD_DIR/native/shader_gate_fuzz, or the one SHADER_GATE_FUZZ names).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
ROOT="$PWD"
BUILD_DIR="$(realpath "${BUILD_DIR:-build/mingw}")"
SECONDS_EACH="${FUZZ_SECONDS:-120}"
OUT="$BUILD_DIR/fuzz-runs"
# Killed only if a target outlives its time by far: the runs end themselves.
LIMIT=$((SECONDS_EACH + 300))

source scripts/display.sh
source scripts/wine.sh
prepare_wine_prefix
end_wine_session
wineserver -p </dev/null >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true; [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null; true' EXIT

rm -rf "$OUT"
mkdir -p "$OUT"
SUMMARY=()
FOUND=0
MISSING=0

# report NAME LINE: one line of the final table.
report() {
  SUMMARY+=("$(printf '%-16s %s' "$1" "$2")")
}

# run_wine_target NAME EXE SEEDS...: runs one in-process target from a
# scratch folder of its own, where it may write the files it loads.
run_wine_target() {
  local name="$1" exe="$2" log="$OUT/$1.log"
  shift 2
  if [ ! -f "$exe" ]; then
    report "$name" "missing: $exe was not built"
    MISSING=1
    return
  fi
  echo "Fuzzing $name for $SECONDS_EACH s..."
  mkdir -p "$OUT/$name"
  (cd "$OUT/$name" && timeout "$LIMIT" wine "$exe" --seconds="$SECONDS_EACH" \
    --save="$OUT/$name" "$@") >"$log" 2>&1
  local status=$?
  local summary peak failure
  summary=$(grep -m1 "^$name[^:]*: executions" "$log" | sed 's/^[^:]*: //')
  peak=$(grep -m1 "peak memory" "$log" | sed 's/^[^:]*: //')
  failure=$(grep -m1 ", saved as " "$log" | sed 's/^[^:]*: //')
  report "$name" "${summary:-no summary (exit $status; see $log)}${peak:+; $peak}"
  if [ "$status" -ne 0 ]; then
    [ -n "$failure" ] && report "" "FOUND $failure"
    FOUND=1
  fi
}

# The native libFuzzer target. New inputs go to a scratch corpus, listed
# first, so the checked-in seeds stay as they are.
run_native_target() {
  local name=shader_gate log="$OUT/shader_gate.log"
  local exe="${SHADER_GATE_FUZZ:-$BUILD_DIR/native/shader_gate_fuzz}"
  if [ ! -x "$exe" ]; then
    report "$name" "missing: $exe was not built"
    MISSING=1
    return
  fi
  echo "Fuzzing $name for $SECONDS_EACH s..."
  mkdir -p "$OUT/shader_gate/corpus"
  local seeds=()
  for folder in "$ROOT/tests/fuzz/corpus/shader_gate" "$BUILD_DIR/game/data/shaders"; do
    [ -d "$folder" ] && seeds+=("$folder")
  done
  timeout "$LIMIT" "$exe" -max_total_time="$SECONDS_EACH" -print_final_stats=1 -timeout=10 \
    -artifact_prefix="$OUT/shader_gate/" "$OUT/shader_gate/corpus" "${seeds[@]}" >"$log" 2>&1
  local status=$?
  local executions peak own crashes hangs artifact
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  peak=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")
  # The target counts what the gate accepted and rejected; libFuzzer cannot.
  own=$(grep -m1 "^$name[^:]*: executions" "$log" | sed 's/^[^:]*: //')
  crashes=$(ls "$OUT/shader_gate" | grep -c -E '^(crash|leak|oom)-')
  hangs=$(ls "$OUT/shader_gate" | grep -c '^timeout-')
  artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | head -n 1)
  report "$name" "${own:-executions ${executions:-?}}, crashes $crashes, hangs $hangs${peak:+; peak memory $peak MiB}"
  if [ "$status" -ne 0 ]; then
    report "" "FOUND a failure (exit $status): ${artifact:-see $log}"
    FOUND=1
  fi
}

run_wine_target material_load "$BUILD_DIR/tests/fuzz/material_load_fuzz.exe" \
  "$ROOT/tests/fuzz/corpus/material"
shader_seeds=()
for folder in "$BUILD_DIR/game/data/shaders" "$ROOT/tests/fuzz/corpus/shader_gate"; do
  [ -d "$folder" ] && shader_seeds+=("$folder")
done
run_wine_target shader_load "$BUILD_DIR/tests/fuzz/shader_load_fuzz.exe" "${shader_seeds[@]}"
run_native_target

echo
echo "Fuzzing, $SECONDS_EACH s per target ($(date -u '+%Y-%m-%d %H:%M UTC'); logs in $OUT):"
printf '%s\n' "${SUMMARY[@]}"
[ "$FOUND" -eq 0 ] || exit 1
[ "$MISSING" -eq 0 ] || exit 2
