#pragma once

#include <cstddef>

#include "bytecode/check_finding.h"
#include "bytecode/device_limits.h"

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
