#!/usr/bin/env bash
# Runs the whole test suite under Xvfb with the build's own Wine prefix.
set -uo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="$(realpath "${BUILD_DIR:-build/mingw}")"
source scripts/display.sh
source scripts/wine.sh
prepare_wine_prefix
end_wine_session
# The server and Wine's own background processes start here, away from
# ctest's pipes: started by the first test they would hold its output open
# and ctest would wait for them until the last test ended.
wineserver -p </dev/null >/dev/null 2>&1
wine cmd.exe /c exit </dev/null >/dev/null 2>&1

# A build configured without GoogleTest has no tests, and a run of none
# must not pass.
ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 300 -j2 --no-tests=error "$@" 2>&1 |
  tee "$BUILD_DIR/ctest.log"
status=${PIPESTATUS[0]}
if grep -q '^No tests were found' "$BUILD_DIR/ctest.log"; then
  echo "FAIL: no test ran in $BUILD_DIR: it was configured without GoogleTest's sources" \
    "(see the configure's notice), or nothing matched the selection"
fi
wineserver -k >/dev/null 2>&1 || true
exit "$status"
