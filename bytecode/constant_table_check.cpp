#include "bytecode/constant_table_check.h"

#include <cstdint>

#include "bytecode/byte_reads.h"

namespace {

// Record sizes of the table's layout; every offset counts from its first byte.
const std::uint64_t headerSize = 28;
const std::uint64_t constantSize = 20;
const std::uint64_t typeSize = 16;
const std::uint64_t memberSize = 8;
const std::uint64_t registerSize = 16;

// D3DX follows structure members without a bound of its own.
const int deepestMember = 8;
// D3DX makes one constant per type, array element and structure member, so a
// few records pointing at one another could make it build billions of them.
const std::uint64_t mostConstants = 65536;

struct Table {
    const unsigned char* bytes;
    std::uint64_t size;
    std::uint64_t textEnd; // one past the last zero byte: texts must start before it
};

std::uint32_t Read32(const Table& table, std::uint64_t offset) {
    return ReadField<std::uint32_t>(table.bytes, offset);
}

std::uint16_t Read16(const Table& table, std::uint64_t offset) {
    return ReadField<std::uint16_t>(table.bytes, offset);
}

// Offsets and counts are any 32-bit values: compared, never added up first.
bool HoldsRecords(const Table& table, std::uint64_t offset, std::uint64_t count,
                  std::uint64_t recordSize) {
    return offset <= table.size && count <= (table.size - offset) / recordSize;
}

bool HoldsText(const Table& table, std::uint64_t offset) {
    return offset < table.textEnd;
}

// A type, and the structure members it lists with their names and types.
// made receives the constants D3DX makes of it.
bool IsWholeType(const Table& table, std::uint64_t offset, int depth, std::uint64_t& made) {
    if (depth > deepestMember || !HoldsRecords(table, offset, 1, typeSize)) {
        return false;
    }
    const std::uint16_t elements = Read16(table, offset + 8);
    const std::uint16_t members = Read16(table, offset + 10);
    const std::uint32_t memberOffset = Read32(table, offset + 12);
    if (!HoldsRecords(table, memberOffset, members, memberSize)) {
        return false;
    }
    made = 1;
    for (std::uint64_t member = memberOffset; member < memberOffset + members * memberSize;
         member += memberSize) {
        std::uint64_t memberMade = 0;
        if (!HoldsText(table, Read32(table, member)) ||
            !IsWholeType(table, Read32(table, member + 4), depth + 1, memberMade)) {
            return false;
        }
        made += memberMade;
        if (made > mostConstants) {
            return false;
        }
    }
    made *= elements > 1 ? elements : 1;
    return made <= mostConstants;
}

// A constant: its name, its type, and its default value, of which SetDefaults
// copies one 16-byte register per register the constant takes.
bool IsWholeConstant(const Table& table, std::uint64_t offset, std::uint64_t& made) {
    const std::uint16_t registerCount = Read16(table, offset + 8);
    const std::uint32_t defaultValue = Read32(table, offset + 16);
    if (!HoldsText(table, Read32(table, offset))) {
        return false;
    }
    if (defaultValue != 0 && !HoldsRecords(table, defaultValue, registerCount, registerSize)) {
        return false;
    }
    return IsWholeType(table, Read32(table, offset + 12), 0, made);
}

std::uint64_t TextEnd(const unsigned char* bytes, std::uint64_t size) {
    while (size > 0 && bytes[size - 1] != 0) {
        --size;
    }
    return size;
}

} // namespace

bool IsWholeConstantTable(const unsigned char* bytes, std::size_t size, std::uint32_t,
                          const DeviceLimits&) {
    const Table table = {bytes, size, TextEnd(bytes, size)};
    if (!HoldsRecords(table, 0, 1, headerSize) || Read32(table, 0) != headerSize) {
        return false;
    }
    const std::uint32_t count = Read32(table, 12);
    const std::uint32_t first = Read32(table, 16);
    if (!HoldsText(table, Read32(table, 4)) || !HoldsText(table, Read32(table, 24)) ||
        !HoldsRecords(table, first, count, constantSize)) {
        return false;
    }
    std::uint64_t made = 0;
    for (std::uint64_t constant = first; constant < first + count * constantSize;
         constant += constantSize) {
        std::uint64_t constantMade = 0;
        if (!IsWholeConstant(table, constant, constantMade)) {
            return false;
        }
        made += constantMade;
        if (made > mostConstants) {
            return false;
        }
    }
    return true;
}
