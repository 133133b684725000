#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The token layout of Direct3D 9 shader byte code, as d3d9types.h defines
// it: the one place the check and the tools beside the game take it from.

// Little-endian fields read out of a shader file's bytes. Copied out rather
// than cast: nothing says the bytes are aligned for the read.
template <typename T> T ReadField(const unsigned char* bytes, std::uint64_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof(value));
    return value;
}

inline std::uint32_t TokenAt(const unsigned char* bytes, std::size_t at) {
    return ReadField<std::uint32_t>(bytes, at * sizeof(std::uint32_t));
}

// The high half of a version token.
const std::uint32_t vertexVersionKind = 0xFFFE;
const std::uint32_t pixelVersionKind = 0xFFFF;

const std::uint32_t endToken = 0x0000FFFF;
const std::uint32_t opcodeMask = 0x0000FFFF;
const std::uint32_t parameterBit = 0x80000000; // set in every parameter token
const std::uint32_t coissueBit = 0x40000000;   // ps_1_x: issued with the one before
const std::uint32_t predicatedBit = 0x10000000;
const std::uint32_t relativeBit = 0x00002000;
const std::uint32_t constantTableTag = 0x42415443; // "CTAB", a comment's first token

// Opcodes the rules name (D3DSHADER_INSTRUCTION_OPCODE_TYPE); the opcode
// table (opcode_table.cpp) holds every one.
enum Opcode : std::uint16_t {
    nopOpcode = 0x00,
    dp4Opcode = 0x09,
    expOpcode = 0x0E,
    logOpcode = 0x0F,
    litOpcode = 0x10,
    lrpOpcode = 0x12,
    frcOpcode = 0x13,
    m4x4Opcode = 0x14,
    m4x3Opcode = 0x15,
    m3x4Opcode = 0x16,
    m3x3Opcode = 0x17,
    m3x2Opcode = 0x18,
    callOpcode = 0x19,
    callnzOpcode = 0x1A,
    loopOpcode = 0x1B,
    retOpcode = 0x1C,
    endloopOpcode = 0x1D,
    labelOpcode = 0x1E,
    dclOpcode = 0x1F,
    powOpcode = 0x20,
    crsOpcode = 0x21,
    sgnOpcode = 0x22,
    nrmOpcode = 0x24,
    sincosOpcode = 0x25,
    repOpcode = 0x26,
    endrepOpcode = 0x27,
    ifOpcode = 0x28,
    ifcOpcode = 0x29,
    elseOpcode = 0x2A,
    endifOpcode = 0x2B,
    breakOpcode = 0x2C,
    breakcOpcode = 0x2D,
    defbOpcode = 0x2F,
    defiOpcode = 0x30,
    texcoordOpcode = 0x40,
    texkillOpcode = 0x41,
    texOpcode = 0x42, // texld from ps_1_4 on
    texbemOpcode = 0x43,
    texbemlOpcode = 0x44,
    texreg2arOpcode = 0x45,
    texreg2gbOpcode = 0x46,
    texm3x2padOpcode = 0x47,
    texm3x2texOpcode = 0x48,
    texm3x3padOpcode = 0x49,
    texm3x3texOpcode = 0x4A,
    texm3x3specOpcode = 0x4C,
    texm3x3vspecOpcode = 0x4D,
    defOpcode = 0x51,
    texreg2rgbOpcode = 0x52,
    texdp3texOpcode = 0x53,
    texm3x2depthOpcode = 0x54,
    texdp3Opcode = 0x55,
    texm3x3Opcode = 0x56,
    cmpOpcode = 0x58,
    bemOpcode = 0x59,
    dp2addOpcode = 0x5A,
    dsxOpcode = 0x5B,
    dsyOpcode = 0x5C,
    texlddOpcode = 0x5D,
    texldlOpcode = 0x5F,
    breakpOpcode = 0x60,
    phaseOpcode = 0xFFFD,
    commentOpcode = 0xFFFE,
};

inline std::uint16_t OpcodeOf(std::uint32_t token) {
    return static_cast<std::uint16_t>(token & opcodeMask);
}

// texld's forms from ps_2_0 on, in its opcode token's control bits
// (D3DSI_TEXLD_PROJECT, D3DSI_TEXLD_BIAS).
const std::uint32_t texldProjectBit = 0x00010000;
const std::uint32_t texldBiasBit = 0x00020000;

// The texture type a sampler's dcl declares (D3DSAMPLER_TEXTURE_TYPE in the
// usage token): 2D, cube or volume.
enum SamplerTextureType : std::uint32_t { texture2D = 2, textureCube = 3, textureVolume = 4 };

inline std::uint32_t SamplerTextureTypeOf(std::uint32_t usage) {
    return (usage >> 27) & 0xF;
}

inline bool IsComment(std::uint32_t token) {
    return OpcodeOf(token) == commentOpcode;
}

// The tokens that follow a comment token.
inline std::size_t CommentLength(std::uint32_t token) {
    return (token >> 16) & 0x7FFF;
}

// Register types as a parameter token encodes them
// (D3DSHADER_PARAM_REGISTER_TYPE).
enum RegisterType : std::uint8_t {
    temporaryRegister = 0,
    inputRegister = 1,
    constantRegister = 2,
    addressRegister = 3,
    textureRegister = 3, // the same bits: a0 in vertex shaders, t# in pixel shaders
    rasterizerOutRegister = 4,
    attributeOutRegister = 5,
    textureOutRegister = 6,
    outputRegister = 6, // oT# before vs_3_0, o# in it
    integerConstantRegister = 7,
    colorOutRegister = 8,
    depthOutRegister = 9,
    samplerRegister = 10,
    booleanConstantRegister = 14,
    loopCounterRegister = 15,
    miscellaneousRegister = 17,
    labelRegister = 18,
    predicateRegister = 19,
};

inline std::uint8_t RegisterTypeOf(std::uint32_t parameter) {
    return static_cast<std::uint8_t>(((parameter >> 28) & 0x7) | ((parameter >> 8) & 0x18));
}

inline std::uint32_t RegisterNumberOf(std::uint32_t parameter) {
    return parameter & 0x7FF;
}
