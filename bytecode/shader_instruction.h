#pragma once

#include <cstddef>
#include <cstdint>

#include "bytecode/opcode_table.h"

// One operand of an instruction as the check read it: the parameter token,
// how the instruction uses its register (register_rules.h), and the address
// register token of a relative index (0 when there is none).
struct ShaderOperand {
    std::uint32_t token;
    unsigned use;
    std::uint32_t address;
};

// One instruction of a shader the check passed, its operands in the order of
// the byte code: destination, predicate, sources. Instructions count from 1,
// comments apart; tokens from 0, the version token.
struct ShaderInstruction {
    std::size_t index;
    std::size_t token;
    std::uint32_t opcodeToken;
    const OpcodeInfo* opcode;
    ShaderOperand operands[8];
    std::size_t operandCount;
    std::uint32_t values[4]; // def's, defi's or defb's values; dcl's usage token first
};
