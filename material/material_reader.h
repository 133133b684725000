#pragma once

#include <cstddef>

#include <windows.h>

struct lua_State;

// A material file longer than this is not read to its end: generated
// materials of a few megabytes load, and a huge file cannot hold start-up.
const std::size_t materialSizeCap = 16 * 1024 * 1024;

// From the first byte read to the end of the run.
const int materialTimeBudgetSeconds = 5;

// luaL_loadfile with the material's limits. Loads the file at path as the chunk
// "@path", in source or precompiled form, skips a UTF-8 byte order mark and a
// first line that starts with '#', and words a failure to open or read the
// file as Lua does. Lua is handed the file in small blocks, so that it comes
// back for more even while its parser is slow; the file stops being read, with
// an error at the line reached of chunkId (the chunk's name as Lua's messages
// give it), once it passes materialSizeCap bytes or once GetTickCount64 passes
// deadline. Returns lua_load's status, with the chunk or the error text pushed.
int LoadMaterialChunk(lua_State* L, const char* path, const char* chunkId, ULONGLONG deadline);
