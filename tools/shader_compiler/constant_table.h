#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "tools/shader_compiler/constant_declarations.h"

// The name the constant tables give as their creator.
extern const char* const constantTableCreator;

// The target profile of a version token, such as "vs_2_0" or "ps_2_0".
std::string TargetName(DWORD version);

// The comment block ("CTAB") that D3DX reads a shader's constant table from,
// comment token included, with names, creator, target and default values.
// Each default fills whole registers, which is what SetDefaults copies.
std::vector<DWORD> BuildConstantTableComment(const std::vector<ConstantDeclaration>& constants,
                                             DWORD version);
