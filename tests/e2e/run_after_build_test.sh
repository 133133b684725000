#!/usr/bin/env bash
# `make run` right after a build that ran the shader tool, twice, as after a
# shader edit: the tool's Wine session, begun without a display, must not
# keep the program's window from appearing. In a prefix of the test's own.
#
#     run_after_build_test.sh <program folder> <launcher> <source folder>
set -uo pipefail
SOURCE_DIR=$(realpath "$3")
export BUILD_DIR=$(dirname "$(realpath "$1")")
export WINEPREFIX=$(mktemp -d /tmp/run_after_build.XXXXXX)
trap 'wineserver -k 2>/dev/null; wineserver -w; rm -rf "$WINEPREFIX"' EXIT
unset DISPLAY

for run in 1 2; do
  # What the build does for each shader.
  bash "$SOURCE_DIR/scripts/wine.sh" "$BUILD_DIR/tools/shader_compiler.exe" \
    "$SOURCE_DIR/data/shaders/fragment.psh" "$WINEPREFIX/fragment.shader" ||
    { echo "FAIL: the shader tool failed"; exit 1; }
  output=$(bash "$SOURCE_DIR/scripts/run.sh" 2>&1)
  status=$?
  if [ "$status" -ne 0 ] || ! grep -q '^Screenshot:' <<<"$output"; then
    echo "FAIL: run $run ended with $status:"
    echo "$output"
    exit 1
  fi
done
echo "PASS"
