#include "bytecode/opcode_table.h"

#include "bytecode/shader_versions.h"

namespace {

// Every opcode of the instruction pages of the Direct3D 9 shader reference,
// a row per version range where its operands changed with the version.
// Direct3D's parser reads the operands its own table names, whatever the
// instruction's length says, so a row too many or too few would let it read
// past a shader.
const OpcodeInfo opcodes[] = {
    {0x00, "nop", 0, 0, 0, v11, v30, v11, v30, noSlot},
    {0x01, "mov", 1, 1, 0, v11, v30, v11, v30, arithmeticSlot},
    {0x02, "add", 1, 2, 0, v11, v30, v11, v30, arithmeticSlot},
    {0x03, "sub", 1, 2, 0, v11, v30, v11, v30, arithmeticSlot},
    {0x04, "mad", 1, 3, 0, v11, v30, v11, v30, arithmeticSlot},
    {0x05, "mul", 1, 2, 0, v11, v30, v11, v30, arithmeticSlot},
    {0x06, "rcp", 1, 1, 0, v11, v30, v20, v30, arithmeticSlot},
    {0x07, "rsq", 1, 1, 0, v11, v30, v20, v30, arithmeticSlot},
    {0x08, "dp3", 1, 2, 0, v11, v30, v11, v30, arithmeticSlot},
    {0x09, "dp4", 1, 2, 0, v11, v30, v12, v30, arithmeticSlot},
    {0x0A, "min", 1, 2, 0, v11, v30, v20, v30, arithmeticSlot},
    {0x0B, "max", 1, 2, 0, v11, v30, v20, v30, arithmeticSlot},
    {0x0C, "slt", 1, 2, 0, v11, v30, none, none, arithmeticSlot},
    {0x0D, "sge", 1, 2, 0, v11, v30, none, none, arithmeticSlot},
    {0x0E, "exp", 1, 1, 0, v11, v30, v20, v30, arithmeticSlot},
    {0x0F, "log", 1, 1, 0, v11, v30, v20, v30, arithmeticSlot},
    {0x10, "lit", 1, 1, 0, v11, v30, none, none, arithmeticSlot},
    {0x11, "dst", 1, 2, 0, v11, v30, none, none, arithmeticSlot},
    {0x12, "lrp", 1, 3, 0, v20, v30, v11, v30, arithmeticSlot},
    {0x13, "frc", 1, 1, 0, v11, v30, v20, v30, arithmeticSlot},
    {0x14, "m4x4", 1, 2, 0, v11, v30, v20, v30, arithmeticSlot},
    {0x15, "m4x3", 1, 2, 0, v11, v30, v20, v30, arithmeticSlot},
    {0x16, "m3x4", 1, 2, 0, v11, v30, v20, v30, arithmeticSlot},
    {0x17, "m3x3", 1, 2, 0, v11, v30, v20, v30, arithmeticSlot},
    {0x18, "m3x2", 1, 2, 0, v11, v30, v20, v30, arithmeticSlot},
    {0x19, "call", 0, 1, 0, v20, v30, v2x, v30, arithmeticSlot},
    {0x1A, "callnz", 0, 2, 0, v20, v30, v2x, v30, arithmeticSlot},
    {0x1B, "loop", 0, 2, 0, v20, v30, v30, v30, arithmeticSlot},
    {0x1C, "ret", 0, 0, 0, v20, v30, v2x, v30, arithmeticSlot},
    {0x1D, "endloop", 0, 0, 0, v20, v30, v30, v30, arithmeticSlot},
    {0x1E, "label", 0, 1, 0, v20, v30, v2x, v30, noSlot},
    {0x1F, "dcl", 1, 0, 1, v11, v30, v20, v30, noSlot}, // the usage token comes first
    {0x20, "pow", 1, 2, 0, v20, v30, v20, v30, arithmeticSlot},
    {0x21, "crs", 1, 2, 0, v20, v30, v20, v30, arithmeticSlot},
    {0x22, "sgn", 1, 3, 0, v20, v2x, none, none, arithmeticSlot},
    {0x22, "sgn", 1, 1, 0, v30, v30, none, none, arithmeticSlot}, // 3_0
    {0x23, "abs", 1, 1, 0, v20, v30, v20, v30, arithmeticSlot},
    {0x24, "nrm", 1, 1, 0, v20, v30, v20, v30, arithmeticSlot},
    {0x25, "sincos", 1, 3, 0, v20, v2x, v20, v2x, arithmeticSlot},
    {0x25, "sincos", 1, 1, 0, v30, v30, v30, v30, arithmeticSlot}, // 3_0
    {0x26, "rep", 0, 1, 0, v20, v30, v2x, v30, arithmeticSlot},
    {0x27, "endrep", 0, 0, 0, v20, v30, v2x, v30, arithmeticSlot},
    {0x28, "if", 0, 1, 0, v20, v30, v2x, v30, arithmeticSlot},
    {0x29, "ifc", 0, 2, 0, v2x, v30, v2x, v30, arithmeticSlot},
    {0x2A, "else", 0, 0, 0, v20, v30, v2x, v30, arithmeticSlot},
    {0x2B, "endif", 0, 0, 0, v20, v30, v2x, v30, arithmeticSlot},
    {0x2C, "break", 0, 0, 0, v2x, v30, v2x, v30, arithmeticSlot},
    {0x2D, "breakc", 0, 2, 0, v2x, v30, v2x, v30, arithmeticSlot},
    {0x2E, "mova", 1, 1, 0, v20, v30, none, none, arithmeticSlot},
    {0x2F, "defb", 1, 0, 1, v20, v30, v2x, v30, noSlot},
    {0x30, "defi", 1, 0, 4, v20, v30, v2x, v30, noSlot},
    {0x40, "texcoord", 1, 0, 0, none, none, v11, v13, textureSlot},
    {0x40, "texcrd", 1, 1, 0, none, none, v14, v14, textureSlot},
    {0x41, "texkill", 1, 0, 0, none, none, v11, v30, textureSlot},
    {0x42, "tex", 1, 0, 0, none, none, v11, v13, textureSlot},
    {0x42, "texld", 1, 1, 0, none, none, v14, v14, textureSlot},
    {0x42, "texld", 1, 2, 0, none, none, v20, v30, textureSlot}, // 2_0 on
    {0x43, "texbem", 1, 1, 0, none, none, v11, v13, textureSlot},
    {0x44, "texbeml", 1, 1, 0, none, none, v11, v13, textureSlot},
    {0x45, "texreg2ar", 1, 1, 0, none, none, v11, v13, textureSlot},
    {0x46, "texreg2gb", 1, 1, 0, none, none, v11, v13, textureSlot},
    {0x47, "texm3x2pad", 1, 1, 0, none, none, v11, v13, textureSlot},
    {0x48, "texm3x2tex", 1, 1, 0, none, none, v11, v13, textureSlot},
    {0x49, "texm3x3pad", 1, 1, 0, none, none, v11, v13, textureSlot},
    {0x4A, "texm3x3tex", 1, 1, 0, none, none, v11, v13, textureSlot},
    {0x4C, "texm3x3spec", 1, 2, 0, none, none, v11, v13, textureSlot},
    {0x4D, "texm3x3vspec", 1, 1, 0, none, none, v11, v13, textureSlot},
    {0x4E, "expp", 1, 1, 0, v11, v30, none, none, arithmeticSlot},
    {0x4F, "logp", 1, 1, 0, v11, v30, none, none, arithmeticSlot},
    {0x50, "cnd", 1, 3, 0, none, none, v11, v14, arithmeticSlot},
    {0x51, "def", 1, 0, 4, v11, v30, v11, v30, noSlot},
    {0x52, "texreg2rgb", 1, 1, 0, none, none, v12, v13, textureSlot},
    {0x53, "texdp3tex", 1, 1, 0, none, none, v12, v13, textureSlot},
    {0x54, "texm3x2depth", 1, 1, 0, none, none, v13, v13, textureSlot},
    {0x55, "texdp3", 1, 1, 0, none, none, v12, v13, textureSlot},
    {0x56, "texm3x3", 1, 1, 0, none, none, v12, v13, textureSlot},
    {0x57, "texdepth", 1, 0, 0, none, none, v14, v14, textureSlot},
    {0x58, "cmp", 1, 3, 0, none, none, v12, v30, arithmeticSlot},
    {0x59, "bem", 1, 2, 0, none, none, v14, v14, arithmeticSlot},
    {0x5A, "dp2add", 1, 3, 0, none, none, v20, v30, arithmeticSlot},
    {0x5B, "dsx", 1, 1, 0, none, none, v2x, v30, arithmeticSlot},
    {0x5C, "dsy", 1, 1, 0, none, none, v2x, v30, arithmeticSlot},
    {0x5D, "texldd", 1, 4, 0, none, none, v2x, v30, textureSlot},
    {0x5E, "setp", 1, 2, 0, v2x, v30, v2x, v30, arithmeticSlot},
    {0x5F, "texldl", 1, 2, 0, v30, v30, v30, v30, textureSlot},
    {0x60, "breakp", 0, 1, 0, v2x, v30, v2x, v30, arithmeticSlot},
    {0xFFFD, "phase", 0, 0, 0, none, none, v14, v14, noSlot},
};

} // namespace

const OpcodeInfo* FindOpcode(std::uint32_t code, std::uint32_t versionToken) {
    const std::uint16_t version = VersionOf(versionToken);
    const bool vertex = IsVertexVersion(versionToken);
    for (const OpcodeInfo& opcode : opcodes) {
        const std::uint16_t first = vertex ? opcode.vertexFirst : opcode.pixelFirst;
        const std::uint16_t last = vertex ? opcode.vertexLast : opcode.pixelLast;
        if (opcode.code == code && first != none && first <= version && version <= last) {
            return &opcode;
        }
    }
    return nullptr;
}
