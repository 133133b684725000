#include "tools/shader_compiler/constant_table.h"

#include <cstring>

const char* const constantTableCreator = "shader_compiler (D3DXAssembleShader + constant table)";

namespace {

const DWORD constantTableTag = MAKEFOURCC('C', 'T', 'A', 'B');

// Appends bytes to the table and gives their offset, which is what the
// table's fields hold: positions counted from the table's first byte.
DWORD Append(std::vector<BYTE>& table, const void* data, size_t size) {
    const DWORD offset = static_cast<DWORD>(table.size());
    const BYTE* bytes = static_cast<const BYTE*>(data);
    table.insert(table.end(), bytes, bytes + size);
    return offset;
}

DWORD AppendString(std::vector<BYTE>& table, const std::string& text) {
    return Append(table, text.c_str(), text.size() + 1);
}

// The default laid out register by register, four floats each, zero where
// the constant leaves a register's components unused.
std::vector<float> DefaultRegisters(const ConstantDeclaration& constant) {
    std::vector<float> registers(4 * RegistersTaken(constant), 0.0f);
    for (UINT row = 0; row < constant.rows; ++row) {
        for (UINT column = 0; column < constant.columns; ++column) {
            const float value = constant.defaultValue[row * constant.columns + column];
            if (constant.parameterClass == D3DXPC_MATRIX_COLUMNS) {
                registers[column * 4 + row] = value;
            } else {
                registers[row * 4 + column] = value;
            }
        }
    }
    return registers;
}

D3DXSHADER_TYPEINFO TypeInfo(const ConstantDeclaration& constant) {
    D3DXSHADER_TYPEINFO type = {};
    type.Class = static_cast<WORD>(constant.parameterClass);
    type.Type = D3DXPT_FLOAT;
    type.Rows = static_cast<WORD>(constant.rows);
    type.Columns = static_cast<WORD>(constant.columns);
    type.Elements = 1;
    return type;
}

} // namespace

std::string TargetName(DWORD version) {
    const std::string kind = (version >> 16) == 0xFFFE ? "vs" : "ps";
    return kind + "_" + std::to_string((version >> 8) & 0xFF) + "_" +
           std::to_string(version & 0xFF);
}

std::vector<DWORD> BuildConstantTableComment(const std::vector<ConstantDeclaration>& constants,
                                             DWORD version) {
    // The header and the constant records come first; the types, defaults
    // and strings they point to follow, and the offsets are filled in last.
    std::vector<BYTE> table(sizeof(D3DXSHADER_CONSTANTTABLE) +
                            constants.size() * sizeof(D3DXSHADER_CONSTANTINFO));
    std::vector<D3DXSHADER_CONSTANTINFO> infos(constants.size());
    for (size_t i = 0; i < constants.size(); ++i) {
        const ConstantDeclaration& constant = constants[i];
        D3DXSHADER_CONSTANTINFO& info = infos[i];
        info.RegisterSet = D3DXRS_FLOAT4;
        info.RegisterIndex = static_cast<WORD>(constant.registerIndex);
        info.RegisterCount = static_cast<WORD>(RegistersTaken(constant));
        const D3DXSHADER_TYPEINFO type = TypeInfo(constant);
        info.TypeInfo = Append(table, &type, sizeof(type));
        if (!constant.defaultValue.empty()) {
            const std::vector<float> registers = DefaultRegisters(constant);
            info.DefaultValue = Append(table, registers.data(), registers.size() * sizeof(float));
        }
    }
    for (size_t i = 0; i < constants.size(); ++i) {
        infos[i].Name = AppendString(table, constants[i].name);
    }

    D3DXSHADER_CONSTANTTABLE header = {};
    header.Size = sizeof(header);
    header.Creator = AppendString(table, constantTableCreator);
    header.Version = version;
    header.Constants = static_cast<DWORD>(constants.size());
    header.ConstantInfo = sizeof(header);
    header.Flags = 0;
    header.Target = AppendString(table, TargetName(version));
    std::memcpy(table.data(), &header, sizeof(header));
    if (!infos.empty()) {
        std::memcpy(table.data() + sizeof(header), infos.data(),
                    infos.size() * sizeof(D3DXSHADER_CONSTANTINFO));
    }
    table.resize((table.size() + 3) / 4 * 4, 0);

    // A comment token counts the tokens that follow it: the tag and the table.
    const DWORD length = 1 + static_cast<DWORD>(table.size() / 4);
    std::vector<DWORD> comment(1 + length);
    comment[0] = D3DSIO_COMMENT | (length << D3DSI_COMMENTSIZE_SHIFT);
    comment[1] = constantTableTag;
    std::memcpy(&comment[2], table.data(), table.size());
    return comment;
}
