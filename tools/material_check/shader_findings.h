#pragma once

#include <cstdint>
#include <string>

#include "bytecode/bytecode_check.h"
#include "material/material.h"
#include "tools/material_check/report.h"

// Reads the shader file at path as the game reads it and checks it with the
// game's own check and constant look-ups, saying why wherever the game would
// stay silent. material is what the material file gave the game (its color
// modifier decides whether the fragment shader's defaults apply). Gives the
// shader's version token, 0 when the game would not create the shader.
std::uint32_t CheckShaderFile(const std::string& path, ShaderKind stage, const Material& material,
                              Report& report);
