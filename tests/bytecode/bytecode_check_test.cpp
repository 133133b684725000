// The check of a shader file's bytes: what it lets through to Direct3D's
// shader creation and D3DX's table reader, and what it keeps from them.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "bytecode/bytecode_check.h"
#include "bytecode/windows_validation.h"
#include "tools/shader_compiler/shader_assembly.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

Bytes TokenBytes(const std::vector<DWORD>& tokens) {
    Bytes bytes(tokens.size() * sizeof(DWORD));
    if (!bytes.empty()) {
        std::memcpy(bytes.data(), tokens.data(), bytes.size());
    }
    return bytes;
}

const std::string vertexShaderPath = std::string(GAME_DATA_DIR) + "/shaders/vertex.shader";
const std::string fragmentShaderPath = std::string(GAME_DATA_DIR) + "/shaders/fragment.shader";

const DWORD vs20 = 0xFFFE0200;
const DWORD ps20 = 0xFFFF0200;
const DWORD endToken = 0x0000FFFF;
const DWORD movWithTwoParameters = 0x02000001;
const DWORD destination = 0xC00F0000; // oPos
const DWORD output = 0xE00F0000;      // o0
const DWORD source = 0xA0E40000;      // c0
const DWORD constantTableTag = 0x42415443;
const DWORD relativeSource = 0xA0E42000; // c0[a0.x]
const DWORD addressToken = 0xB0000000;   // a0.x
const DWORD predicate = 0xB0E41000;      // p0

// What Windows would refuse in a shader the check passes, a line a warning.
std::string WindowsRefusals(const Bytes& bytes, ShaderKind kind) {
    std::string lines;
    DWORD version = 0;
    std::memcpy(&version, bytes.data(), sizeof(version));
    for (const ValidationWarning& warning : FindWindowsRefusals(
             version, ReadShaderInstructions(bytes.data(), bytes.size(), kind, leastDeviceLimits),
             leastDeviceLimits)) {
        lines += std::to_string(warning.instruction) + ": " + warning.text + "\n";
    }
    return lines;
}

// The compiled shader with one token replaced.
Bytes WithToken(Bytes shader, size_t at, DWORD token) {
    std::memcpy(&shader[at * sizeof(DWORD)], &token, sizeof(token));
    return shader;
}

TEST(ShaderByteCode, WholeStreamsOfTheRightKindPass) {
    const Bytes vertex = ReadFileBytes(vertexShaderPath);
    const Bytes fragment = ReadFileBytes(fragmentShaderPath);
    ASSERT_FALSE(vertex.empty());
    ASSERT_FALSE(fragment.empty());
    EXPECT_TRUE(
        IsShaderByteCode(vertex.data(), vertex.size(), ShaderKind::Vertex, leastDeviceLimits));
    EXPECT_TRUE(IsShaderByteCode(fragment.data(), fragment.size(), ShaderKind::Fragment,
                                 leastDeviceLimits));
    EXPECT_EQ("", WindowsRefusals(vertex, ShaderKind::Vertex));
    EXPECT_EQ("", WindowsRefusals(fragment, ShaderKind::Fragment));

    const std::vector<DWORD> accepted[] = {
        {vs20, endToken},
        {0xFFFE0300, movWithTwoParameters, output, source, endToken},
        // Bytes after the end token are not read.
        {vs20, endToken, 0xDEADBEEF},
        // Shader model 1: no lengths in the opcode; def carries four values
        // of any bits, one of them looking like the end token.
        {0xFFFE0101, 0x00000051, 0xA00F0000, 0x3F800000, endToken, 0x00000000, 0x0F000000,
         0x00000001, destination, source, endToken},
        // A relative source and its address token; a predicate before the sources.
        {0xFFFE0300, 0x03000001, output, relativeSource, addressToken, endToken},
        {0xFFFE0201, 0x13000001, destination, predicate, source, endToken},
        // D3DX's search, token by token, jumps over this broken table, and
        // Direct3D passes over every comment: nothing reads it.
        {vs20, 0x05000051, 0xA00F0000, 0x0005FFFE, 0, 0, 0, 0x0002FFFE, constantTableTag, 0,
         endToken},
    };
    for (const std::vector<DWORD>& tokens : accepted) {
        const Bytes bytes = TokenBytes(tokens);
        EXPECT_TRUE(
            IsShaderByteCode(bytes.data(), bytes.size(), ShaderKind::Vertex, leastDeviceLimits))
            << std::hex << tokens[0] << " with " << tokens.size() << " tokens";
    }
}

TEST(ShaderByteCode, TruncatedForeignOrMalformedStreamsFail) {
    const Bytes vertex = ReadFileBytes(vertexShaderPath);
    const Bytes fragment = ReadFileBytes(fragmentShaderPath);
    ASSERT_GT(vertex.size(), 16u);
    ASSERT_GT(fragment.size(), 54 * sizeof(DWORD));
    ASSERT_EQ(TokenBytes({movWithTwoParameters}),
              Bytes(fragment.begin() + 53 * sizeof(DWORD), fragment.begin() + 54 * sizeof(DWORD)));
    const struct {
        const char* what;
        Bytes bytes;
        ShaderKind kind;
    } rejected[] = {
        {"no bytes", {}, ShaderKind::Vertex},
        {"one token", TokenBytes({vs20}), ShaderKind::Vertex},
        {"size not a multiple of four", Bytes(vertex.begin(), vertex.begin() + 9),
         ShaderKind::Vertex},
        {"cut in its constant table", Bytes(vertex.begin(), vertex.begin() + 16),
         ShaderKind::Vertex},
        {"without its end token", Bytes(vertex.begin(), vertex.end() - 4), ShaderKind::Vertex},
        {"vertex shader as fragment shader", vertex, ShaderKind::Fragment},
        {"fragment version for the vertex step", TokenBytes({ps20, endToken}), ShaderKind::Vertex},
        {"version 3.1", TokenBytes({0xFFFE0301, endToken}), ShaderKind::Vertex},
        {"version 4.0", TokenBytes({0xFFFF0400, endToken}), ShaderKind::Fragment},
        {"version 0.0", TokenBytes({0xFFFE0000, endToken}), ShaderKind::Vertex},
        {"comment past the end", TokenBytes({vs20, 0x0005FFFE, 0x42415443, endToken}),
         ShaderKind::Vertex},
        {"instruction past the end", TokenBytes({vs20, 0x03000009, destination, source, endToken}),
         ShaderKind::Vertex},
        {"parameter where an instruction starts", TokenBytes({vs20, destination, endToken}),
         ShaderKind::Vertex},
        {"no end token", TokenBytes({vs20, movWithTwoParameters, destination, source}),
         ShaderKind::Vertex},
        {"text", {'v', 's', '_', '2', '_', '0', '\n', 'm'}, ShaderKind::Vertex},
        {"constant table shorter than its header",
         TokenBytes({vs20, 0x0007FFFE, constantTableTag, 28, 0, 0, 0, 0, 0, endToken}),
         ShaderKind::Vertex},
        // D3DX looks for the table token by token: this value of def reads
        // to it as a comment that runs past the end.
        {"def value that D3DX takes for a comment",
         TokenBytes({vs20, 0x05000051, 0xA00F0000, 0x0100FFFE, 0, 0, 0, endToken}),
         ShaderKind::Vertex},
        // Direct3D's parser reads the operands its own table names: an
        // opcode it does not know, or a length other than the operands.
        {"opcode no version defines", WithToken(fragment, 53, 0x02000201), ShaderKind::Fragment},
        {"opcode of a later version",
         TokenBytes({vs20, 0x0300005F, destination, source, source, endToken}), ShaderKind::Vertex},
        {"length short of the operands",
         TokenBytes({vs20, 0x71C00051, 0xA00F0000, 0x10, 0, 0x13, 0, endToken}),
         ShaderKind::Vertex},
        {"length past the operands",
         TokenBytes({vs20, 0x03000001, destination, source, source, endToken}), ShaderKind::Vertex},
        {"relative source without its address token",
         TokenBytes({vs20, 0x02000001, destination, relativeSource, endToken}), ShaderKind::Vertex},
        {"relative source where the version has none",
         TokenBytes({ps20, 0x03000001, 0x800F0000, relativeSource, addressToken, endToken}),
         ShaderKind::Fragment},
        {"shader model 1 parameters past the operands",
         TokenBytes({0xFFFE0101, 0x00000001, destination, source, source, endToken}),
         ShaderKind::Vertex},
    };
    for (const auto& bad : rejected) {
        EXPECT_FALSE(
            IsShaderByteCode(bad.bytes.data(), bad.bytes.size(), bad.kind, leastDeviceLimits))
            << bad.what;
    }
    EXPECT_FALSE(IsShaderByteCode(nullptr, 8, ShaderKind::Vertex, leastDeviceLimits));
}

// One structure constant with one member and a default value, laid out as
// the shader tool lays out its tables. Offsets count bytes from the header.
std::vector<DWORD> ConstantTable() {
    return {// The header: size, creator, version, one constant at 28, flags, target.
            28, 104, vs20, 1, 28, 0, 108,
            // The constant: name, float4 registers from 0, one register, type, default.
            116, 0x00000002, 1, 48, 88,
            // Its type: a structure of one element with one member at 64.
            0x00000005, 0x00040001, 0x00010001, 64,
            // The member: name, type; a float vector of one element.
            120, 72, 0x00030001, 0x00040001, 1, 0,
            // The default value, one register.
            0x3F800000, 0x3F800000, 0x3F800000, 0x3F800000,
            // The texts: "t", "vs_2_0", "s", "m".
            't', 0x325F7376, 0x0000305F, 's', 'm'};
}

Bytes ShaderWithTable(const std::vector<DWORD>& table, DWORD version = vs20) {
    std::vector<DWORD> tokens = {version, 0xFFFE | static_cast<DWORD>(table.size() + 1) << 16,
                                 constantTableTag};
    tokens.insert(tokens.end(), table.begin(), table.end());
    tokens.push_back(endToken);
    return TokenBytes(tokens);
}

// D3DX follows every offset and count of the table without a bound, and
// SetDefaults copies the default's registers: each must stay inside.
TEST(ShaderByteCode, EachFieldOfTheConstantTableMustStayInside) {
    const struct {
        const char* what;
        size_t word;
        DWORD value;
        bool passes;
    } fields[] = {
        {"whole table", 0, 28, true},
        {"header size", 0, 24, false},
        {"creator past the end", 1, 124, false},
        {"creator on the last zero", 1, 123, true},
        {"target past the end", 6, 124, false},
        {"constant count running out", 3, 2, false},
        {"constant count wrapping 32 bits", 3, 0x0CCCCCCD, false},
        {"constant records wrapping 32 bits", 4, 0xFFFFFFF0, false},
        {"constant records past the end", 4, 108, false},
        {"constant name past the end", 7, 124, false},
        {"type past the end", 10, 112, false},
        {"type wrapping 32 bits", 10, 0xFFFFFFF8, false},
        {"members past the end", 15, 120, false},
        {"member count running out", 14, 0x00100001, false},
        {"member name past the end", 16, 124, false},
        {"member name without its zero", 30, 0x6D6D6D6D, false},
        {"member type past the end", 17, 116, false},
        {"member of its own type", 17, 48, false},
        {"array of too many structures", 14, 0x0001FFFF, false},
        {"table of another version", 2, ps20, false},
        // The type records, through the structure or with the constant
        // typed as its member, a float4.
        {"class past structure", 18, 0x00030006, false},
        {"last type", 18, 0x00130001, true},
        {"type past the last", 18, 0x00140001, false},
        {"vector with a member", 20, 0x00010001, false},
        {"structure of two elements", 14, 0x00010002, true},
        {"structure of 4 rows", 13, 0x00040004, false},
        {"structure columns past its members'", 13, 0xFFFF0001, false},
        {"structure without members", 14, 0x00000001, false},
        {"member array past the structure's columns", 20, 2, false},
        // The registers of a vs_2_0 device with 256 float constants.
        {"last float register", 8, 0x00FF0002, true},
        {"float register past the last", 8, 0x01000002, false},
        {"last bool register", 8, 0x000F0000, true},
        {"bool register past the last", 8, 0x00100000, false},
        {"sampler, which vs_2_0 has none of", 8, 3, false},
        {"register set past the sampler", 8, 4, false},
    };
    // Fields that must change together.
    const struct {
        const char* what;
        size_t word, otherWord;
        DWORD value, otherValue;
        bool passes;
    } pairs[] = {
        {"vector of 4 rows", 10, 19, 72, 0x00040004, true},
        {"vector of 5 rows", 10, 19, 72, 0x00040005, false},
        {"vector of no rows", 10, 19, 72, 0x00040000, false},
        {"vector of 5 columns", 10, 19, 72, 0x00050001, false},
        {"vector of no columns", 10, 19, 72, 0x00000001, false},
        {"structures of no rows or columns", 14, 13, 0x00010002, 0, false},
        {"member array in the structure's columns", 20, 13, 2, 0x00080001, true},
        {"registers running past the last", 8, 9, 0x00FF0002, 2, false},
    };
    // SetDefaults reads the default values, and the frame restores only the
    // fragment shader's: a vertex table's may be of any length.
    const struct {
        const char* what;
        size_t word, otherWord;
        DWORD value, otherValue;
        bool fragmentPasses;
    } defaults[] = {
        {"default value past the end", 11, 11, 112, 112, false},
        {"default value up to the end", 11, 11, 108, 108, true},
        {"default value short of its registers", 9, 9, 3, 3, false},
        {"default value of two registers", 9, 9, 2, 2, true},
        {"no default value", 11, 11, 0, 0, true},
        {"bool defaults up to the end, 4 bytes a register", 8, 9, 0, 9, true},
        {"bool defaults past the end", 8, 9, 0, 10, false},
    };
    const auto expect = [](const char* what, const std::vector<DWORD>& table, bool passes) {
        const Bytes bytes = ShaderWithTable(table);
        EXPECT_EQ(passes, IsShaderByteCode(bytes.data(), bytes.size(), ShaderKind::Vertex,
                                           leastDeviceLimits))
            << what;
    };
    for (const auto& field : fields) {
        std::vector<DWORD> table = ConstantTable();
        table[field.word] = field.value;
        expect(field.what, table, field.passes);
    }
    for (const auto& pair : pairs) {
        std::vector<DWORD> table = ConstantTable();
        table[pair.word] = pair.value;
        table[pair.otherWord] = pair.otherValue;
        expect(pair.what, table, pair.passes);
    }
    for (const auto& row : defaults) {
        std::vector<DWORD> table = ConstantTable();
        table[row.word] = row.value;
        table[row.otherWord] = row.otherValue;
        expect(row.what, table, true);
        table[2] = ps20;
        const Bytes bytes = ShaderWithTable(table, ps20);
        EXPECT_EQ(row.fragmentPasses, IsShaderByteCode(bytes.data(), bytes.size(),
                                                       ShaderKind::Fragment, leastDeviceLimits))
            << row.what << " in a fragment table";
    }
}

// Structures nested depth deep around a float4, with every text "m".
std::vector<DWORD> NestedTable(DWORD depth) {
    const DWORD text = 48 + depth * 24 + 16;
    std::vector<DWORD> table = {28, text, vs20, 1, 28, 0, text, text, 2, 1, 48, 0};
    for (DWORD type = 48; type < 48 + depth * 24; type += 24) {
        table.insert(table.end(), {5, 0x00040001, 0x00010001, type + 16, text, type + 24});
    }
    table.insert(table.end(), {0x00030001, 0x00040001, 1, 0, 'm'});
    return table;
}

// Compilers nest structures as deep as the source does; the readers recurse
// once a level.
TEST(ShaderByteCode, StructuresNestAsDeepAsTheReadersStacksAllow) {
    for (const DWORD depth : {9u, 256u, 257u}) {
        const Bytes bytes = ShaderWithTable(NestedTable(depth));
        EXPECT_EQ(depth <= 256, IsShaderByteCode(bytes.data(), bytes.size(), ShaderKind::Vertex,
                                                 leastDeviceLimits))
            << depth;
    }
}

// Every instruction of every version, as D3DX assembles it, in shaders
// Direct3D 9 creates: the check refuses none of them.
TEST(ShaderByteCode, EveryInstructionOfEveryVersionPasses) {
    const char* const shaders[] = {
        "vs_1_1\n dcl_position v0\n dcl_normal v15\n def c255, 1, 0.5, 0.25, 0\n mov a0.x, c0.x\n"
        " mov r0, c[a0.x + 1]\n add r1, v0, r0\n sub r1, r1, v15\n mad r1, r1, c1, c2\n"
        " mul r2, r1, c3\n rcp r2.x, r2.x\n rsq r2.y, r2.y\n dp3 r3.x, r1, c4\n dp4 r3.y, r1, c4\n"
        " min r4, r1, r2\n max r4, r4, r3\n slt r5, r1, r2\n sge r5, r1, r2\n exp r6, r1.x\n"
        " log r6, r1.y\n expp r7, r1.x\n logp r7, r1.y\n lit r8, r1\n dst r9, r1, r2\n"
        " frc r10.xy, r1\n m4x4 r11, v0, c4\n m4x3 r11.xyz, v0, c8\n m3x4 r11, v0, c8\n"
        " m3x3 r11.xyz, v0, c8\n m3x2 r11.xy, v0, c8\n nop\n mov oPos, r11\n mov oD0, r1\n"
        " mov oD1, r2\n mov oT0, r3\n mov oT7, r4\n mov oFog, r5.x\n mov oPts, r6.x\n",
        "vs_2_0\n dcl_position v0\n defi i0, 2, 0, 1, 0\n defi i15, 3, 0, 0, 0\n defb b0, true\n"
        " defb b15, false\n def c255, 1, 0.5, 0.25, 0\n mov r0, v0\n abs r1, r0\n"
        " crs r2.xyz, r0, r1\n lrp r3, c0, r0, r1\n mova a0.x, r0.x\n mov r4, c[a0.x + 2]\n"
        " nrm r5, r0\n pow r6, r0.x, r1.y\n sgn r7, r0, r8, r9\n sincos r8.xy, r0.x, c1, c2\n"
        " mov r9, c0\n loop aL, i0\n add r9, r9, c[aL]\n endloop\n mov r10, r0\n rep i15\n"
        " add r10, r10, r0\n endrep\n if b0\n mov r11, r0\n else\n mov r11, r1\n endif\n"
        " call l0\n callnz l15, b15\n mov oPos, r0\n mov oD0, r11\n ret\n label l0\n ret\n"
        " label l15\n ret\n",
        "vs_2_x\n dcl_position v0\n defi i0, 4, 0, 1, 0\n mov r0, v0\n mov r1, r0\n"
        " setp_gt p0, r0, c0\n (p0) mov r1, r0\n rep i0\n break_gt r0.x, c0.x\n breakp p0.x\n"
        " break\n endrep\n if_lt r0.x, c1.x\n mov r1, c2\n endif\n if p0.x\n mov r1, c3\n endif\n"
        " callnz l1, p0.x\n mov oPos, r1\n ret\n label l1\n ret\n",
        "vs_3_0\n dcl_position v0\n dcl_texcoord0 v15\n dcl_position o0\n dcl_texcoord0 o1\n"
        " dcl_texcoord1 o11\n dcl_2d s0\n dcl_cube s3\n defi i0, 2, 0, 1, 0\n mov r31, v0\n"
        " mova a0.x, r31.x\n mov r0, v[a0.x]\n texldl r1, r31, s0\n texldl r2, r31, s3\n"
        " loop aL, i0\n mov o[aL], c[aL]\n endloop\n"
        " mov o11, r1\n",
        "ps_1_1\n def c7, 1, 0.5, 0.25, 0\n tex t0\n texm3x3pad t1, t0\n texm3x3pad t2, t0\n"
        " texm3x3tex t3, t0\n mov r0, t3\n add r1, r0, v0\n sub r1, r1, c7\n mad r0, r1, c0, v1\n"
        " mul r0, r0, t0\n dp3 r1, r0, c1\n lrp r0, c2, r0, r1\n cnd r0, r0.a, r1, v0\n",
        "ps_1_1\n tex t0\n texbem t1, t0\n texbeml t2, t0\n texkill t3\n mov r0, t1\n",
        "ps_1_1\n tex t0\n texm3x2pad t1, t0\n texm3x2tex t2, t0\n texcoord t3\n"
        " mul r0.rgb, t2, t3\n + mov r0.a, t0\n",
        "ps_1_1\n tex t0\n texm3x3pad t1, t0\n texm3x3pad t2, t0\n texm3x3spec t3, t0, c0\n"
        " mov r0, t3\n",
        "ps_1_1\n tex t0\n texm3x3pad t1, t0\n texm3x3pad t2, t0\n texm3x3vspec t3, t0\n"
        " mov r0, t3\n",
        "ps_1_1\n tex t0\n texreg2ar t1, t0\n texreg2gb t2, t0\n mov r0, t1\n",
        "ps_1_2\n tex t0\n texreg2rgb t1, t0\n texdp3tex t2, t0\n texdp3 t3, t0\n"
        " dp4 r0, t1, t2\n cmp r0, r0, t3, c0\n",
        "ps_1_3\n tex t0\n texm3x2pad t1, t0\n texm3x2depth t2, t0\n mov r0, t0\n",
        "ps_1_3\n tex t0\n texm3x3pad t1, t0\n texm3x3pad t2, t0\n texm3x3 t3, t0\n mov r0, t3\n",
        "ps_1_4\n def c7, 1, 0.5, 0.25, 0\n texcrd r0.rgb, t0\n texld r1, t5\n"
        " bem r2.rg, r0, r1\n mov r5, c7\n phase\n texld r3, r2\n texdepth r5\n texkill t5\n"
        " mov r0, r3\n cmp r0, r0, c0, v0\n cnd r0, r0, r1, v1\n",
        "ps_2_0\n dcl t0\n dcl t7\n dcl v0\n dcl v1\n dcl_2d s0\n dcl_cube s1\n dcl_volume s15\n"
        " def c31, 1, 0.5, 0.25, 0\n texld r0, t0, s0\n texldp r1, t7, s1\n texldb r2, t0, s15\n"
        " texkill t0\n abs r3, r0\n add r4, r3, v0\n crs r5.xyz, r0, r1\n"
        " dp2add r6.x, r0, r1, c0.x\n dp3 r6.y, r0, r1\n dp4 r6.z, r0, r1\n exp r7.x, r0.x\n"
        " frc r7.y, r0.y\n log r7.z, r0.z\n lrp r8, c0, r0, r1\n m3x2 r9.xy, r0, c1\n"
        " m3x3 r9.xyz, r0, c1\n m3x4 r9, r0, c1\n m4x3 r9.xyz, r0, c1\n m4x4 r9, r0, c1\n"
        " mad r10, r0, r1, r2\n max r10, r10, v1\n min r10, r10, c31\n mul r11, r10, r9\n"
        " nrm r11, r11\n pow r8.x, r0.x, r1.x\n rcp r8.y, r0.x\n rsq r8.z, r0.x\n"
        " cmp r0, r0, r1, r2\n sub r0, r0, r11\n mov oC0, r0\n"
        " mov oC3, r1\n mov oDepth, r0.x\n",
        "ps_2_x\n dcl t0\n dcl_2d s0\n defi i0, 2, 0, 1, 0\n defb b0, true\n mov r0, t0\n"
        " dsx r1, r0\n dsy r2, r0\n texldd r3, r0, s0, r1, r2\n setp_gt p0, r0, c0\n"
        " mov r4, r3\n (p0) mov r4, r0\n rep i0\n break_lt r0.x, c0.x\n breakp p0.x\n endrep\n"
        " if b0\n mov r4, r1\n else\n mov r4, r2\n endif\n if_gt r0.x, c0.x\n mov r4, r2\n endif\n"
        " call l0\n callnz l15, b0\n callnz l15, p0.x\n mov oC0, r4\n ret\n label l0\n ret\n"
        " label l15\n ret\n",
        "ps_3_0\n dcl_texcoord0 v0\n dcl_texcoord1 v1\n dcl_color0 v9\n dcl_position1 v2\n"
        " dcl_2d s0\n dcl_volume s15\n defi i0, 2, 0, 1, 0\n"
        " def c223, 1, 0, 0, 0\n mov r31, v0\n mov r0, c223\n loop aL, i0\n"
        " add r0, r0, v[aL]\n endloop\n texld r1, v0, s0\n texldl r2, v0, s15\n mov r3, v9\n"
        " if_gt r3.x, c0.x\n mov r3, v1\n endif\n sincos r4.xy, r31.x\n texkill r31\n"
        " mov oC0, r0\n mov oDepth, r1.x\n",
    };
    for (const char* source : shaders) {
        std::vector<DWORD> tokens;
        std::string messages;
        EXPECT_TRUE(AssembleShader(source, "every.asm", tokens, messages)) << source << messages;
        const Bytes bytes = TokenBytes(tokens);
        const ShaderKind kind = source[0] == 'v' ? ShaderKind::Vertex : ShaderKind::Fragment;
        EXPECT_TRUE(IsShaderByteCode(bytes.data(), bytes.size(), kind, leastDeviceLimits))
            << source;
        EXPECT_EQ("", WindowsRefusals(bytes, kind)) << source;
    }
}

std::string Repeated(const std::string& line, int times) {
    std::string lines;
    for (int i = 0; i < times; ++i) {
        lines += line;
    }
    return lines;
}

// What Direct3D 9 on Windows refuses although the check, which bounds only
// what this machine's driver reads, lets it through: the warning it gets
// (none when key is empty) names the instruction, the register and the bound.
TEST(ShaderByteCode, WhatWindowsRefusesIsWarnedAbout) {
    const std::string vs20Head = "vs_2_0\n dcl_position v0\n",
                      vs30Head = "vs_3_0\n dcl_position o0\n";
    const struct {
        std::string source; // assembled; the tokens when there is none
        int warnings;
        const char* key;
        std::vector<DWORD> tokens = {};
    } rows[] = {
        // Each instruction's real slots against the version's.
        {"vs_1_1\n dcl_position v0\n" + Repeated(" m4x4 r0, v0, c0\n", 33) + " mov oPos, r0\n", 1,
         "34: m4x4 takes 4 slots: the shader needs 133 of vs_1_1's 128"},
        {"ps_2_0\n dcl v0\n" + Repeated(" nrm r0, v0\n", 22) + " mov oC0, r0\n", 1,
         "nrm takes 3 arithmetic slots: the shader needs 67 of ps_2_0's 64"},
        {"ps_1_2\n" + Repeated(" dp4 r0, v0, c0\n", 5), 1, "dp4 takes 2 arithmetic slots"},
        {vs30Head + " dcl_cube s0\n" + Repeated(" texldl r0, c0, s0\n", 103) + " mov o0, r0\n", 1,
         "texldl takes 5 slots: the shader needs 516 of vs_3_0's 512"},
        {vs30Head + " dcl_2d s0\n" + Repeated(" texldl r0, c0, s0\n", 103) + " mov o0, r0\n", 0,
         ""},
        // Flow control balanced, nested and counted as the version allows.
        {vs20Head + " defi i0, 1, 0, 1, 0\n loop aL, i0\n rep i0\n endrep\n endloop\n", 1,
         "rep nests loops and reps 2 deep; vs_2_0 allows 1"},
        {vs20Head + Repeated(" if b0\n endif\n", 17), 1,
         "if is static flow control instruction 17; vs_2_0 allows 16"},
        {vs20Head + " if b0\n", 1, "if is never closed by endif"},
        {vs20Head + " defi i0, 1, 0, 1, 0\n rep i0\n if b0\n endrep\n endif\n", 2,
         "endrep ends rep (instruction 3) while if (instruction 4) inside it is open"},
        {vs20Head + " else\n", 1, "else belongs to no open if"},
        {"vs_2_x\n break\n", 1, "break stands outside any loop or rep"},
        {vs20Head + " if b0\n ret\n endif\n", 2, "ret ends the routine inside if (instruction 2)"},
        {vs20Head + " call l0\n mov oPos, v0\n label l0\n ret\n", 1,
         "label l0 does not directly follow a ret"},
        {vs20Head + " call l1\n ret\n label l0\n ret\n label l1\n call l0\n ret\n", 1,
         "call calls l0, which no label after it marks"},
        {vs20Head + " call l0\n ret\n label l0\n call l1\n ret\n label l1\n ret\n", 1,
         "call l0 nests subroutine calls 2 deep; vs_2_0 allows 1"},
        // Inputs, samplers and vs_3_0 outputs declared before they are used.
        {"vs_2_0\n mov oPos, v1\n", 1, "mov reads v1, which no dcl before it declares"},
        {"ps_2_0\n texld r0, t0, s0\n mov oC0, r0\n", 2, "texld samples s0"},
        {"vs_3_0\n mov o0, c0\n", 1, "mov writes o0"},
        // Wine's assembler writes the declarations first.
        {"",
         1,
         "dcl comes after mov (instruction 1), the first instruction that runs",
         {vs20, 0x02000001, 0x800F0000, source, 0x0200001F, 0x80000000, 0x900F0000, endToken}},
        // ps_1_x: texture instructions first, each reading what an earlier one wrote.
        {"ps_1_1\n mov r0, v0\n tex t0\n", 1,
         "tex comes after the arithmetic instruction mov (instruction 1)"},
        {"ps_1_1\n tex t0\n texbem t1, t0\n add r0, t1, t0\n", 1,
         "add reads t0, which texbem (instruction 2) read"},
        {"ps_1_1\n texreg2ar t1, t0\n mov r0, t1\n", 1,
         "texreg2ar reads t0, which no texture instruction before it wrote"},
        {"ps_1_1\n tex t1\n texreg2ar t0, t1\n mov r0, t0\n", 1,
         "not numbered below its destination t0"},
        {"ps_1_3\n tex t0\n texm3x2pad t1, t0\n texm3x2depth t2, t0\n mov r0, t2\n", 1,
         "mov reads t2, which texm3x2depth (instruction 3) used up"},
    };
    for (const auto& row : rows) {
        std::vector<DWORD> tokens = row.tokens;
        std::string messages;
        ASSERT_TRUE(row.source.empty() ||
                    AssembleShader(row.source, "windows.asm", tokens, messages))
            << row.source << messages;
        const ShaderKind kind =
            (tokens[0] >> 16) == 0xFFFE ? ShaderKind::Vertex : ShaderKind::Fragment;
        const Bytes bytes = TokenBytes(tokens);
        ASSERT_TRUE(IsShaderByteCode(bytes.data(), bytes.size(), kind, leastDeviceLimits))
            << row.source;
        const std::string warnings = WindowsRefusals(bytes, kind);
        EXPECT_EQ(row.warnings, std::count(warnings.begin(), warnings.end(), '\n'))
            << row.source << warnings;
        EXPECT_NE(std::string::npos, warnings.find(row.key)) << row.source << warnings;
    }
}

DWORD Parameter(unsigned type, unsigned index, DWORD maskOrSwizzle) {
    return 0x80000000 | (type & 7) << 28 | (type & 0x18) << 8 | maskOrSwizzle | index;
}

bool PassesAsMove(DWORD version, unsigned type, unsigned index, bool destination) {
    const DWORD move = (version & 0xFFFF) >= 0x200 ? 0x02000001 : 0x00000001;
    const DWORD destinationToken = destination ? Parameter(type, index, 0x000F0000) : 0x800F0000;
    const DWORD sourceToken = destination ? 0xA0E40000 : Parameter(type, index, 0x00E40000);
    const Bytes bytes = TokenBytes({version, move, destinationToken, sourceToken, endToken});
    const ShaderKind kind = (version >> 16) == 0xFFFE ? ShaderKind::Vertex : ShaderKind::Fragment;
    return IsShaderByteCode(bytes.data(), bytes.size(), kind, leastDeviceLimits);
}

// Direct3D 9 validates each register against its version's register page and
// the device's counts; drivers index arrays of those sizes. The last register
// of each type passes, the next fails (with none, the first fails).
TEST(ShaderByteCode, RegistersEndWhereTheVersionsRegistersEnd) {
    const DWORD vs11 = 0xFFFE0101, vs2x = 0xFFFE0201, vs30 = 0xFFFE0300;
    const DWORD ps11 = 0xFFFF0101, ps14 = 0xFFFF0104, ps2x = 0xFFFF0201, ps30 = 0xFFFF0300;
    enum : unsigned { r = 0, v = 1, c = 2, a = 3, t = 3, oPos = 4, oD = 5, o = 6, i = 7 };
    enum : unsigned { oC = 8, oDepth = 9, s = 10, b = 14, aL = 15, misc = 17, l = 18, p = 19 };
    const struct {
        DWORD version;
        unsigned type;
        bool destination;
        int last; // -1: the version has none
    } registers[] = {
        {vs11, r, true, 11},    {vs11, v, false, 15},   {vs11, c, false, 255},
        {vs11, a, true, 0},     {vs11, oPos, true, 2},  {vs11, oD, true, 1},
        {vs11, o, true, 7},     {vs11, i, false, -1},   {vs20, i, false, 15},
        {vs20, b, false, 15},   {vs20, aL, false, 0},   {vs20, l, false, 15},
        {vs20, p, true, -1},    {vs2x, r, true, 11},    {vs2x, p, true, 0},
        {vs30, r, true, 31},    {vs30, c, false, 255},  {vs30, o, true, 11},
        {vs30, i, false, 15},   {vs30, b, false, 15},   {vs30, s, false, 3},
        {vs30, l, false, 2047}, {vs30, oPos, true, -1}, {ps11, c, false, 7},
        {ps11, r, true, 1},     {ps11, t, true, 3},     {ps11, v, false, 1},
        {ps14, r, true, 5},     {ps14, t, false, 5},    {ps14, t, true, -1},
        {ps20, c, false, 31},   {ps20, r, true, 11},    {ps20, t, false, 7},
        {ps20, s, false, 15},   {ps20, oC, true, 3},    {ps20, oDepth, true, 0},
        {ps2x, r, true, 11},    {ps2x, l, false, 15},   {ps2x, p, true, 0},
        {ps30, c, false, 223},  {ps30, v, false, 9},    {ps30, r, true, 31},
        {ps30, misc, false, 1}, {ps30, aL, false, 0},   {ps30, l, false, 2047},
        {ps30, t, false, -1},
    };
    for (const auto& rule : registers) {
        const unsigned first = static_cast<unsigned>(rule.last + 1);
        EXPECT_TRUE(rule.last < 0 ||
                    PassesAsMove(rule.version, rule.type, rule.last, rule.destination))
            << std::hex << rule.version << std::dec << " type " << rule.type << " " << rule.last;
        EXPECT_FALSE(PassesAsMove(rule.version, rule.type, first, rule.destination))
            << std::hex << rule.version << std::dec << " type " << rule.type << " " << first;
    }
}

// Direct3D 9 validates the order of texture-matrix instructions, the slots
// of each version and what dcl declares; Wine's shader generator overruns
// its pad entries on an unclosed run at the first draw.
TEST(ShaderByteCode, SequencesAndDeclarationsAsDirect3DValidatesThem) {
    const DWORD ps11 = 0xFFFF0101, t1 = 0xB00F0001, t0 = 0xB0E40000;
    const std::vector<DWORD> pad2 = {0x47, t1, t0}, pad3 = {0x49, t1, t0};
    const std::vector<DWORD> tex2 = {0x48, t1, t0}, tex3 = {0x4A, t1, t0};
    const std::vector<DWORD> add = {0x02, 0x800F0000, t0, t0};
    const std::vector<DWORD> coissued = {0x40000002, 0x800F0000, t0, t0};
    const std::vector<DWORD> vsAdd = {0x02, 0x800F0000, 0x90E40000, 0x90E40000};
    const std::vector<DWORD> vs30Add = {0x03000002, 0x800F0000, 0xA0E40000, 0xA0E40000};
    const struct {
        const char* what;
        DWORD version;
        std::vector<std::vector<DWORD>> instructions;
        size_t repeatFirst; // times the first instruction is repeated
        bool passes;
    } rows[] = {
        {"two 3x3 pads, then the row that closes them", ps11, {pad3, pad3, tex3}, 1, true},
        {"3x3 pads left open", ps11, {pad3, pad3}, 1, false},
        {"three 3x3 pads", ps11, {pad3, pad3, pad3, tex3}, 1, false},
        {"a 3x3 row without its pads", ps11, {tex3}, 1, false},
        {"a 3x2 pad, then its row", ps11, {pad2, tex2}, 1, true},
        {"a 3x2 pad closed by a 3x3 row", ps11, {pad2, tex3}, 1, false},
        {"1000 3x3 pads", ps11, {pad3}, 1000, false},
        {"four texture instructions in ps_1_1", ps11, {{0x40, t1}}, 4, true},
        {"five texture instructions in ps_1_1", ps11, {{0x40, t1}}, 5, false},
        {"eight arithmetic instructions in ps_1_1", ps11, {add}, 8, true},
        {"nine arithmetic instructions in ps_1_1", ps11, {add}, 9, false},
        {"nine, one of them co-issued", ps11, {add, coissued}, 8, true},
        {"128 instructions in vs_1_1", 0xFFFE0101, {vsAdd}, 128, true},
        {"129 instructions in vs_1_1", 0xFFFE0101, {vsAdd}, 129, false},
        {"513 instructions on a device of 512 slots", 0xFFFE0300, {vs30Add}, 513, false},
        {"ps_3_0 position 1", 0xFFFF0300, {{0x0200001F, 0x80010000, 0x900F0000}}, 1, true},
        {"ps_3_0 position 0", 0xFFFF0300, {{0x0200001F, 0x80000000, 0x900F0000}}, 1, false},
        {"ps_3_0 v10", 0xFFFF0300, {{0x0200001F, 0x80000005, 0x900F000A}}, 1, false},
        {"untyped sampler", 0xFFFF0200, {{0x0200001F, 0x80000000, 0xA00F0800}}, 1, false},
    };
    for (const auto& row : rows) {
        std::vector<DWORD> tokens = {row.version};
        for (size_t i = 0; i < row.instructions.size(); ++i) {
            const size_t times = i == 0 ? row.repeatFirst : 1;
            for (size_t n = 0; n < times; ++n) {
                tokens.insert(tokens.end(), row.instructions[i].begin(), row.instructions[i].end());
            }
        }
        tokens.push_back(endToken);
        const Bytes bytes = TokenBytes(tokens);
        const ShaderKind kind =
            (row.version >> 16) == 0xFFFE ? ShaderKind::Vertex : ShaderKind::Fragment;
        EXPECT_EQ(row.passes, IsShaderByteCode(bytes.data(), bytes.size(), kind, leastDeviceLimits))
            << row.what;
    }
}

} // namespace
