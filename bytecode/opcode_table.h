#pragma once

#include <cstdint>

// How an instruction counts against its version's slots.
enum SlotClass : std::uint8_t { noSlot, arithmeticSlot, textureSlot };

// What an opcode takes: destination and source parameters, then values that
// are not parameters (def's four, dcl's usage token), the versions of each
// kind that define it, and how it counts against the slots.
struct OpcodeInfo {
    std::uint16_t code;
    const char* name; // as shader assembly spells it
    std::uint8_t destinations;
    std::uint8_t sources;
    std::uint8_t values;
    std::uint16_t vertexFirst, vertexLast;
    std::uint16_t pixelFirst, pixelLast;
    SlotClass slotClass;
};

// The row of the opcode in the version (its version token); null when the
// version does not define it.
const OpcodeInfo* FindOpcode(std::uint32_t code, std::uint32_t versionToken);
