// The check of a shader file's bytes: what it lets through to Direct3D's
// shader creation and D3DX's table reader, and what it keeps from them.
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "bytecode/bytecode_check.h"

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
const DWORD source = 0xA0E40000;      // c0
const DWORD constantTableTag = 0x42415443;
const DWORD relativeSource = 0xA0E42000; // c0[a0.x]
const DWORD addressToken = 0xB0000000;   // a0.x
const DWORD predicate = 0xB0E41000;      // p0

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

    const std::vector<DWORD> accepted[] = {
        {vs20, endToken},
        {0xFFFE0300, movWithTwoParameters, destination, source, endToken},
        // Bytes after the end token are not read.
        {vs20, endToken, 0xDEADBEEF},
        // Shader model 1: no lengths in the opcode; def carries four values
        // of any bits, one of them looking like the end token.
        {0xFFFE0101, 0x00000051, 0xA00F0000, 0x3F800000, endToken, 0x00000000, 0x0F000000,
         0x00000001, destination, source, endToken},
        // A relative source and its address token; a predicate before the sources.
        {0xFFFE0300, 0x03000001, destination, relativeSource, addressToken, endToken},
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

Bytes ShaderWithTable(const std::vector<DWORD>& table) {
    std::vector<DWORD> tokens = {vs20, 0xFFFE | static_cast<DWORD>(table.size() + 1) << 16,
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
        {"default value past the end", 11, 112, false},
        {"default value up to the end", 11, 108, true},
        {"default value short of its registers", 9, 3, false},
        {"default value of two registers", 9, 2, true},
        {"no default value", 11, 0, true},
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

} // namespace
