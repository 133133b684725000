#include "bytecode/bytecode_check.h"

#include <cstdint>
#include <vector>

#include "bytecode/constant_table_check.h"
#include "bytecode/instruction_check.h"
#include "bytecode/instruction_run.h"
#include "bytecode/shader_versions.h"
#include "bytecode/tokens.h"

namespace {

struct Tokens {
    const unsigned char* bytes;
    std::size_t count;
};

std::uint32_t TokenOf(const Tokens& tokens, std::size_t at) {
    return TokenAt(tokens.bytes, at);
}

// 1_1 to 1_4 (vertex 1_1 only), 2_0, 2_x and 3_0: the versions the
// instruction table knows.
bool IsKnownVersion(std::uint32_t token) {
    const std::uint32_t kind = token >> 16;
    const std::uint16_t version = VersionOf(token);
    const bool shaderModel1 =
        version == v11 || (kind == pixelVersionKind && version >= v12 && version <= v14);
    return (kind == vertexVersionKind || kind == pixelVersionKind) &&
           (shaderModel1 || version == v20 || version == v2x || version == v30);
}

bool IsVersionToken(std::uint32_t token, ShaderKind kind, CheckFinding& finding) {
    if (!IsKnownVersion(token)) {
        return Refuse(finding, CheckRule::unknownVersion);
    }
    finding.version = token;
    const std::uint32_t expectedKind =
        kind == ShaderKind::Vertex ? vertexVersionKind : pixelVersionKind;
    return (token >> 16) == expectedKind || Refuse(finding, CheckRule::otherStage);
}

// Tokens that follow an instruction's opcode token. From shader model 2.0 on
// the opcode token holds the count; before it, the parameters are the tokens
// with the top bit set, except def's four values, which may be any bits.
std::size_t InstructionLength(const Tokens& tokens, std::size_t at, bool lengthInOpcode) {
    const std::uint32_t token = TokenOf(tokens, at);
    if (lengthInOpcode) {
        return (token >> 24) & 0x0F;
    }
    if (OpcodeOf(token) == defOpcode) {
        return 5;
    }
    std::size_t length = 0;
    while (at + 1 + length < tokens.count &&
           (TokenOf(tokens, at + 1 + length) & parameterBit) != 0) {
        ++length;
    }
    return length;
}

// D3DX reads the constant table from the first comment tagged "CTAB" that its
// search meets; a table comment without room for its tag fails.
bool IsWholeTable(const Tokens& tokens, std::size_t at, const DeviceLimits& limits,
                  CheckFinding& finding) {
    const std::size_t length = CommentLength(TokenOf(tokens, at));
    finding.token = at;
    if (length < 1 || at + 1 + length > tokens.count) {
        return Refuse(finding, CheckRule::pastEnd);
    }
    return IsWholeConstantTable(tokens.bytes + (at + 2) * sizeof(std::uint32_t),
                                (length - 1) * sizeof(std::uint32_t), TokenOf(tokens, 0), limits,
                                finding);
}

// D3DX finds the table token by token, skipping only comments, so a parameter
// or a def value that looks like a comment token makes it jump: its search
// must end inside the bytes too, and the table it finds must be whole. Only
// that one table is read: Direct3D passes over every comment.
bool D3DXSearchStaysInside(const Tokens& tokens, const DeviceLimits& limits,
                           CheckFinding& finding) {
    for (std::size_t at = 1; at < tokens.count;) {
        const std::uint32_t token = TokenOf(tokens, at);
        if (token == endToken) {
            return true;
        }
        if (!IsComment(token)) {
            ++at;
        } else if (at + 1 < tokens.count && TokenOf(tokens, at + 1) == constantTableTag) {
            return IsWholeTable(tokens, at, limits, finding);
        } else {
            at += 1 + CommentLength(token);
        }
    }
    // A comment that its search takes for one and that runs past the end.
    return Refuse(finding, CheckRule::pastEnd);
}

// One instruction at `at`, of `length` tokens after its opcode token, as
// Direct3D's parser reads it and its validation counts it.
bool IsValidInstruction(const Tokens& tokens, std::size_t at, std::size_t length,
                        InstructionRun& run, const DeviceLimits& limits, CheckFinding& finding,
                        ShaderInstruction* decoded) {
    const std::uint32_t token = TokenOf(tokens, at);
    finding.opcodeToken = token;
    if (length >= tokens.count - at) {
        return Refuse(finding, CheckRule::pastEnd);
    }
    const std::uint32_t version = TokenOf(tokens, 0);
    const OpcodeInfo* opcode = FindKnownInstruction(tokens.bytes + at * sizeof(std::uint32_t),
                                                    length, version, limits, finding, decoded);
    return opcode != nullptr && ContinuesRun(run, token, *opcode, version, limits, finding);
}

// Direct3D walks instruction by instruction to the end token, reading each
// instruction's operands as its own table says, and validates the sequence:
// the version's slots and the texture-matrix runs.
// The instructions go to `instructions` as they are read, when it is given.
bool InstructionsEndInside(const Tokens& tokens, const DeviceLimits& limits,
                           CheckFinding& finding, std::vector<ShaderInstruction>* instructions) {
    const bool lengthInOpcode = ((TokenOf(tokens, 0) >> 8) & 0xFF) >= 2;
    InstructionRun run = {};
    for (std::size_t at = 1; at < tokens.count;) {
        const std::uint32_t token = TokenOf(tokens, at);
        finding.token = at;
        if (token == endToken) {
            return IsClosedRun(run) || Refuse(finding, CheckRule::openMatrixRun);
        }
        if (IsComment(token)) {
            at += 1 + CommentLength(token);
        } else if ((token & parameterBit) != 0) {
            return Refuse(finding, CheckRule::parameterFirst);
        } else {
            ++finding.instruction;
            const std::size_t length = InstructionLength(tokens, at, lengthInOpcode);
            ShaderInstruction decoded = {};
            decoded.index = finding.instruction;
            decoded.token = at;
            decoded.opcodeToken = token;
            if (!IsValidInstruction(tokens, at, length, run, limits, finding,
                                    instructions != nullptr ? &decoded : nullptr)) {
                return false;
            }
            if (instructions != nullptr) {
                decoded.opcode = FindOpcode(OpcodeOf(token), TokenOf(tokens, 0));
                instructions->push_back(decoded);
            }
            at += 1 + length;
        }
    }
    // A comment or instruction that runs past the last token ends the walk
    // here too, without the end token having been met inside the bytes.
    return Refuse(finding, CheckRule::noEndToken);
}

} // namespace

const DeviceLimits leastDeviceLimits = {256, 12, 512, 12, 96, 512};

namespace {

CheckFinding Check(const void* bytes, std::size_t size, ShaderKind kind,
                   const DeviceLimits& limits, std::vector<ShaderInstruction>* instructions) {
    CheckFinding finding;
    if (bytes == nullptr || size % sizeof(std::uint32_t) != 0 || size < 2 * sizeof(std::uint32_t)) {
        finding.rule = CheckRule::notWholeTokens;
        return finding;
    }
    const Tokens tokens = {static_cast<const unsigned char*>(bytes), size / sizeof(std::uint32_t)};
    if (IsVersionToken(TokenOf(tokens, 0), kind, finding) &&
        InstructionsEndInside(tokens, limits, finding, instructions)) {
        finding = CheckFinding{CheckRule::passed, TokenOf(tokens, 0)};
        D3DXSearchStaysInside(tokens, limits, finding);
    }
    return finding;
}

} // namespace

CheckFinding CheckShaderByteCode(const void* bytes, std::size_t size, ShaderKind kind,
                                 const DeviceLimits& limits) {
    return Check(bytes, size, kind, limits, nullptr);
}

std::vector<ShaderInstruction> ReadShaderInstructions(const void* bytes, std::size_t size,
                                                      ShaderKind kind,
                                                      const DeviceLimits& limits) {
    std::vector<ShaderInstruction> instructions;
    if (!Check(bytes, size, kind, limits, &instructions).Passed()) {
        instructions.clear();
    }
    return instructions;
}

bool IsShaderByteCode(const void* bytes, std::size_t size, ShaderKind kind,
                      const DeviceLimits& limits) {
    return CheckShaderByteCode(bytes, size, kind, limits).Passed();
}
