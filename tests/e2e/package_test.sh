#!/usr/bin/env bash
# The release zip as a Windows user gets it: made as `make package` makes it,
# it holds exactly the program's folder; unpacked outside the build tree and
# run there in a Wine prefix made for this test alone, it shows the scene and
# a close ends it with 0. A file the build folder or the build's prefix lends
# the program without the package carrying it would go unnoticed otherwise.
#
#     package_test.sh <cpack> <build folder> <zip> <launcher> <source folder>
set -uo pipefail
CPACK="$1"
export BUILD_DIR=$(realpath "$2")
ZIP="$3"
TOP=$(basename "$ZIP" .zip)

(cd "$BUILD_DIR" && "$CPACK" --config CPackConfig.cmake) || { echo "FAIL: cpack failed"; exit 1; }

expected=$(printf "$TOP/%s\n" game.exe materialcheck.exe data/material.material \
  data/shaders/vertex.shader data/shaders/fragment.shader data/distance.material \
  data/shaders/distance_vertex.shader data/shaders/distance_fragment.shader README.txt \
  MODDING.txt LICENSE.txt LICENSE-Lua.txt LICENSE-MinGW-w64.txt shadercompiler.exe \
  shaders/vertex.vsh shaders/fragment.psh shaders/distance.vsh shaders/distance.psh | sort)
listed=$(unzip -Z1 "$ZIP" | grep -v '/$' | sort)
if [ "$listed" != "$expected" ]; then
  echo "FAIL: the zip's files differ from the program's folder (< expected, > in the zip):"
  diff <(echo "$expected") <(echo "$listed")
  exit 1
fi

UNPACK_DIR=$(mktemp -d /tmp/package_test.XXXXXX)
export WINEPREFIX="$UNPACK_DIR/wineprefix"
# The prefix's server and the programs it runs go with the folder.
remove_unpacked() {
  if [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null
    wineserver -w
  fi
  rm -rf "$UNPACK_DIR"
}
trap remove_unpacked EXIT
unzip -q "$ZIP" -d "$UNPACK_DIR" || { echo "FAIL: cannot unzip"; exit 1; }

set -- "$UNPACK_DIR/$TOP" "$4" "$5"
source "$(dirname "$0")/e2e.sh"
source "$(dirname "$0")/first_frame.sh"
trap 'stop_everything; remove_unpacked' EXIT

start_game
expect_first_frame
press alt+F4
expect_exit 0
# The modder's checker runs from the unpacked folder too, and passes what ships.
(cd "$GAME_DIR" && wine ./materialcheck.exe data/distance.material >"$WORK_DIR/check.log" 2>&1) ||
  fail "materialcheck failed in the unpacked folder: $(cat "$WORK_DIR/check.log")"
echo "PASS"
