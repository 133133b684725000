#pragma once

#include <string>

// Compiles Lua source into a precompiled chunk, as the asset file may hold
// one. chunkName is the source name embedded in it ("@file.lua", "=name").
std::string PrecompileChunk(const char* source, const char* chunkName);

// The same chunk without its debug information (source names, line numbers,
// local and upvalue names), as a stripping compiler writes it; lua_dump
// itself always keeps them.
std::string StripChunk(const std::string& chunk);
