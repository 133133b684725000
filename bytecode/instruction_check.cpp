#include "bytecode/instruction_check.h"

#include "bytecode/byte_reads.h"
#include "bytecode/register_rules.h"
#include "bytecode/shader_versions.h"

namespace {

// What each opcode takes: destination and source parameters, then values
// that are not parameters (DEF's four, DCL's usage token), and the versions
// of each kind that define it. An opcode whose operands changed with the
// version has a row per version range.
struct Opcode {
    std::uint16_t code;
    std::uint8_t destinations;
    std::uint8_t sources;
    std::uint8_t values;
    std::uint16_t vertexFirst, vertexLast;
    std::uint16_t pixelFirst, pixelLast;
};

const Opcode opcodes[] = {
    {0x00, 0, 0, 0, v11, v30, v11, v30},     // nop
    {0x01, 1, 1, 0, v11, v30, v11, v30},     // mov
    {0x02, 1, 2, 0, v11, v30, v11, v30},     // add
    {0x03, 1, 2, 0, v11, v30, v11, v30},     // sub
    {0x04, 1, 3, 0, v11, v30, v11, v30},     // mad
    {0x05, 1, 2, 0, v11, v30, v11, v30},     // mul
    {0x06, 1, 1, 0, v11, v30, v20, v30},     // rcp
    {0x07, 1, 1, 0, v11, v30, v20, v30},     // rsq
    {0x08, 1, 2, 0, v11, v30, v11, v30},     // dp3
    {0x09, 1, 2, 0, v11, v30, v12, v30},     // dp4
    {0x0A, 1, 2, 0, v11, v30, v20, v30},     // min
    {0x0B, 1, 2, 0, v11, v30, v20, v30},     // max
    {0x0C, 1, 2, 0, v11, v30, none, none},   // slt
    {0x0D, 1, 2, 0, v11, v30, none, none},   // sge
    {0x0E, 1, 1, 0, v11, v30, v20, v30},     // exp
    {0x0F, 1, 1, 0, v11, v30, v20, v30},     // log
    {0x10, 1, 1, 0, v11, v30, none, none},   // lit
    {0x11, 1, 2, 0, v11, v30, none, none},   // dst
    {0x12, 1, 3, 0, v20, v30, v11, v30},     // lrp
    {0x13, 1, 1, 0, v11, v30, v20, v30},     // frc
    {0x14, 1, 2, 0, v11, v30, v20, v30},     // m4x4
    {0x15, 1, 2, 0, v11, v30, v20, v30},     // m4x3
    {0x16, 1, 2, 0, v11, v30, v20, v30},     // m3x4
    {0x17, 1, 2, 0, v11, v30, v20, v30},     // m3x3
    {0x18, 1, 2, 0, v11, v30, v20, v30},     // m3x2
    {0x19, 0, 1, 0, v20, v30, v2x, v30},     // call
    {0x1A, 0, 2, 0, v20, v30, v2x, v30},     // callnz
    {0x1B, 0, 2, 0, v20, v30, v30, v30},     // loop
    {0x1C, 0, 0, 0, v20, v30, v2x, v30},     // ret
    {0x1D, 0, 0, 0, v20, v30, v30, v30},     // endloop
    {0x1E, 0, 1, 0, v20, v30, v2x, v30},     // label
    {0x1F, 1, 0, 1, v11, v30, v20, v30},     // dcl: the usage token comes first
    {0x20, 1, 2, 0, v20, v30, v20, v30},     // pow
    {0x21, 1, 2, 0, v20, v30, v20, v30},     // crs
    {0x22, 1, 3, 0, v20, v2x, none, none},   // sgn
    {0x22, 1, 1, 0, v30, v30, none, none},   // sgn, 3_0
    {0x23, 1, 1, 0, v20, v30, v20, v30},     // abs
    {0x24, 1, 1, 0, v20, v30, v20, v30},     // nrm
    {0x25, 1, 3, 0, v20, v2x, v20, v2x},     // sincos
    {0x25, 1, 1, 0, v30, v30, v30, v30},     // sincos, 3_0
    {0x26, 0, 1, 0, v20, v30, v2x, v30},     // rep
    {0x27, 0, 0, 0, v20, v30, v2x, v30},     // endrep
    {0x28, 0, 1, 0, v20, v30, v2x, v30},     // if
    {0x29, 0, 2, 0, v2x, v30, v2x, v30},     // ifc
    {0x2A, 0, 0, 0, v20, v30, v2x, v30},     // else
    {0x2B, 0, 0, 0, v20, v30, v2x, v30},     // endif
    {0x2C, 0, 0, 0, v2x, v30, v2x, v30},     // break
    {0x2D, 0, 2, 0, v2x, v30, v2x, v30},     // breakc
    {0x2E, 1, 1, 0, v20, v30, none, none},   // mova
    {0x2F, 1, 0, 1, v20, v30, v2x, v30},     // defb
    {0x30, 1, 0, 4, v20, v30, v2x, v30},     // defi
    {0x40, 1, 0, 0, none, none, v11, v13},   // texcoord
    {0x40, 1, 1, 0, none, none, v14, v14},   // texcrd
    {0x41, 1, 0, 0, none, none, v11, v30},   // texkill
    {0x42, 1, 0, 0, none, none, v11, v13},   // tex
    {0x42, 1, 1, 0, none, none, v14, v14},   // texld
    {0x42, 1, 2, 0, none, none, v20, v30},   // texld, 2_0 on
    {0x43, 1, 1, 0, none, none, v11, v13},   // texbem
    {0x44, 1, 1, 0, none, none, v11, v13},   // texbeml
    {0x45, 1, 1, 0, none, none, v11, v13},   // texreg2ar
    {0x46, 1, 1, 0, none, none, v11, v13},   // texreg2gb
    {0x47, 1, 1, 0, none, none, v11, v13},   // texm3x2pad
    {0x48, 1, 1, 0, none, none, v11, v13},   // texm3x2tex
    {0x49, 1, 1, 0, none, none, v11, v13},   // texm3x3pad
    {0x4A, 1, 1, 0, none, none, v11, v13},   // texm3x3tex
    {0x4C, 1, 2, 0, none, none, v11, v13},   // texm3x3spec
    {0x4D, 1, 1, 0, none, none, v11, v13},   // texm3x3vspec
    {0x4E, 1, 1, 0, v11, v30, none, none},   // expp
    {0x4F, 1, 1, 0, v11, v30, none, none},   // logp
    {0x50, 1, 3, 0, none, none, v11, v14},   // cnd
    {0x51, 1, 0, 4, v11, v30, v11, v30},     // def
    {0x52, 1, 1, 0, none, none, v12, v13},   // texreg2rgb
    {0x53, 1, 1, 0, none, none, v12, v13},   // texdp3tex
    {0x54, 1, 1, 0, none, none, v13, v13},   // texm3x2depth
    {0x55, 1, 1, 0, none, none, v12, v13},   // texdp3
    {0x56, 1, 1, 0, none, none, v12, v13},   // texm3x3
    {0x57, 1, 0, 0, none, none, v14, v14},   // texdepth
    {0x58, 1, 3, 0, none, none, v12, v30},   // cmp
    {0x59, 1, 2, 0, none, none, v14, v14},   // bem
    {0x5A, 1, 3, 0, none, none, v20, v30},   // dp2add
    {0x5B, 1, 1, 0, none, none, v2x, v30},   // dsx
    {0x5C, 1, 1, 0, none, none, v2x, v30},   // dsy
    {0x5D, 1, 4, 0, none, none, v2x, v30},   // texldd
    {0x5E, 1, 2, 0, v2x, v30, v2x, v30},     // setp
    {0x5F, 1, 2, 0, v30, v30, v30, v30},     // texldl
    {0x60, 0, 1, 0, v2x, v30, v2x, v30},     // breakp
    {0xFFFD, 0, 0, 0, none, none, v14, v14}, // phase
};

const std::uint32_t parameterBit = 0x80000000;
const std::uint32_t relativeBit = 0x00002000;
const std::uint32_t predicatedBit = 0x10000000;
const std::uint16_t dclOpcode = 0x1F;
const std::uint16_t texkillOpcode = 0x41;
const std::size_t invalid = ~static_cast<std::size_t>(0);

struct Instruction {
    const unsigned char* bytes;
    std::size_t length; // tokens after the opcode token
    std::uint32_t versionToken;
    std::uint16_t version; // major << 8 | minor
    const DeviceLimits* limits;
};

std::uint32_t TokenAt(const Instruction& instruction, std::size_t at) {
    return ReadField<std::uint32_t>(instruction.bytes, at * sizeof(std::uint32_t));
}

const Opcode* FindOpcode(std::uint32_t code, std::uint16_t version, bool vertex) {
    for (const Opcode& opcode : opcodes) {
        const std::uint16_t first = vertex ? opcode.vertexFirst : opcode.pixelFirst;
        const std::uint16_t last = vertex ? opcode.vertexLast : opcode.pixelLast;
        if (opcode.code == code && first != none && first <= version && version <= last) {
            return &opcode;
        }
    }
    return nullptr;
}

bool IsAllowed(const Instruction& instruction, std::uint32_t parameter, unsigned use) {
    return IsAllowedRegister(parameter, use, instruction.versionToken, *instruction.limits);
}

// The tokens of one parameter at `at`: 1, 2 with its relative address token,
// or invalid. Reads stay inside the instruction's tokens. From 2.0 on,
// Direct3D's parser reads a token after every parameter marked relative, so
// a mark where the register table allows none would make it read operands
// the length does not hold.
std::size_t ParameterTokens(const Instruction& instruction, std::size_t at, bool relativeAllowed) {
    if (at > instruction.length || (TokenAt(instruction, at) & parameterBit) == 0) {
        return invalid;
    }
    const std::uint32_t parameter = TokenAt(instruction, at);
    if ((parameter & relativeBit) == 0) {
        return 1;
    }
    if (!relativeAllowed || !IsAllowed(instruction, parameter, registerRelative)) {
        return invalid;
    }
    if (instruction.version < v20) {
        return 1; // shader model 1 addresses through a0 without a token
    }
    return at + 1 <= instruction.length && (TokenAt(instruction, at + 1) & parameterBit) != 0 &&
                   IsAllowed(instruction, TokenAt(instruction, at + 1), registerAddresses)
               ? 2
               : invalid;
}

// How the instruction uses its parameter i: def's destination is defined,
// texkill's is read.
unsigned UseOf(const Opcode& opcode, int i) {
    if (i >= opcode.destinations) {
        return registerRead; // the predicate and the sources
    }
    if (opcode.values > 0) {
        return registerDefined;
    }
    return opcode.code == texkillOpcode ? registerRead : registerWritten;
}

// dcl's destination is allowed by what its usage token declares.
bool IsAllowedParameter(const Instruction& instruction, const Opcode& opcode, int i,
                        std::size_t at) {
    const std::uint32_t parameter = TokenAt(instruction, at);
    if (opcode.code == dclOpcode) {
        return IsAllowedDeclaration(TokenAt(instruction, 1), parameter, instruction.versionToken,
                                    *instruction.limits);
    }
    return IsAllowed(instruction, parameter, UseOf(opcode, i));
}

// The operand tokens the instruction's opcode takes, read as Direct3D does:
// destination, predicate, sources, then any values; invalid if one of them
// is not a parameter, names a register the version does not let the
// instruction use, or is marked relative where it may not be.
std::size_t ExpectedLength(const Instruction& instruction, const Opcode& opcode, bool predicated) {
    // DCL's usage token comes before its destination; other values follow.
    const std::size_t leading = opcode.code == dclOpcode ? opcode.values : 0;
    const int parameters = opcode.destinations + (predicated ? 1 : 0) + opcode.sources;
    std::size_t at = 1 + leading;
    for (int i = 0; i < parameters; ++i) {
        // Declarations are never relative, and the predicate is read
        // without room for an address token.
        const bool relativeAllowed =
            opcode.values == 0 && !(predicated && i == opcode.destinations);
        const std::size_t tokens = ParameterTokens(instruction, at, relativeAllowed);
        if (tokens == invalid || !IsAllowedParameter(instruction, opcode, i, at)) {
            return invalid;
        }
        at += tokens;
    }
    return at - 1 + opcode.values - leading;
}

} // namespace

bool IsKnownInstruction(const unsigned char* bytes, std::size_t length, std::uint32_t version,
                        const DeviceLimits& limits) {
    const Instruction instruction = {bytes, length, version, VersionOf(version), &limits};
    const std::uint32_t token = TokenAt(instruction, 0);
    const Opcode* opcode =
        FindOpcode(token & 0xFFFF, instruction.version, IsVertexVersion(version));
    if (opcode == nullptr) {
        return false;
    }
    // Only 2_x and 3.0 predicate, and never a declaration.
    const bool predicated = (token & predicatedBit) != 0;
    if (predicated && (instruction.version < v2x || opcode->values > 0)) {
        return false;
    }
    return ExpectedLength(instruction, *opcode, predicated) == length;
}
