#pragma once

#include <windows.h>

struct lua_State;

// luaL_loadfile with the material's limits. Loads the file at path as the chunk
// "@path", in source or precompiled form, skips a UTF-8 byte order mark and a
// first line that starts with '#', and words a failure to open or read the
// file as Lua does. Lua is handed the file in small blocks, so that it comes
// back for more even while its parser is slow; the file stops being read, with
// an error at the line reached, once it passes materialSizeCap bytes or once
// GetTickCount64 passes deadline. Returns lua_load's status, with the chunk or
// the error text pushed.
int LoadMaterialChunk(lua_State* L, const char* path, ULONGLONG deadline);
