#include "bytecode/instruction_check.h"

#include "bytecode/opcode_table.h"
#include "bytecode/register_rules.h"
#include "bytecode/shader_versions.h"
#include "bytecode/tokens.h"

namespace {

const std::size_t invalid = ~static_cast<std::size_t>(0);

struct Instruction {
    const unsigned char* bytes;
    std::size_t length; // tokens after the opcode token
    std::uint32_t versionToken;
    std::uint16_t version; // major << 8 | minor
    const DeviceLimits* limits;
    CheckFinding* finding;
    ShaderInstruction* decoded; // null when only the verdict is wanted
};

std::uint32_t TokenOf(const Instruction& instruction, std::size_t at) {
    return TokenAt(instruction.bytes, at);
}

bool IsAllowed(const Instruction& instruction, std::uint32_t parameter, unsigned use) {
    return IsAllowedRegister(parameter, use, instruction.versionToken, *instruction.limits,
                             *instruction.finding);
}

std::size_t Invalid(const Instruction& instruction, CheckRule rule, std::uint32_t parameter) {
    instruction.finding->rule = rule;
    instruction.finding->parameter = parameter;
    return invalid;
}

// The tokens of one parameter at `at`: 1, 2 with its relative address token,
// or invalid. Reads stay inside the instruction's tokens. From 2.0 on,
// Direct3D's parser reads a token after every parameter marked relative, so
// a mark where the register table allows none would make it read operands
// the length does not hold.
std::size_t ParameterTokens(const Instruction& instruction, std::size_t at, bool relativeAllowed) {
    if (at > instruction.length) {
        return Invalid(instruction, CheckRule::operandLength, 0);
    }
    const std::uint32_t parameter = TokenOf(instruction, at);
    if ((parameter & parameterBit) == 0) {
        return Invalid(instruction, CheckRule::operandNotParameter, parameter);
    }
    if ((parameter & relativeBit) == 0) {
        return 1;
    }
    if (!relativeAllowed || !IsAllowed(instruction, parameter, registerRelative)) {
        return Invalid(instruction, CheckRule::relativeNotAllowed, parameter);
    }
    if (instruction.version < v20) {
        return 1; // shader model 1 addresses through a0 without a token
    }
    return at + 1 <= instruction.length && (TokenOf(instruction, at + 1) & parameterBit) != 0 &&
                   IsAllowed(instruction, TokenOf(instruction, at + 1), registerAddresses)
               ? 2
               : Invalid(instruction, CheckRule::addressToken, parameter);
}

// How the instruction uses its parameter i: def's destination is defined,
// texkill's is read.
unsigned UseOf(const OpcodeInfo& opcode, int i) {
    if (i >= opcode.destinations) {
        return registerRead; // the predicate and the sources
    }
    if (opcode.values > 0) {
        return registerDefined;
    }
    return opcode.code == texkillOpcode ? registerRead : registerWritten;
}

// dcl's destination is allowed by what its usage token declares.
bool IsAllowedParameter(const Instruction& instruction, const OpcodeInfo& opcode, int i,
                        std::size_t at) {
    const std::uint32_t parameter = TokenOf(instruction, at);
    if (opcode.code == dclOpcode) {
        return IsAllowedDeclaration(TokenOf(instruction, 1), parameter, instruction.versionToken,
                                    *instruction.limits, *instruction.finding);
    }
    return IsAllowed(instruction, parameter, UseOf(opcode, i));
}

void Decode(const Instruction& instruction, const OpcodeInfo& opcode, int i, std::size_t at,
            std::size_t tokens) {
    ShaderInstruction& decoded = *instruction.decoded;
    const unsigned use = opcode.code == dclOpcode ? registerDeclared : UseOf(opcode, i);
    const std::uint32_t address = tokens == 2 ? TokenOf(instruction, at + 1) : 0;
    decoded.operands[decoded.operandCount++] = {TokenOf(instruction, at), use, address};
}

void DecodeValues(const Instruction& instruction, const OpcodeInfo& opcode, std::size_t at) {
    const std::size_t first = opcode.code == dclOpcode ? 1 : at;
    for (std::size_t v = 0; v < opcode.values && v < 4; ++v) {
        instruction.decoded->values[v] = TokenOf(instruction, first + v);
    }
}

// The operand tokens the instruction's opcode takes, read as Direct3D does:
// destination, predicate, sources, then any values; invalid if one of them
// is not a parameter, names a register the version does not let the
// instruction use, or is marked relative where it may not be.
std::size_t ExpectedLength(const Instruction& instruction, const OpcodeInfo& opcode,
                           bool predicated) {
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
        if (instruction.decoded != nullptr) {
            Decode(instruction, opcode, i, at, tokens);
        }
        at += tokens;
    }
    if (instruction.decoded != nullptr && at - 1 + opcode.values - leading == instruction.length) {
        DecodeValues(instruction, opcode, at);
    }
    return at - 1 + opcode.values - leading;
}

} // namespace

const OpcodeInfo* FindKnownInstruction(const unsigned char* bytes, std::size_t length,
                                       std::uint32_t version, const DeviceLimits& limits,
                                       CheckFinding& finding, ShaderInstruction* decoded) {
    const Instruction instruction = {bytes,   length,   version, VersionOf(version),
                                     &limits, &finding, decoded};
    const std::uint32_t token = TokenOf(instruction, 0);
    const OpcodeInfo* opcode = FindOpcode(OpcodeOf(token), version);
    if (opcode == nullptr) {
        finding.rule = CheckRule::unknownOpcode;
        return nullptr;
    }
    // Only 2_x and 3.0 predicate, and never a declaration.
    const bool predicated = (token & predicatedBit) != 0;
    if (predicated && (instruction.version < v2x || opcode->values > 0)) {
        finding.rule = CheckRule::predicateNotAllowed;
        return nullptr;
    }
    const std::size_t expected = ExpectedLength(instruction, *opcode, predicated);
    if (expected == invalid) {
        return nullptr;
    }
    if (expected != length) {
        finding.rule = CheckRule::operandLength;
        finding.limit = static_cast<std::uint32_t>(expected);
        return nullptr;
    }
    return opcode;
}
