#include "bytecode/register_rules.h"

#include "bytecode/shader_versions.h"

namespace {

// Register types as a parameter token encodes them (D3DSHADER_PARAM_REGISTER_TYPE).
enum RegisterType : std::uint8_t {
    temporary = 0,
    input = 1,
    constant = 2,
    address = 3,
    texture = 3, // the same bits: a0 in vertex shaders, t# in pixel shaders
    rasterizerOut = 4,
    attributeOut = 5,
    textureOut = 6,
    output = 6, // oT# before vs_3_0, o# in it
    integerConstant = 7,
    colorOut = 8,
    depthOut = 9,
    sampler = 10,
    booleanConstant = 14,
    loopCounter = 15,
    miscellaneous = 17,
    label = 18,
    predicate = 19,
};

// What dcl's usage token must say for a register it may declare.
enum Declaration : std::uint8_t {
    undeclared,   // dcl may not name the register
    anyUsage,     // one of the vertex element usages (D3DDECLUSAGE)
    notPosition0, // the same but position 0: the pixel has no such input
    textureType,  // a sampler's 2D, cube or volume texture type
    anything,     // vPos and vFace: the token carries nothing the driver reads
};

const unsigned W = registerWritten, R = registerRead, D = registerDefined, X = registerRelative,
               A = registerAddresses;

// A register type of one kind of shader over a range of versions: its count
// (or the device's, when the limit is a capability), the uses an instruction
// may make of it and what declares it. The register pages of the Direct3D 9
// shader reference, version by version; a type without a row is refused.
// Direct3D's validation refuses other registers, and the drivers, Wine's
// shader generator among them, index arrays of the reference's sizes.
struct RegisterRule {
    std::uint8_t type;
    bool vertex;
    std::uint16_t first, last;
    std::uint32_t count;
    std::uint32_t DeviceLimits::*deviceCount; // the count when the device says it
    unsigned uses;
    Declaration declaration;
};

const RegisterRule registerRules[] = {
    {temporary, true, v11, v20, 12, nullptr, W | R, undeclared},
    {temporary, true, v2x, v2x, 0, &DeviceLimits::vertexTemporaries, W | R, undeclared},
    {temporary, true, v30, v30, 32, nullptr, W | R, undeclared},
    {input, true, v11, v2x, 16, nullptr, R, anyUsage},
    {input, true, v30, v30, 16, nullptr, R | X, anyUsage},
    {constant, true, v11, v30, 0, &DeviceLimits::vertexConstants, R | D | X, undeclared},
    {address, true, v11, v30, 1, nullptr, W | R | A, undeclared},
    {rasterizerOut, true, v11, v2x, 3, nullptr, W, undeclared}, // oPos, oFog, oPts
    {attributeOut, true, v11, v2x, 2, nullptr, W, undeclared},
    {textureOut, true, v11, v2x, 8, nullptr, W, undeclared},
    {output, true, v30, v30, 12, nullptr, W | X, anyUsage},
    {integerConstant, true, v20, v30, 16, nullptr, R | D, undeclared},
    {booleanConstant, true, v20, v30, 16, nullptr, R | D, undeclared},
    {loopCounter, true, v20, v30, 1, nullptr, R | A, undeclared},
    {label, true, v20, v2x, 16, nullptr, R, undeclared},
    {label, true, v30, v30, 2048, nullptr, R, undeclared},
    {predicate, true, v2x, v30, 1, nullptr, W | R, undeclared},
    {sampler, true, v30, v30, 4, nullptr, R, textureType},

    {temporary, false, v11, v13, 2, nullptr, W | R, undeclared},
    {temporary, false, v14, v14, 6, nullptr, W | R, undeclared},
    {temporary, false, v20, v20, 12, nullptr, W | R, undeclared},
    {temporary, false, v2x, v2x, 0, &DeviceLimits::pixelTemporaries, W | R, undeclared},
    {temporary, false, v30, v30, 32, nullptr, W | R, undeclared},
    {input, false, v11, v2x, 2, nullptr, R, anyUsage},
    {input, false, v30, v30, 10, nullptr, R | X, notPosition0},
    {constant, false, v11, v14, 8, nullptr, R | D, undeclared},
    {constant, false, v20, v2x, 32, nullptr, R | D, undeclared},
    {constant, false, v30, v30, 224, nullptr, R | D, undeclared},
    {texture, false, v11, v13, 4, nullptr, W | R, undeclared}, // written by tex and the like
    {texture, false, v14, v14, 6, nullptr, R, undeclared},
    {texture, false, v20, v2x, 8, nullptr, R, anyUsage},
    {colorOut, false, v20, v30, 4, nullptr, W, undeclared},
    {depthOut, false, v20, v30, 1, nullptr, W, undeclared},
    {sampler, false, v20, v30, 16, nullptr, R, textureType},
    {integerConstant, false, v20, v30, 16, nullptr, R | D, undeclared},
    {booleanConstant, false, v20, v30, 16, nullptr, R | D, undeclared},
    {loopCounter, false, v30, v30, 1, nullptr, R | A, undeclared},
    {label, false, v2x, v2x, 16, nullptr, R, undeclared},
    {label, false, v30, v30, 2048, nullptr, R, undeclared},
    {predicate, false, v2x, v30, 1, nullptr, W | R, undeclared},
    {miscellaneous, false, v30, v30, 2, nullptr, R, anything}, // vPos, vFace
};

std::uint8_t RegisterTypeOf(std::uint32_t parameter) {
    return static_cast<std::uint8_t>(((parameter >> 28) & 0x7) | ((parameter >> 8) & 0x18));
}

// The row of a register type in the version; null when the version has none.
const RegisterRule* FindRule(std::uint8_t type, std::uint32_t version) {
    const std::uint16_t number = VersionOf(version);
    const bool vertex = IsVertexVersion(version);
    for (const RegisterRule& rule : registerRules) {
        if (rule.type == type && rule.vertex == vertex && rule.first <= number &&
            number <= rule.last) {
            return &rule;
        }
    }
    return nullptr;
}

std::uint32_t CountOf(const RegisterRule& rule, const DeviceLimits& limits) {
    return rule.deviceCount ? limits.*rule.deviceCount : rule.count;
}

// The row of the parameter's register type in the version, if its index is
// inside the count; null otherwise.
const RegisterRule* FindRegister(std::uint32_t parameter, std::uint32_t version,
                                 const DeviceLimits& limits) {
    const RegisterRule* rule = FindRule(RegisterTypeOf(parameter), version);
    return rule != nullptr && (parameter & 0x7FF) < CountOf(*rule, limits) ? rule : nullptr;
}

} // namespace

std::uint32_t RegisterCount(std::uint8_t type, std::uint32_t version, const DeviceLimits& limits) {
    const RegisterRule* rule = FindRule(type, version);
    return rule != nullptr ? CountOf(*rule, limits) : 0;
}

bool IsAllowedRegister(std::uint32_t parameter, unsigned use, std::uint32_t version,
                       const DeviceLimits& limits) {
    const RegisterRule* rule = FindRegister(parameter, version, limits);
    return rule != nullptr && (rule->uses & use) == use;
}

bool IsAllowedDeclaration(std::uint32_t usage, std::uint32_t destination, std::uint32_t version,
                          const DeviceLimits& limits) {
    const RegisterRule* rule = FindRegister(destination, version, limits);
    const std::uint32_t kind = usage & 0x1F;         // D3DSP_DCL_USAGE
    const std::uint32_t index = (usage >> 16) & 0xF; // D3DSP_DCL_USAGEINDEX
    const std::uint32_t textureKind = (usage >> 27) & 0xF;
    const bool vertexUsage = kind <= 13; // D3DDECLUSAGE_POSITION to _SAMPLE
    switch (rule == nullptr ? undeclared : rule->declaration) {
    case anyUsage:
        return vertexUsage;
    case notPosition0:
        return vertexUsage && !(kind == 0 && index == 0);
    case textureType:
        return textureKind >= 2 && textureKind <= 4; // D3DSTT_2D, _CUBE, _VOLUME
    case anything:
        return true;
    default:
        return false;
    }
}
