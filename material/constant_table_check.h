#pragma once

#include <cstddef>

// Whether the bytes after the tag of a constant table comment ("CTAB") hold a
// whole table: every count and offset that D3DX follows, when it reads the
// table or restores its defaults, stays inside them.
bool IsWholeConstantTable(const unsigned char* table, std::size_t size);
