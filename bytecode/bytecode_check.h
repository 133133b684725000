#pragma once

#include <cstddef>
#include <vector>

#include "bytecode/check_finding.h"
#include "bytecode/device_limits.h"
#include "bytecode/shader_instruction.h"

enum class ShaderKind { Vertex, Fragment };

// Whether the bytes hold one whole Direct3D 9 shader token stream of the
// given kind (version 3.0 at most) that ends inside them, and that a device
// with these limits would create. Direct3D's shader creation and D3DX's table
// reader take no length, so nothing else may reach them.
bool IsShaderByteCode(const void* bytes, std::size_t size, ShaderKind kind,
                      const DeviceLimits& limits);

// The same check, saying which rule the bytes broke first and where.
CheckFinding CheckShaderByteCode(const void* bytes, std::size_t size, ShaderKind kind,
                                 const DeviceLimits& limits);

// The instructions of bytes that pass the check, in order, with their
// operands as the check read them; none when the bytes do not pass. For the
// tools that say more of a shader than whether the game takes it.
std::vector<ShaderInstruction> ReadShaderInstructions(const void* bytes, std::size_t size,
                                                      ShaderKind kind, const DeviceLimits& limits);
