#pragma once

#include <cstddef>
#include <cstdint>

// What the shader file check found, a rule a value: the game acts only on
// whether it passed, the material checker says why it did not.
enum class CheckRule : std::uint8_t {
    passed,
    notWholeTokens,      // no bytes, fewer than two tokens, or a part of one
    unknownVersion,      // the first token is no version the check knows
    otherStage,          // a version token of the other stage
    noEndToken,          // the tokens end before the end token
    parameterFirst,      // a parameter token where an instruction starts
    pastEnd,             // an instruction or comment runs past the bytes
    unknownOpcode,       // the version does not define the opcode
    predicateNotAllowed, // predicated where the version or the opcode has none
    operandNotParameter, // an operand token without the parameter bit
    operandLength,       // the length differs from what the operands take
    noSuchRegister,      // the version has no register of the type
    registerPastCount,   // the register's number is past the version's count
    registerUse,         // the version does not let the instruction use it so
    relativeNotAllowed,  // indexed relatively where it may not be
    addressToken,        // relative without an address token that may index
    declaration,         // dcl's usage or sampler type for that register
    slots,               // more instructions than the version's slots
    matrixRun,           // a texture-matrix run out of order
    openMatrixRun,       // the shader ends inside a texture-matrix run
    constantTable,       // the table D3DX reads breaks one of its rules
};

// Where the rule was broken. Instructions count from 1, comments apart;
// tokens from 0, the version token.
struct CheckFinding {
    CheckRule rule = CheckRule::passed;
    std::uint32_t version = 0; // the version token, once it was read
    std::size_t instruction = 0;
    std::size_t token = 0;
    std::uint32_t opcodeToken = 0;
    std::uint32_t parameter = 0; // the parameter token at fault
    unsigned use = 0;            // how the instruction used it (register_rules.h)
    std::uint32_t limit = 0;     // the count it passed: registers, slots
    // For the constant table: which record (counting from 1, 0 for the
    // header) and the broken rule's own words.
    std::uint32_t constant = 0;
    const char* detail = nullptr;

    bool Passed() const { return rule == CheckRule::passed; }
};

// Records the rule and gives false, for the check's `return Refuse(...)`.
inline bool Refuse(CheckFinding& finding, CheckRule rule) {
    finding.rule = rule;
    return false;
}
