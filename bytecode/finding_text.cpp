#include "bytecode/finding_text.h"

#include <cstdio>

#include "bytecode/opcode_table.h"
#include "bytecode/register_rules.h"
#include "bytecode/shader_versions.h"
#include "bytecode/tokens.h"

namespace {

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(value));
    return text;
}

// How a register type is spelled in shader assembly, and what its registers
// are called in the plural; the one type number names two register files.
struct RegisterName {
    std::uint8_t type;
    const char* prefix;
    const char* plural;
    bool vertex, pixel;
};

const RegisterName registerNames[] = {
    {temporaryRegister, "r", "temporary registers", true, true},
    {inputRegister, "v", "input registers", true, true},
    {constantRegister, "c", "float constants", true, true},
    {addressRegister, "a", "address registers", true, false},
    {textureRegister, "t", "texture registers", false, true},
    {attributeOutRegister, "oD", "color outputs", true, false},
    {integerConstantRegister, "i", "integer constants", true, true},
    {colorOutRegister, "oC", "color outputs", false, true},
    {depthOutRegister, "oDepth", "depth outputs", false, true},
    {samplerRegister, "s", "samplers", true, true},
    {booleanConstantRegister, "b", "bool constants", true, true},
    {loopCounterRegister, "aL", "loop counters", true, true},
    {labelRegister, "l", "labels", true, true},
    {predicateRegister, "p", "predicate registers", true, true},
};

const RegisterName* NameOf(std::uint8_t type, std::uint32_t version) {
    const bool vertex = IsVertexVersion(version);
    for (const RegisterName& name : registerNames) {
        if (name.type == type && (vertex ? name.vertex : name.pixel)) {
            return &name;
        }
    }
    return nullptr;
}

const char* PluralOf(std::uint8_t type, std::uint32_t version) {
    if (type == rasterizerOutRegister) {
        return "position, fog and point size outputs";
    }
    if (type == outputRegister) {
        return VersionOf(version) >= v30 ? "output registers" : "texture coordinate outputs";
    }
    if (type == miscellaneousRegister) {
        return "position and face inputs";
    }
    const RegisterName* name = NameOf(type, version);
    return name != nullptr ? name->plural : "registers of this type";
}

const char* UseText(unsigned use) {
    switch (use) {
    case registerWritten:
        return "writes";
    case registerRead:
        return "reads";
    case registerDefined:
        return "defines";
    case registerRelative:
        return "indexes";
    case registerAddresses:
        return "indexes through";
    default:
        return "declares";
    }
}

std::string InstructionName(const CheckFinding& finding) {
    const OpcodeInfo* opcode = FindOpcode(OpcodeOf(finding.opcodeToken), finding.version);
    return opcode != nullptr ? opcode->name : "opcode " + Hex(OpcodeOf(finding.opcodeToken));
}

std::string Place(const CheckFinding& finding) {
    if (finding.instruction == 0) {
        return "token " + std::to_string(finding.token) + ": ";
    }
    return "instruction " + std::to_string(finding.instruction) + " (token " +
           std::to_string(finding.token) + "): " + InstructionName(finding) + " ";
}

std::string RegisterRange(std::uint8_t type, std::uint32_t count, std::uint32_t version) {
    const std::string first = RegisterText(type, 0, version);
    return count == 1 ? " (" + first + ")"
                      : " (" + first + "-" + RegisterText(type, count - 1, version) + ")";
}

std::string RegisterFinding(const CheckFinding& f, const std::string& version) {
    const std::uint8_t type = RegisterTypeOf(f.parameter);
    const std::string use =
        Place(f) + UseText(f.use) + " " + RegisterText(type, RegisterNumberOf(f.parameter), f.version);
    switch (f.rule) {
    case CheckRule::noSuchRegister:
        return use + "; " + version + " has no " + PluralOf(type, f.version);
    case CheckRule::registerPastCount:
        return use + "; " + version + " has " + std::to_string(f.limit) + " " +
               PluralOf(type, f.version) + RegisterRange(type, f.limit, f.version);
    default:
        return use + ", which " + version + " does not allow";
    }
}

std::string SlotFinding(const CheckFinding& f, const std::string& version) {
    const OpcodeInfo* opcode = FindOpcode(OpcodeOf(f.opcodeToken), f.version);
    const bool apart = !IsVertexVersion(f.version) && VersionOf(f.version) <= v20;
    const char* kind = !apart ? ""
                       : opcode != nullptr && opcode->slotClass == textureSlot ? " texture"
                                                                              : " arithmetic";
    return Place(f) + "is past the " + std::to_string(f.limit) + kind +
           " instruction slots of " + version;
}

} // namespace

std::string VersionText(std::uint32_t version) {
    const char* kind = IsVertexVersion(version) ? "vs_" : "ps_";
    const std::uint16_t number = VersionOf(version);
    if (number == v2x) {
        return std::string(kind) + "2_x";
    }
    return kind + std::to_string(number >> 8) + "_" + std::to_string(number & 0xFF);
}

std::string RegisterText(std::uint8_t type, std::uint32_t number, std::uint32_t version) {
    const std::string index = std::to_string(number);
    switch (type) {
    case rasterizerOutRegister:
        return number == 0 ? "oPos" : number == 1 ? "oFog" : number == 2 ? "oPts" : "oPos" + index;
    case outputRegister:
        return (VersionOf(version) >= v30 ? "o" : "oT") + index;
    case miscellaneousRegister:
        return number == 0 ? "vPos" : number == 1 ? "vFace" : "vMisc" + index;
    default:
        break;
    }
    const bool single = type == depthOutRegister || type == loopCounterRegister;
    const RegisterName* name = NameOf(type, version);
    if (name == nullptr) {
        return "register " + index + " of type " + std::to_string(type);
    }
    return name->prefix + (single && number == 0 ? "" : index);
}

std::string DescribeFinding(const CheckFinding& f) {
    const std::string version = VersionText(f.version);
    switch (f.rule) {
    case CheckRule::passed:
        return "passes the check";
    case CheckRule::notWholeTokens:
        return "the file is not whole 32-bit tokens, at least a version token and an end token";
    case CheckRule::unknownVersion:
        return "it does not start with the version token of a vs_1_1 to vs_3_0 or ps_1_1 to "
               "ps_3_0 shader";
    case CheckRule::otherStage:
        return "it is a " + version + " shader, not a " +
               (IsVertexVersion(f.version) ? "fragment (pixel)" : "vertex") + " shader";
    case CheckRule::noEndToken:
        return "the file ends before the end token";
    case CheckRule::parameterFirst:
        return Place(f) + "a parameter token stands where an instruction should start";
    case CheckRule::pastEnd:
        return Place(f) + "runs past the end of the file";
    case CheckRule::unknownOpcode:
        return Place(f) + "is no instruction of " + version;
    case CheckRule::predicateNotAllowed:
        return Place(f) + "is predicated, which " + version + " does not allow for it";
    case CheckRule::operandNotParameter:
        return Place(f) + "has " + Hex(f.parameter) + " where a parameter token should be";
    case CheckRule::operandLength:
        return Place(f) + "has a length other than the " + std::to_string(f.limit) +
               " operand tokens it takes";
    case CheckRule::noSuchRegister:
    case CheckRule::registerPastCount:
    case CheckRule::registerUse:
        return RegisterFinding(f, version);
    case CheckRule::relativeNotAllowed:
        return Place(f) + "indexes " +
               RegisterText(RegisterTypeOf(f.parameter), RegisterNumberOf(f.parameter), f.version) +
               " relatively, which " + version + " does not allow there";
    case CheckRule::addressToken:
        return Place(f) + "indexes a register relatively without an address register that may "
                          "index it";
    case CheckRule::declaration:
        return Place(f) + "declares " +
               RegisterText(RegisterTypeOf(f.parameter), RegisterNumberOf(f.parameter), f.version) +
               " with a usage or texture type " + version + " does not allow for it";
    case CheckRule::slots:
        return SlotFinding(f, version);
    case CheckRule::matrixRun:
        return Place(f) + "breaks a texture-matrix run (one texm3x2pad or two texm3x3pad, then "
                          "the instruction that closes the run)";
    case CheckRule::openMatrixRun:
        return Place(f) + "the shader ends inside a texture-matrix run";
    case CheckRule::constantTable:
        return "token " + std::to_string(f.token) + ": " +
               (f.constant > 0 ? "constant " + std::to_string(f.constant) + " of the constant table"
                               : std::string("the constant table")) +
               " has " + (f.detail != nullptr ? f.detail : "a broken field") +
               (f.limit > 0 ? " (" + version + " has " + std::to_string(f.limit) + ")" : "");
    }
    return "refused";
}
