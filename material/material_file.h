#pragma once

#include <cstddef>

#include <windows.h>

#include "material/material.h"

struct lua_State;

// The most memory a material's Lua state may hold, counted as the heap gives
// it out. A table of paths and numbers takes a few kilobytes; the cap is set
// by Lua's own limits instead, which must speak first: the deepest recursion
// Lua allows (a million stack slots, a call record for each) takes 122 MiB,
// and it must still end in Lua's "stack overflow" at its line. Past the cap
// Lua raises "not enough memory", an error in the file like any other.
const std::size_t materialMemoryCap = 192 * 1024 * 1024;

// A material file longer than this is not read to its end: generated
// materials of a few megabytes load, and a huge file cannot hold start-up.
const std::size_t materialSizeCap = 16 * 1024 * 1024;

// From the first byte read to the end of the run.
const int materialTimeBudgetSeconds = 5;

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
