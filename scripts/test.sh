#!/usr/bin/env bash
# Runs the whole test suite under Xvfb with the build's own Wine prefix.
set -uo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="$(realpath "${BUILD_DIR:-build/mingw}")"
source scripts/display.sh
source scripts/wine.sh
prepare_wine_prefix

ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 300 -j2 "$@" 2>&1 | tee "$BUILD_DIR/ctest.log"
status=${PIPESTATUS[0]}
wineserver -k >/dev/null 2>&1 || true
exit "$status"
