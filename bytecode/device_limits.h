#pragma once

#include <cstdint>

// What the device a shader is created on allows, where Direct3D checks a
// shader against its device's capabilities (D3DCAPS9) rather than against the
// shader's version alone. Plain numbers, so the check needs no Direct3D
// header.
struct DeviceLimits {
    std::uint32_t vertexConstants;   // MaxVertexShaderConst
    std::uint32_t vertexTemporaries; // VS20Caps.NumTemps
    std::uint32_t vertex30Slots;     // MaxVertexShader30InstructionSlots
    std::uint32_t pixelTemporaries;  // PS20Caps.NumTemps
    std::uint32_t pixel2xSlots;      // PS20Caps.NumInstructionSlots
    std::uint32_t pixel30Slots;      // MaxPixelShader30InstructionSlots
};

// The least that a device creating shaders of every version the check knows
// must have: what the check assumes when the device does not say.
extern const DeviceLimits leastDeviceLimits;
