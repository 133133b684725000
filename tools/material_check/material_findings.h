#pragma once

#include <string>

#include "material/material.h"
#include "tools/material_check/report.h"

// Runs the material file at path through the game's own loader, with its
// box turned into a finding: every diagnostic the game would write or show,
// the keys it would not read, and the shader paths it would be left without.
// material receives what the game would hold; true when the game would take
// the whole material as written.
bool CheckMaterialFile(const std::string& path, Material& material, Report& report);
