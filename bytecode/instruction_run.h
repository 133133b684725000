#pragma once

#include <cstdint>

#include "bytecode/check_finding.h"
#include "bytecode/device_limits.h"
#include "bytecode/opcode_table.h"

// What the walk over a shader's instructions carries from one to the next:
// the instruction slots used (in the current phase of ps_1_4) and the
// texture-matrix run that is still open. Starts zeroed.
struct InstructionRun {
    std::uint32_t arithmetic;
    std::uint32_t texture;
    std::uint32_t openPad; // the pad opcode of the open run, 0 when none is open
    std::uint32_t pads;    // of the open run, so far
};

// Adds the known instruction whose opcode token and row are given to the
// run; false, with the finding saying which, when the version's instruction
// slots are used up or a texture-matrix run is broken.
bool ContinuesRun(InstructionRun& run, std::uint32_t opcodeToken, const OpcodeInfo& opcode,
                  std::uint32_t version, const DeviceLimits& limits, CheckFinding& finding);

// Whether the shader may end here: no texture-matrix run is left open.
bool IsClosedRun(const InstructionRun& run);

// The instruction slots a version has on a device with these limits:
// arithmetic and texture apart where it bounds them apart (per phase in
// ps_1_4), and in all; unboundedSlots where it sets no bound.
const std::uint32_t unboundedSlots = 0xFFFFFFFF;
struct SlotLimits {
    std::uint32_t arithmetic, texture, total;
};

// False for a version the slot table does not know.
bool FindSlotLimits(std::uint32_t version, const DeviceLimits& limits, SlotLimits& slots);
