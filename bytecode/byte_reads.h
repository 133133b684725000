#pragma once

#include <cstdint>
#include <cstring>

// Little-endian fields read out of a shader file's bytes. Copied out rather
// than cast: nothing says the bytes are aligned for the read.
template <typename T> T ReadField(const unsigned char* bytes, std::uint64_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof(value));
    return value;
}
