#include "bytecode/constant_table_check.h"

#include <cstdint>

#include "bytecode/register_rules.h"
#include "bytecode/shader_versions.h"
#include "bytecode/tokens.h"

namespace {

// Record sizes of the table's layout; every offset counts from its first byte.
const std::uint64_t headerSize = 28;
const std::uint64_t constantSize = 20;
const std::uint64_t typeSize = 16;
const std::uint64_t memberSize = 8;

// D3DX makes one constant per type, array element and structure member, so a
// few records pointing at one another could make it build billions of them;
// the check visits no more type records than that either.
const std::uint64_t mostConstants = 65536;
// D3DX's reader, its setters and its release follow structure members by
// recursion, as the check does: the bound is for their stacks, far deeper
// than any structure a compiler emits.
const int deepestMember = 256;

// D3DXPARAMETER_CLASS and D3DXPARAMETER_TYPE, as d3dx9shader.h numbers them.
const std::uint16_t lastNumericClass = 3; // scalar, vector, row and column matrices
const std::uint16_t structureClass = 5;
const std::uint16_t lastType = 19; // D3DXPT_UNSUPPORTED
// D3DXREGISTER_SET: bool, int4, float4 and sampler, and the register types
// (as a parameter token encodes them) whose counts the register table keeps.
// SetDefaults and the setters write from a constant's index to its index
// plus its count.
const std::uint16_t boolSet = 0;
const std::uint16_t samplerSet = 3;
const std::uint8_t setRegisterTypes[] = {booleanConstantRegister, integerConstantRegister,
                                         constantRegister, samplerRegister};

struct Table {
    const unsigned char* bytes;
    std::uint64_t size;
    std::uint64_t textEnd; // one past the last zero byte: texts must start before it
    std::uint32_t version;
    const DeviceLimits* limits;
    std::uint64_t visited;   // type records visited
    std::uint64_t constants; // constants D3DX makes of the records checked so far
    CheckFinding* finding;
};

// Records the broken rule in its own words and gives false.
bool Broken(const Table& table, const char* why) {
    table.finding->detail = why;
    return Refuse(*table.finding, CheckRule::constantTable);
}

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

struct TypeRecord {
    std::uint16_t typeClass, type, rows, columns, elements, members;
    std::uint32_t memberOffset;
};

bool IsNumeric(const TypeRecord& type) {
    return type.typeClass <= lastNumericClass;
}

// The fields of a type record that D3DX computes with, a rule a row
// (D3DXSHADER_TYPEINFO in d3dx9shader.h).
struct TypeRule {
    bool (*holds)(const TypeRecord&);
    const char* broken;
};
const TypeRule typeRules[] = {
    // The reader, SetDefaults and the setters switch on the class, and the
    // setters convert every value by the type.
    {[](const TypeRecord& t) { return t.typeClass <= structureClass; }, "a type of unknown class"},
    {[](const TypeRecord& t) { return t.type <= lastType; }, "a type of unknown kind"},
    // The setters fill one 4-float register from a row (a column in a column
    // matrix) on their own stack, and step over the caller's floats by rows
    // and columns: a register holds 4 values.
    {[](const TypeRecord& t) { return !IsNumeric(t) || (t.rows >= 1 && t.rows <= 4); },
     "a numeric type without 1 to 4 rows"},
    {[](const TypeRecord& t) { return !IsNumeric(t) || (t.columns >= 1 && t.columns <= 4); },
     "a numeric type without 1 to 4 columns"},
    // GetConstant indexes the members of any class; only structures have them.
    {[](const TypeRecord& t) { return t.typeClass == structureClass || t.members == 0; },
     "members in a type that is no structure"},
    // The setters divide the caller's count by a structure's rows times
    // columns and step over its members' values by its columns, as compilers
    // lay it out: one row of all its members' values (the walk adds them up).
    {[](const TypeRecord& t) {
        return t.typeClass != structureClass || (t.rows == 1 && t.columns >= 1);
     },
     "a structure not of one row of columns"},
};

TypeRecord ReadType(const Table& table, std::uint64_t offset) {
    return {Read16(table, offset),     Read16(table, offset + 2), Read16(table, offset + 4),
            Read16(table, offset + 6), Read16(table, offset + 8), Read16(table, offset + 10),
            Read32(table, offset + 12)};
}

bool KeepsTypeRules(const Table& table, const TypeRecord& type) {
    for (const TypeRule& rule : typeRules) {
        if (!rule.holds(type)) {
            return Broken(table, rule.broken);
        }
    }
    return true;
}

// What D3DX builds of one type: the constants it makes, and the values one
// of them holds (rows times columns times elements).
struct Built {
    std::uint64_t constants;
    std::uint64_t values;
};

bool IsWholeType(Table& table, std::uint64_t offset, int depth, Built& built);

// A structure's members with their names and types; what D3DX builds of one
// element of it.
bool AreWholeMembers(Table& table, const TypeRecord& type, int depth, Built& built) {
    if (!HoldsRecords(table, type.memberOffset, type.members, memberSize)) {
        return Broken(table, "structure members past the table's end");
    }
    built = {1, 0};
    const std::uint64_t end = type.memberOffset + type.members * memberSize;
    for (std::uint64_t member = type.memberOffset; member < end; member += memberSize) {
        Built memberBuilt = {0, 0};
        if (!HoldsText(table, Read32(table, member))) {
            return Broken(table, "a member's name that does not end inside the table");
        }
        if (!IsWholeType(table, Read32(table, member + 4), depth + 1, memberBuilt)) {
            return false;
        }
        built.constants += memberBuilt.constants;
        built.values += memberBuilt.values;
    }
    return true;
}

bool IsWholeType(Table& table, std::uint64_t offset, int depth, Built& built) {
    if (depth > deepestMember) {
        return Broken(table, "structures nested more than 256 deep");
    }
    if (++table.visited > mostConstants) {
        return Broken(table, "more than 65,536 type records");
    }
    if (!HoldsRecords(table, offset, 1, typeSize)) {
        return Broken(table, "a type record past the table's end");
    }
    const TypeRecord type = ReadType(table, offset);
    if (!KeepsTypeRules(table, type)) {
        return false;
    }
    Built element = {1, 0};
    if (type.typeClass == structureClass) {
        if (!AreWholeMembers(table, type, depth, element)) {
            return false;
        }
        if (element.values != type.columns) {
            return Broken(table, "a structure whose columns are not its members' values");
        }
    }
    // An array is one constant with one per element, each with its members.
    const std::uint64_t elements = type.elements > 1 ? type.elements : 1;
    built.constants = type.elements > 1 ? 1 + elements * element.constants : element.constants;
    built.values = std::uint64_t{type.rows} * type.columns * elements;
    return built.constants <= mostConstants || Broken(table, "more than 65,536 constants");
}

// Pixel shaders 1_x sample through their t# registers, one stage each.
std::uint32_t RegistersOf(const Table& table, std::uint16_t registerSet) {
    const bool samplesThroughTexture = registerSet == samplerSet &&
                                       !IsVertexVersion(table.version) &&
                                       VersionOf(table.version) < v20;
    const std::uint8_t type =
        samplesThroughTexture ? std::uint8_t{textureRegister} : setRegisterTypes[registerSet];
    return RegisterCount(type, table.version, *table.limits);
}

// A constant: its name, its registers, its type, and its default value.
// Only the fragment shader's defaults are ever read: the frame restores them
// with SetDefaults, which passes the device 4 bytes per bool register and 16
// per register of the other sets. Compilers write a vertex table's defaults
// by what the values hold (an int3 array placed last has 12 bytes a
// register), and nothing reads them.
bool IsWholeConstant(Table& table, std::uint64_t offset) {
    const std::uint16_t registerSet = Read16(table, offset + 4);
    const std::uint32_t registerIndex = Read16(table, offset + 6);
    const std::uint32_t registerCount = Read16(table, offset + 8);
    const std::uint32_t defaultValue = Read32(table, offset + 16);
    if (!HoldsText(table, Read32(table, offset))) {
        return Broken(table, "a name that does not end inside the table");
    }
    if (registerSet > samplerSet) {
        return Broken(table, "a register set other than bool, int, float and sampler");
    }
    if (registerIndex + registerCount > RegistersOf(table, registerSet)) {
        table.finding->limit = RegistersOf(table, registerSet);
        return Broken(table, "registers past the ones the shader's version has");
    }
    const std::uint64_t registerSize = registerSet == boolSet ? 4 : 16;
    if (defaultValue != 0 && !IsVertexVersion(table.version) &&
        !HoldsRecords(table, defaultValue, registerCount, registerSize)) {
        return Broken(table, "a default value shorter than its registers or past the table's end");
    }
    Built built = {0, 0};
    if (!IsWholeType(table, Read32(table, offset + 12), 0, built)) {
        return false;
    }
    table.constants += built.constants;
    return table.constants <= mostConstants || Broken(table, "more than 65,536 constants");
}

std::uint64_t TextEnd(const unsigned char* bytes, std::uint64_t size) {
    while (size > 0 && bytes[size - 1] != 0) {
        --size;
    }
    return size;
}

} // namespace

bool IsWholeConstantTable(const unsigned char* bytes, std::size_t size, std::uint32_t version,
                          const DeviceLimits& limits, CheckFinding& finding) {
    Table table = {bytes, size, TextEnd(bytes, size), version, &limits, 0, 0, &finding};
    if (!HoldsRecords(table, 0, 1, headerSize) || Read32(table, 0) != headerSize) {
        return Broken(table, "a header other than 28 bytes");
    }
    // D3DX picks the vertex or the pixel shader's setters by the table's
    // version, so it must be the shader's.
    if (Read32(table, 8) != version) {
        return Broken(table, "a version other than the shader's");
    }
    if (!HoldsText(table, Read32(table, 4)) || !HoldsText(table, Read32(table, 24))) {
        return Broken(table, "a creator or target text that does not end inside the table");
    }
    const std::uint32_t count = Read32(table, 12);
    const std::uint32_t first = Read32(table, 16);
    if (!HoldsRecords(table, first, count, constantSize)) {
        return Broken(table, "constant records past the table's end");
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        finding.constant = i + 1;
        if (!IsWholeConstant(table, first + std::uint64_t{i} * constantSize)) {
            return false;
        }
    }
    finding.constant = 0;
    return true;
}
