#include "bytecode/constant_reads.h"

#include "bytecode/register_rules.h"
#include "bytecode/tokens.h"

std::vector<UncoveredRead> FindUncoveredConstantReads(
    const std::vector<ShaderInstruction>& instructions, std::set<std::uint32_t> covered) {
    for (const ShaderInstruction& instruction : instructions) {
        if (OpcodeOf(instruction.opcodeToken) == defOpcode) {
            covered.insert(RegisterNumberOf(instruction.operands[0].token));
        }
    }
    std::vector<UncoveredRead> reads;
    for (const ShaderInstruction& instruction : instructions) {
        for (std::size_t i = 0; i < instruction.operandCount; ++i) {
            const ShaderOperand& operand = instruction.operands[i];
            const std::uint32_t number = RegisterNumberOf(operand.token);
            if (operand.use == registerRead &&
                RegisterTypeOf(operand.token) == constantRegister &&
                (operand.token & relativeBit) == 0 && covered.insert(number).second) {
                reads.push_back({&instruction, number});
            }
        }
    }
    return reads;
}
