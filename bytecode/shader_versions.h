#pragma once

#include <cstdint>

#include "bytecode/tokens.h"

// Shader versions as the rule tables name them: major << 8 | minor, with 2_x
// as 2.1, the low half of the version token. The check lets no other through.
const std::uint16_t v11 = 0x101, v12 = 0x102, v13 = 0x103, v14 = 0x104;
const std::uint16_t v20 = 0x200, v2x = 0x201, v30 = 0x300;
const std::uint16_t none = 0;

inline std::uint16_t VersionOf(std::uint32_t versionToken) {
    return static_cast<std::uint16_t>(versionToken & 0xFFFF);
}

inline bool IsVertexVersion(std::uint32_t versionToken) {
    return (versionToken >> 16) == vertexVersionKind;
}
