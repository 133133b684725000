#!/usr/bin/env bash
# The MSVC branch of the build, configured with clang-cl and Ninja against a
# stand-in Microsoft.DXSDK.D3DX package of empty files, then without D3DX.
#
#     msvc_configure_test.sh <source folder> <Lua sources> <work folder>
set -uo pipefail
SOURCE_DIR="$1"
LUA_DIR="$2"
WORK="$3"
NATIVE="$WORK/Microsoft.DXSDK.D3DX/build/native"
DLLS="$NATIVE/release/bin/x64/D3DX9_43.dll $NATIVE/release/bin/x64/D3DCompiler_43.dll"
rm -rf "$WORK"
mkdir -p "$NATIVE/include" "$NATIVE/release/lib/x64" "$NATIVE/release/bin/x64"
touch "$NATIVE/include/d3dx9.h" "$NATIVE/release/lib/x64/d3dx9.lib" $DLLS

fail() { echo "FAIL: $*"; exit 1; }

# configure NAME [ARGUMENT...]: into $WORK/NAME, its output in $WORK/NAME.log.
configure() {
  env -u DXSDK_DIR cmake -S "$SOURCE_DIR" -B "$WORK/$1" -G Ninja -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DCMAKE_C_COMPILER=clang-cl-14 -DCMAKE_CXX_COMPILER=clang-cl-14 -DCMAKE_C_COMPILER_WORKS=1 \
    -DCMAKE_CXX_COMPILER_WORKS=1 -DCMAKE_RC_COMPILER=llvm-rc-14 -DCMAKE_LINKER=lld-link-14 \
    -DCMAKE_MT=llvm-mt-14 -DFETCHCONTENT_SOURCE_DIR_LUA="$LUA_DIR" "${@:2}" >"$WORK/$1.log" 2>&1
}

configure package -DD3DX9_PACKAGE_DIR="$WORK/Microsoft.DXSDK.D3DX" ||
  fail "cannot configure with the package: $(cat "$WORK/package.log")"
commands=$(grep '"command": "[^ ]*clang-cl-14 ' "$WORK/package/compile_commands.json")
grep -v -q -- ' -MT ' <<<"$commands" && fail "a compile command lacks the static runtime (-MT)"
grep -F -- "-- $SOURCE_DIR/graphics/render_frame.cpp\"" <<<"$commands" |
  grep -qF -- "-imsvc$NATIVE/include " || fail "the program is compiled without D3DX's headers"
for program in game/game.exe tools/shader_compiler.exe; do
  rules=$(awk -v build="build $program:" 'index($0, build) == 1 { found = 1; next }
    found && /^  / { print; next } { found = 0 }' "$WORK/package/build.ninja")
  grep -qF " $NATIVE/release/lib/x64/d3dx9.lib " <<<"$rules" ||
    fail "$program does not link d3dx9.lib by its full path"
  grep -qF "copy_if_different $DLLS $(dirname "$WORK/package/$program")" <<<"$rules" ||
    fail "$program does not get the package's DLLs beside it"
done

configure none && fail "configuring without D3DX succeeded"
message=$(tr -s ' \n' ' ' <"$WORK/none.log")
for part in "D3DX 9 not found" "Microsoft.DXSDK.D3DX package" "DirectX SDK (June 2010)"; do
  grep -qF "$part" <<<"$message" || fail "without D3DX, no \"$part\" in: $message"
done
echo "PASS"
