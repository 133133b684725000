#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bytecode/device_limits.h"
#include "bytecode/shader_instruction.h"

// One thing Direct3D 9's validation on Windows refuses that the game's check
// lets through: the check bounds what this machine's driver is given, and
// some drivers draw what Windows would refuse to create.
struct ValidationWarning {
    std::size_t instruction; // from 1, as ShaderInstruction counts; 0 for the whole shader
    std::size_t token;
    std::string text; // "m4x4 takes 4 slots: the shader needs 130 of vs_1_1's 128"
};

// What Windows refuses in the instructions of a shader that passed the check
// (ReadShaderInstructions), in the order of the instructions. versionToken:
// the shader's first token; limits: the device limits the check was given.
// Where a rule's bound is a device capability the check is not given, the
// largest any device has is taken, so that nothing a device creates is
// warned about.
std::vector<ValidationWarning>
FindWindowsRefusals(std::uint32_t versionToken, const std::vector<ShaderInstruction>& instructions,
                    const DeviceLimits& limits);
