#pragma once

#include <cstddef>
#include <cstdint>

#include "bytecode/check_finding.h"
#include "bytecode/device_limits.h"

// Whether the bytes after the tag of a constant table comment ("CTAB") hold a
// whole table: every count and offset that D3DX follows, when it reads the
// table or restores its defaults, stays inside them. version is the shader's
// version token. On a refusal, finding says which record and which rule.
bool IsWholeConstantTable(const unsigned char* table, std::size_t size, std::uint32_t version,
                          const DeviceLimits& limits, CheckFinding& finding);
