#!/usr/bin/env bash
# materialcheck over the shipped material, the worked example and one broken
# material or shader per kind of mistake, made here: the exit status and the
# words of the line that names the cause. Then the worked example as the game
# draws it: the far floor darker than the game's own material draws it.
source "$(dirname "$0")/../e2e/e2e.sh"
source "$(dirname "$0")/../e2e/first_frame.sh"

cp -r "$GAME_DIR" "$WORK_DIR/game"
GAME_DIR="$WORK_DIR/game"
cd "$GAME_DIR"
COMPILER="$BUILD_DIR/tools/shader_compiler.exe"
SHADERS="$SOURCE_DIR/data/shaders"

# compile OUTPUT: the shader source on standard input, compiled by the build's tool.
compile() {
  cat >"$1.src"
  wine "$COMPILER" "$1.src" "$1" >/dev/null 2>&1 || fail "cannot compile $1"
}

# tokens FILE PYTHON: rewrites FILE's 32-bit tokens, a list t, with PYTHON.
tokens() {
  python3 -c "import struct,sys
b=open(sys.argv[1],'rb').read(); t=list(struct.unpack('<%dI'%(len(b)//4),b))
$2
open(sys.argv[1],'wb').write(struct.pack('<%dI'%len(t),*t))" "$1"
}

# material NAME VERTEX FRAGMENT [COLOR MODIFIER]
material() {
  printf 'return { shaders = { vertexShader = "%s", fragmentShader = "%s" },\n  constants = { g_colorModifier = { %s } } }\n' \
    "$2" "$3" "${4:-1, 1, 1}" >"$1"
}

# check NAME STATUS WORDS MATERIAL: materialcheck on MATERIAL ends with STATUS
# and prints a line with WORDS.
check() {
  local output status
  output=$(wine ./materialcheck.exe "$4" 2>&1 | tr -d '\r')
  status=${PIPESTATUS[0]}
  [ "$status" -eq "$2" ] || fail "$1: exit $status instead of $2:"$'\n'"$output"
  grep -qF -- "$3" <<<"$output" || fail "$1: no line with \"$3\":"$'\n'"$output"
  echo "ok: $1"
}

V=data/shaders/vertex.shader
F=data/shaders/fragment.shader
sed '/@constant g_transform_worldToView/d' "$SHADERS/vertex.vsh" | compile no_view.shader
sed 's/c4 matrix_columns float4x4/c4 vector float4/' "$SHADERS/vertex.vsh" | compile view_vector.shader
sed 's/matrix_columns float4x4$/matrix_columns float4x4 = 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1/' \
  "$SHADERS/vertex.vsh" | compile vertex_default.shader
sed '/@constant/d' "$SHADERS/fragment.psh" | compile no_modifier.shader
sed 's/g_colorModifier c0/g_colorModifier c1/' "$SHADERS/fragment.psh" | compile modifier_c1.shader
printf 'ps_3_0\ndcl_color v0\nmul r0, v0, c0\nmov oC0, r0\n// @constant g_colorModifier c0 vector float3\n' |
  compile ps30.shader
{ sed 's/^vs_2_0$/vs_1_1/' "$SHADERS/vertex.vsh"; for _ in $(seq 30); do echo 'm4x4 r2, r0, c0'; done; } |
  compile slots.shader
printf 'vs_2_0\ndcl_position v0\nmov r11, v0\nmov oPos, r11\n' | compile r12.shader
tokens r12.shader 't=[x+1 if x&0x7FF==11 and x>>28==8 else x for x in t]'
cp "$V" no_table.shader
tokens no_table.shader 't=[t[0]]+t[2+((t[1]>>16)&0x7FFF):]'
head -c $((5 << 20)) /dev/zero >huge.shader

material typo.material "$V" "$F"
sed -i 's/fragmentShader/fragmentshader/' typo.material
material missing.material missing.shader "$F"
material source.material "$V" no_modifier.shader.src
material r12.material r12.shader "$F"
material no_view.material no_view.shader "$F"
material no_modifier.material "$V" no_modifier.shader
material modifier_c1.material "$V" modifier_c1.shader
material no_table.material no_table.shader "$F"
material pair.material "$V" ps30.shader
material vertex_default.material vertex_default.shader "$F"
material no_color.material "$V" "$F" '1, 1'
material view_vector.material view_vector.shader "$F"
material huge.material huge.shader "$F"
material stage.material "$V" "$V"
material slots.material slots.shader "$F"
printf 'return {\n  shaders = = 1,\n}\n' >syntax.material

check "the shipped material" 0 "0 errors, 0 warnings" data/material.material
check "the worked example" 0 "0 errors, 0 warnings" data/distance.material
check "a misspelled key" 1 "did you mean shaders.fragmentShader?" typo.material
check "a missing file" 1 "missing.shader: error: Windows failed to open the shader file: " missing.material
check "a source for the compiled file" 1 "perhaps a shader source" source.material
check "a temporary register past vs_2_0's" 1 \
  "mov writes r12; vs_2_0 has 12 temporary registers (r0-r11)" r12.material
check "no world-to-view transform" 1 "the constant table has no g_transform_worldToView" no_view.material
check "no color modifier constant" 1 "the constant table has no g_colorModifier" no_modifier.material
check "a constant on the wrong register" 1 "reads c0, which no constant of the table" modifier_c1.material
check "no constant table" 1 "no constant table" no_table.material
check "a 3_0 shader with a 2_0 one" 1 "draws a 3_0 shader only with a 3_0 shader" pair.material
check "a vertex shader's defaults" 0 "declares a default value that is never set" vertex_default.material
check "a color modifier of two numbers" 1 "error: g_colorModifier does not exist. Using default values." \
  no_color.material
check "a transform of another shape" 1 "a shape the frame does not set" view_vector.material
check "a file too large" 1 "more than any shader holds" huge.material
check "a vertex shader for the fragment shader" 1 "not a fragment (pixel) shader" stage.material
check "more slots than Windows allows" 0 "Windows will refuse this shader" slots.material
check "a syntax error" 1 "syntax.material(2): error: unexpected symbol near '='" syntax.material

cp data/distance.material data/material.material
start_game
until_true 60 front_face_is_drawn || fail "the worked example drew no cube"
expect_pixel first 250 350 103 103 103 16 "far left of the darkened floor"
expect_pixel first 550 350 87 87 87 16 "far right of the darkened floor"
expect_pixel first 100 390 220 220 220 16 "near left of the floor"
press alt+F4
expect_exit 0
echo "PASS"
