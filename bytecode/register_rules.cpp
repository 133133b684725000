#include "bytecode/register_rules.h"

#include "bytecode/shader_versions.h"
#include "bytecode/tokens.h"

namespace {

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
    {temporaryRegister, true, v11, v20, 12, nullptr, W | R, undeclared},
    {temporaryRegister, true, v2x, v2x, 0, &DeviceLimits::vertexTemporaries, W | R, undeclared},
    {temporaryRegister, true, v30, v30, 32, nullptr, W | R, undeclared},
    {inputRegister, true, v11, v2x, 16, nullptr, R, anyUsage},
    {inputRegister, true, v30, v30, 16, nullptr, R | X, anyUsage},
    {constantRegister, true, v11, v30, 0, &DeviceLimits::vertexConstants, R | D | X, undeclared},
    {addressRegister, true, v11, v30, 1, nullptr, W | R | A, undeclared},
    {rasterizerOutRegister, true, v11, v2x, 3, nullptr, W, undeclared}, // oPos, oFog, oPts
    {attributeOutRegister, true, v11, v2x, 2, nullptr, W, undeclared},
    {textureOutRegister, true, v11, v2x, 8, nullptr, W, undeclared},
    {outputRegister, true, v30, v30, 12, nullptr, W | X, anyUsage},
    {integerConstantRegister, true, v20, v30, 16, nullptr, R | D, undeclared},
    {booleanConstantRegister, true, v20, v30, 16, nullptr, R | D, undeclared},
    {loopCounterRegister, true, v20, v30, 1, nullptr, R | A, undeclared},
    {labelRegister, true, v20, v2x, 16, nullptr, R, undeclared},
    {labelRegister, true, v30, v30, 2048, nullptr, R, undeclared},
    {predicateRegister, true, v2x, v30, 1, nullptr, W | R, undeclared},
    {samplerRegister, true, v30, v30, 4, nullptr, R, textureType},

    {temporaryRegister, false, v11, v13, 2, nullptr, W | R, undeclared},
    {temporaryRegister, false, v14, v14, 6, nullptr, W | R, undeclared},
    {temporaryRegister, false, v20, v20, 12, nullptr, W | R, undeclared},
    {temporaryRegister, false, v2x, v2x, 0, &DeviceLimits::pixelTemporaries, W | R, undeclared},
    {temporaryRegister, false, v30, v30, 32, nullptr, W | R, undeclared},
    {inputRegister, false, v11, v2x, 2, nullptr, R, anyUsage},
    {inputRegister, false, v30, v30, 10, nullptr, R | X, notPosition0},
    {constantRegister, false, v11, v14, 8, nullptr, R | D, undeclared},
    {constantRegister, false, v20, v2x, 32, nullptr, R | D, undeclared},
    {constantRegister, false, v30, v30, 224, nullptr, R | D, undeclared},
    {textureRegister, false, v11, v13, 4, nullptr, W | R, undeclared}, // written by tex and the like
    {textureRegister, false, v14, v14, 6, nullptr, R, undeclared},
    {textureRegister, false, v20, v2x, 8, nullptr, R, anyUsage},
    {colorOutRegister, false, v20, v30, 4, nullptr, W, undeclared},
    {depthOutRegister, false, v20, v30, 1, nullptr, W, undeclared},
    {samplerRegister, false, v20, v30, 16, nullptr, R, textureType},
    {integerConstantRegister, false, v20, v30, 16, nullptr, R | D, undeclared},
    {booleanConstantRegister, false, v20, v30, 16, nullptr, R | D, undeclared},
    {loopCounterRegister, false, v30, v30, 1, nullptr, R | A, undeclared},
    {labelRegister, false, v2x, v2x, 16, nullptr, R, undeclared},
    {labelRegister, false, v30, v30, 2048, nullptr, R, undeclared},
    {predicateRegister, false, v2x, v30, 1, nullptr, W | R, undeclared},
    {miscellaneousRegister, false, v30, v30, 2, nullptr, R, anything}, // vPos, vFace
};

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

// The row of the parameter's register type in the version, if its number is
// inside the count; null otherwise, with the finding saying which.
const RegisterRule* FindRegister(std::uint32_t parameter, std::uint32_t version,
                                 const DeviceLimits& limits, CheckFinding& finding) {
    finding.parameter = parameter;
    const RegisterRule* rule = FindRule(RegisterTypeOf(parameter), version);
    if (rule == nullptr) {
        finding.rule = CheckRule::noSuchRegister;
        return nullptr;
    }
    if (RegisterNumberOf(parameter) >= CountOf(*rule, limits)) {
        finding.rule = CheckRule::registerPastCount;
        finding.limit = CountOf(*rule, limits);
        return nullptr;
    }
    return rule;
}

bool IsDeclaredAs(const RegisterRule& rule, std::uint32_t usage) {
    const std::uint32_t kind = usage & 0x1F;         // D3DSP_DCL_USAGE
    const std::uint32_t index = (usage >> 16) & 0xF; // D3DSP_DCL_USAGEINDEX
    const std::uint32_t textureKind = SamplerTextureTypeOf(usage);
    const bool vertexUsage = kind <= 13; // D3DDECLUSAGE_POSITION to _SAMPLE
    switch (rule.declaration) {
    case anyUsage:
        return vertexUsage;
    case notPosition0:
        return vertexUsage && !(kind == 0 && index == 0);
    case textureType:
        return textureKind >= texture2D && textureKind <= textureVolume;
    case anything:
        return true;
    default:
        return false;
    }
}

} // namespace

std::uint32_t RegisterCount(std::uint8_t type, std::uint32_t version, const DeviceLimits& limits) {
    const RegisterRule* rule = FindRule(type, version);
    return rule != nullptr ? CountOf(*rule, limits) : 0;
}

bool IsAllowedRegister(std::uint32_t parameter, unsigned use, std::uint32_t version,
                       const DeviceLimits& limits, CheckFinding& finding) {
    finding.use = use;
    const RegisterRule* rule = FindRegister(parameter, version, limits, finding);
    if (rule == nullptr) {
        return false;
    }
    return (rule->uses & use) == use || Refuse(finding, CheckRule::registerUse);
}

bool IsAllowedDeclaration(std::uint32_t usage, std::uint32_t destination, std::uint32_t version,
                          const DeviceLimits& limits, CheckFinding& finding) {
    finding.use = registerDeclared;
    const RegisterRule* rule = FindRegister(destination, version, limits, finding);
    if (rule == nullptr) {
        return false;
    }
    return IsDeclaredAs(*rule, usage) || Refuse(finding, CheckRule::declaration);
}
