#pragma once

#include <cstddef>
#include <cstdint>

#include "bytecode/check_finding.h"
#include "bytecode/device_limits.h"
#include "bytecode/opcode_table.h"
#include "bytecode/shader_instruction.h"

// Whether the instruction at bytes (its opcode token, then the length tokens
// that follow it, all inside the buffer) is one the shader version defines,
// holding exactly the operand tokens its opcode takes, each naming a register
// that the version, on a device with these limits, lets it use so. Direct3D's
// parser reads the operands its own table names, whatever the length says.
// Gives the opcode's row; null on a refusal, with finding saying which rule,
// and which parameter. decoded, when given, receives the operands as read.
const OpcodeInfo* FindKnownInstruction(const unsigned char* bytes, std::size_t length,
                                       std::uint32_t version, const DeviceLimits& limits,
                                       CheckFinding& finding, ShaderInstruction* decoded);
