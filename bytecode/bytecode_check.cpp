#include "bytecode/bytecode_check.h"

#include <cstdint>

#include "bytecode/byte_reads.h"
#include "bytecode/constant_table_check.h"
#include "bytecode/instruction_check.h"
#include "bytecode/instruction_run.h"
#include "bytecode/shader_versions.h"

namespace {

// The few token layouts the check needs, as Direct3D 9 defines them.
const std::uint32_t vertexVersionKind = 0xFFFE;
const std::uint32_t pixelVersionKind = 0xFFFF;
const std::uint32_t endToken = 0x0000FFFF;
const std::uint32_t parameterBit = 0x80000000;
const std::uint32_t opcodeMask = 0x0000FFFF;
const std::uint32_t commentOpcode = 0xFFFE;
const std::uint32_t defOpcode = 0x51;
const std::uint32_t constantTableTag = 0x42415443; // "CTAB"

struct Tokens {
    const unsigned char* bytes;
    std::size_t count;
};

// Copied out: nothing says the bytes are aligned for a 32-bit read.
std::uint32_t TokenAt(const Tokens& tokens, std::size_t at) {
    return ReadField<std::uint32_t>(tokens.bytes, at * sizeof(std::uint32_t));
}

bool IsComment(std::uint32_t token) {
    return (token & opcodeMask) == commentOpcode;
}

std::size_t CommentLength(std::uint32_t token) {
    return (token >> 16) & 0x7FFF;
}

bool IsVersionToken(std::uint32_t token, ShaderKind kind) {
    const std::uint32_t expectedKind =
        kind == ShaderKind::Vertex ? vertexVersionKind : pixelVersionKind;
    // 1_1 to 1_4 (vertex 1_1 only), 2_0, 2_x and 3_0: the versions the
    // instruction table knows.
    const std::uint16_t version = VersionOf(token);
    const bool shaderModel1 =
        version == v11 || (kind == ShaderKind::Fragment && version >= v12 && version <= v14);
    return (token >> 16) == expectedKind &&
           (shaderModel1 || version == v20 || version == v2x || version == v30);
}

// Tokens that follow an instruction's opcode token. From shader model 2.0 on
// the opcode token holds the count; before it, the parameters are the tokens
// with the top bit set, except def's four values, which may be any bits.
std::size_t InstructionLength(const Tokens& tokens, std::size_t at, bool lengthInOpcode) {
    const std::uint32_t token = TokenAt(tokens, at);
    if (lengthInOpcode) {
        return (token >> 24) & 0x0F;
    }
    if ((token & opcodeMask) == defOpcode) {
        return 5;
    }
    std::size_t length = 0;
    while (at + 1 + length < tokens.count &&
           (TokenAt(tokens, at + 1 + length) & parameterBit) != 0) {
        ++length;
    }
    return length;
}

// D3DX reads the constant table from the first comment tagged "CTAB" that its
// search meets; a table comment without room for its tag fails.
bool IsWholeTable(const Tokens& tokens, std::size_t at, const DeviceLimits& limits) {
    const std::size_t length = CommentLength(TokenAt(tokens, at));
    return length >= 1 && at + 1 + length <= tokens.count &&
           IsWholeConstantTable(tokens.bytes + (at + 2) * sizeof(std::uint32_t),
                                (length - 1) * sizeof(std::uint32_t), TokenAt(tokens, 0), limits);
}

// D3DX finds the table token by token, skipping only comments, so a parameter
// or a def value that looks like a comment token makes it jump: its search
// must end inside the bytes too, and the table it finds must be whole. Only
// that one table is read: Direct3D passes over every comment.
bool D3DXSearchStaysInside(const Tokens& tokens, const DeviceLimits& limits) {
    for (std::size_t at = 1; at < tokens.count;) {
        const std::uint32_t token = TokenAt(tokens, at);
        if (token == endToken) {
            return true;
        }
        if (!IsComment(token)) {
            ++at;
        } else if (at + 1 < tokens.count && TokenAt(tokens, at + 1) == constantTableTag) {
            return IsWholeTable(tokens, at, limits);
        } else {
            at += 1 + CommentLength(token);
        }
    }
    return false;
}

// Direct3D walks instruction by instruction to the end token, reading each
// instruction's operands as its own table says, and validates the sequence:
// the version's slots and the texture-matrix runs.
bool InstructionsEndInside(const Tokens& tokens, std::uint32_t version,
                           const DeviceLimits& limits) {
    const bool lengthInOpcode = ((version >> 8) & 0xFF) >= 2;
    InstructionRun run = {};
    for (std::size_t at = 1; at < tokens.count;) {
        const std::uint32_t token = TokenAt(tokens, at);
        if (token == endToken) {
            return IsClosedRun(run);
        }
        if (IsComment(token)) {
            at += 1 + CommentLength(token);
        } else if ((token & parameterBit) != 0) {
            return false; // a parameter where an instruction should start
        } else {
            const std::size_t length = InstructionLength(tokens, at, lengthInOpcode);
            if (length >= tokens.count - at ||
                !IsKnownInstruction(tokens.bytes + at * sizeof(std::uint32_t), length, version,
                                    limits) ||
                !ContinuesRun(run, token, version, limits)) {
                return false;
            }
            at += 1 + length;
        }
    }
    // A comment or instruction that runs past the last token ends the walk
    // here too, without the end token having been met inside the bytes.
    return false;
}

} // namespace

const DeviceLimits leastDeviceLimits = {256, 12, 512, 12, 96, 512};

bool IsShaderByteCode(const void* bytes, std::size_t size, ShaderKind kind,
                      const DeviceLimits& limits) {
    if (bytes == nullptr || size % sizeof(std::uint32_t) != 0 || size < 2 * sizeof(std::uint32_t)) {
        return false;
    }
    const Tokens tokens = {static_cast<const unsigned char*>(bytes), size / sizeof(std::uint32_t)};
    const std::uint32_t version = TokenAt(tokens, 0);
    if (!IsVersionToken(version, kind)) {
        return false;
    }
    return InstructionsEndInside(tokens, version, limits) && D3DXSearchStaysInside(tokens, limits);
}
