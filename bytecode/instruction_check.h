#pragma once

#include <cstddef>
#include <cstdint>

// Whether the instruction at bytes (its opcode token, then the length tokens
// that follow it, all inside the buffer) is one the shader version defines,
// holding exactly the operand tokens its opcode takes. Direct3D's parser
// reads the operands its own table names, whatever the length says.
bool IsKnownInstruction(const unsigned char* bytes, std::size_t length, std::uint32_t version);
