#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "bytecode/shader_instruction.h"

// The first instruction that reads each float constant register which
// neither `covered` (the registers of the constants the shader declares) nor
// one of its own def instructions gives a value: nothing the program sets
// reaches it. A relative read may reach any register and is left alone.
struct UncoveredRead {
    const ShaderInstruction* instruction;
    std::uint32_t number; // c#
};

std::vector<UncoveredRead> FindUncoveredConstantReads(
    const std::vector<ShaderInstruction>& instructions, std::set<std::uint32_t> covered);
