#pragma once

#include <cstddef>
#include <ostream>

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

// Where a material's diagnostics go. The game writes them to standard error
// and shows its one warning in a box owned by its window; the material
// checker collects all of them, the box's text too, and shows nothing.
struct MaterialOutput {
    std::ostream& errors;
    HWND boxOwner;
    bool showBoxes;
};

// Sees the stack as the chunk left it, before the table is read; leaves it so.
using MaterialInspection = void (*)(lua_State* L, void* context);

// Runs data/material.material and copies the two shader paths and the color
// modifier of the table it returns into the graphics context's material; true
// when all of them were read. Problems go to standard error, and the missing
// color modifier's box is owned by the context's window.
bool LoadMaterial();

// The same for the material file at path, into material. Its chunk is named
// after the path, as Lua names a file it loads. inspect, when given, sees
// what the chunk returned.
bool LoadMaterialFrom(const char* path, Material& material, const MaterialOutput& output,
                      MaterialInspection inspect = nullptr, void* context = nullptr);

// Writes the error value at -1 to errors and pops it. When chunkId is not
// null, a leading position of that chunk is put in the "chunkId(line): error: "
// form.
void ReportLuaError(lua_State* L, const char* chunkId, std::ostream& errors);
