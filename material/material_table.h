#pragma once

#include "material/material.h"
#include "material/material_loader.h"
#include "material/shader_steps.h"

struct lua_State;

// The keys of the asset table the game reads: "shaders" holds the two
// paths, "constants" the values of shader constants by their names, of which
// the game reads colorModifierName.
const char shadersKey[] = "shaders";
const char vertexShaderKey[] = "vertexShader";
const char fragmentShaderKey[] = "fragmentShader";
const char constantsKey[] = "constants";

// The warning when the color modifier is missing or not three numbers.
const char noColorModifierText[] = "g_colorModifier does not exist. Using default values.";

// The steps of reading what the material file returned, open to the tests so
// that each can be run on a state of their own. Every step leaves the stack
// as it found it, on every path; problems go where output says.

// Expects the stack to hold exactly what the chunk returned and pops all of
// it: checks for one table, then reads "shaders" and "constants".
bool ReadAssetTable(lua_State* L, Material& material, const MaterialOutput& output);

// With the asset table at -1.
bool ReadShaders(lua_State* L, Material& material, const MaterialOutput& output);
bool ReadConstants(lua_State* L, Material& material, const MaterialOutput& output);

// With the shaders table at -1. Has no failure.
bool ReadShaderPaths(lua_State* L, Material& material);

// With the constants table at -1. Without a color modifier of three numbers
// it warns and sets the first component to useShaderDefaults.
bool ReadColorModifier(lua_State* L, Material& material, const MaterialOutput& output);
