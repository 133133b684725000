#pragma once

#include <windows.h>

#include "material/material.h"

struct lua_State;

// The steps of LoadMaterial (material.h), open to the tests so that each can
// be run on a state of their own. Every step leaves the stack as it found it,
// on every path.

// Expects the stack to hold exactly what the chunk returned and pops all of
// it: checks for one table, then reads "shaders" and "constants".
bool ReadAssetTable(lua_State* L, Material& material, HWND owner);

// With the asset table at -1.
bool ReadShaders(lua_State* L, Material& material);
bool ReadConstants(lua_State* L, Material& material, HWND owner);

// With the shaders table at -1. Has no failure.
bool ReadShaderPaths(lua_State* L, Material& material);

// With the constants table at -1; owner owns the warning box.
bool ReadColorModifier(lua_State* L, Material& material, HWND owner);

// Writes the error value at -1 to std::cerr and pops it. When chunkId is not
// null, a leading position of that chunk is put in the "chunkId(line): error: "
// form.
void ReportLuaError(lua_State* L, const char* chunkId);
