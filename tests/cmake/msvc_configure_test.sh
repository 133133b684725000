#!/usr/bin/env bash
# The MSVC branch of the build, configured here with clang-cl (MSVC's command
# line) and Ninja, as the msvc preset configures it on Windows, against
# stand-in D3DX layouts of empty files: the compile commands carry the D3DX
# include folder and the static runtime, the links the library by its full
# path, and the game and the shader compiler get the package's DLLs copied
# beside them. Without either layout configuring stops, naming both.
#
#     msvc_configure_test.sh <source folder> <Lua sources> <work folder>
set -uo pipefail
SOURCE_DIR="$1"
LUA_DIR="$2"
WORK="$3"
rm -rf "$WORK"
mkdir -p "$WORK"

fail() {
  echo "FAIL: $*"
  exit 1
}

# configure NAME [CMAKE ARGUMENT...]: configures into $WORK/NAME.
configure() {
  local name="$1"
  shift
  env -u DXSDK_DIR ${DXSDK:+DXSDK_DIR="$DXSDK"} cmake -S "$SOURCE_DIR" -B "$WORK/$name" -G Ninja \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_C_COMPILER=clang-cl-14 -DCMAKE_CXX_COMPILER=clang-cl-14 \
    -DCMAKE_C_COMPILER_WORKS=1 -DCMAKE_CXX_COMPILER_WORKS=1 -DCMAKE_RC_COMPILER=llvm-rc-14 \
    -DCMAKE_LINKER=lld-link-14 -DCMAKE_MT=llvm-mt-14 -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DFETCHCONTENT_SOURCE_DIR_LUA="$LUA_DIR" "$@" >"$WORK/$name.log" 2>&1
}

# The compile command of one source, and the rules of one built file.
compile_command() {
  grep "\"command\": .* -- $SOURCE_DIR/$2\"" "$WORK/$1/compile_commands.json"
}
build_rules() {
  awk -v target="build $2:" 'index($0, target) == 1 { found = 1; print; next }
    found && /^  / { print; next } { found = 0 }' "$WORK/$1/build.ninja"
}

# expect_layout NAME INCLUDE LIBRARY DLL...: the D3DX folder and library in
# every target that uses D3DX, and the DLLs copied beside the programs.
expect_layout() {
  local name="$1" include="$2" library="$3"
  shift 3
  local source
  for source in graphics/render_frame.cpp tools/shader_compiler/shader_assembly.cpp \
    bench/minimal_loop.cpp; do
    compile_command "$name" "$source" | grep -qF -- "-imsvc$include " ||
      fail "$name: $source is compiled without $include"
  done
  grep '"command": "[^ ]*clang-cl-14 ' "$WORK/$name/compile_commands.json" |
    grep -v -q -- ' -MT ' && fail "$name: a compile command lacks the static runtime (-MT)"
  local program rules
  for program in game/game.exe tools/shader_compiler.exe; do
    rules=$(build_rules "$name" "$program")
    grep -q "LINK_LIBRARIES = .* $library " <<<"$rules" ||
      fail "$name: $program does not link $library"
    local copy="POST_BUILD = .*copy_if_different $* $(dirname "$WORK/$name/$program")\$"
    if [ $# -gt 0 ]; then
      grep -q "$copy" <<<"$rules" || fail "$name: $program does not get $* beside it"
    else
      grep -q 'copy_if_different' <<<"$rules" && fail "$name: $program gets DLLs copied"
    fi
  done
  echo "$name: D3DX from $include and $library${*:+, $# DLLs copied}"
}

PACKAGE="$WORK/Microsoft.DXSDK.D3DX"
NATIVE="$PACKAGE/build/native"
SDK="$WORK/DXSDK"
mkdir -p "$NATIVE/include" "$NATIVE/release/lib/x64" "$NATIVE/release/bin/x64" \
  "$SDK/Include" "$SDK/Lib/x64"
touch "$NATIVE/include/d3dx9.h" "$NATIVE/release/lib/x64/d3dx9.lib" \
  "$NATIVE/release/bin/x64/D3DX9_43.dll" "$NATIVE/release/bin/x64/D3DCompiler_43.dll" \
  "$SDK/Include/d3dx9.h" "$SDK/Lib/x64/d3dx9.lib"

configure package -DD3DX9_PACKAGE_DIR="$PACKAGE" || fail "cannot configure with the package"
expect_layout package "$NATIVE/include" "$NATIVE/release/lib/x64/d3dx9.lib" \
  "$NATIVE/release/bin/x64/D3DX9_43.dll" "$NATIVE/release/bin/x64/D3DCompiler_43.dll"

# The SDK's installer sets DXSDK_DIR with a trailing separator.
DXSDK="$SDK/" configure sdk || fail "cannot configure with the DirectX SDK"
expect_layout sdk "$SDK/Include" "$SDK/Lib/x64/d3dx9.lib"

configure none && fail "configuring without D3DX succeeded"
message=$(tr -s ' \n' ' ' <"$WORK/none.log")
for part in "D3DX 9 not found" "Microsoft.DXSDK.D3DX package" "DirectX SDK (June 2010)"; do
  grep -qF "$part" <<<"$message" || fail "without D3DX, no \"$part\" in: $message"
done
echo "PASS"
