#pragma once

#include <cstdint>

#include "bytecode/check_finding.h"
#include "bytecode/device_limits.h"

// How an instruction uses one of its parameters: the uses a register type
// allows in a version are a row of its table.
const unsigned registerWritten = 1;    // an instruction's destination
const unsigned registerRead = 2;       // a source, or the predicate
const unsigned registerDefined = 4;    // the destination of def, defi and defb
const unsigned registerRelative = 8;   // indexed through an address register
const unsigned registerAddresses = 16; // the address register of a relative index
const unsigned registerDeclared = 32;  // dcl's destination: what its usage token allows

// The registers of a type (as a parameter token encodes it) that the shader
// version has on a device with these limits; 0 when it has none.
std::uint32_t RegisterCount(std::uint8_t type, std::uint32_t version, const DeviceLimits& limits);

// Whether the parameter token names a register that the shader version (its
// version token) has, at an index inside the count it has on a device with
// these limits, and that the version lets an instruction use that way. On a
// refusal, finding says which of the three failed.
bool IsAllowedRegister(std::uint32_t parameter, unsigned use, std::uint32_t version,
                       const DeviceLimits& limits, CheckFinding& finding);

// Whether dcl's usage token may declare the register its destination token
// names, in that version.
bool IsAllowedDeclaration(std::uint32_t usage, std::uint32_t destination, std::uint32_t version,
                          const DeviceLimits& limits, CheckFinding& finding);
