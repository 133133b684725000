#include "bytecode/instruction_run.h"

#include "bytecode/shader_versions.h"
#include "bytecode/tokens.h"

namespace {

// The instruction slots of each version: arithmetic and texture apart where
// the version bounds them apart (per phase in ps_1_4), and in all. The
// instruction slot tables of the vertex and pixel shader differences pages of
// the Direct3D 9 shader reference; the device's count where it is a
// capability. Each instruction is counted as one slot, the least any takes,
// so that no shader Direct3D creates is refused; what each really takes is
// only warned about (windows_validation.cpp).
struct SlotRule {
    bool vertex;
    std::uint16_t first, last;
    std::uint32_t arithmetic, texture, total;
    std::uint32_t DeviceLimits::*deviceTotal; // the total when the device says it
};

const SlotRule slotRules[] = {
    {true, v11, v11, unboundedSlots, unboundedSlots, 128, nullptr},
    {true, v20, v2x, unboundedSlots, unboundedSlots, 256, nullptr},
    {true, v30, v30, unboundedSlots, unboundedSlots, 0, &DeviceLimits::vertex30Slots},
    {false, v11, v13, 8, 4, unboundedSlots, nullptr},
    {false, v14, v14, 8, 6, unboundedSlots, nullptr},
    {false, v20, v20, 64, 32, unboundedSlots, nullptr},
    {false, v2x, v2x, unboundedSlots, unboundedSlots, 0, &DeviceLimits::pixel2xSlots},
    {false, v30, v30, unboundedSlots, unboundedSlots, 0, &DeviceLimits::pixel30Slots},
};

// The texture-matrix runs of ps_1_1 to ps_1_3: the pads, then one of the
// instructions that close the run (the texm3x2pad and texm3x3pad pages).
// Direct3D refuses any other order; Wine's shader generator keeps one entry
// per pad of a run, and overruns them when pads go on unclosed.
struct MatrixRun {
    std::uint32_t pad;
    std::uint32_t pads;
    std::uint32_t closers[4];
};

const MatrixRun matrixRuns[] = {
    {texm3x2padOpcode, 1, {texm3x2texOpcode, texm3x2depthOpcode, 0, 0}},
    {texm3x3padOpcode, 2, {texm3x3texOpcode, texm3x3specOpcode, texm3x3vspecOpcode, texm3x3Opcode}},
};

// On a refusal, the finding's limit is the count that was passed.
bool FitsSlots(const InstructionRun& run, std::uint32_t version, const DeviceLimits& limits,
               CheckFinding& finding) {
    SlotLimits slots;
    if (!FindSlotLimits(version, limits, slots)) {
        return Refuse(finding, CheckRule::unknownVersion);
    }
    finding.limit = run.arithmetic > slots.arithmetic ? slots.arithmetic
                    : run.texture > slots.texture     ? slots.texture
                                                      : slots.total;
    return (run.arithmetic <= slots.arithmetic && run.texture <= slots.texture &&
            run.arithmetic + run.texture <= slots.total) ||
           Refuse(finding, CheckRule::slots);
}

bool ContinuesMatrixRun(InstructionRun& run, std::uint32_t code) {
    for (const MatrixRun& matrix : matrixRuns) {
        if (code == matrix.pad) {
            const bool fits = (run.openPad == 0 || run.openPad == code) && run.pads < matrix.pads;
            run.openPad = code;
            ++run.pads;
            return fits;
        }
        for (std::uint32_t closer : matrix.closers) {
            if (closer != 0 && code == closer) {
                const bool closes = run.openPad == matrix.pad && run.pads == matrix.pads;
                run.openPad = 0;
                run.pads = 0;
                return closes;
            }
        }
    }
    return true;
}

} // namespace

bool ContinuesRun(InstructionRun& run, std::uint32_t opcodeToken, const OpcodeInfo& opcode,
                  std::uint32_t version, const DeviceLimits& limits, CheckFinding& finding) {
    const std::uint32_t code = OpcodeOf(opcodeToken);
    if (code == phaseOpcode) {
        run.arithmetic = 0; // ps_1_4's second phase has slots of its own
        run.texture = 0;
    }
    // ps_1_x co-issues an instruction with the one before it, in one slot.
    const bool coissued = VersionOf(version) < v20 && (opcodeToken & coissueBit) != 0;
    if (opcode.slotClass != noSlot && !coissued) {
        ++(opcode.slotClass == textureSlot ? run.texture : run.arithmetic);
    }
    return (ContinuesMatrixRun(run, code) || Refuse(finding, CheckRule::matrixRun)) &&
           FitsSlots(run, version, limits, finding);
}

bool IsClosedRun(const InstructionRun& run) {
    return run.openPad == 0;
}

bool FindSlotLimits(std::uint32_t version, const DeviceLimits& limits, SlotLimits& slots) {
    const std::uint16_t number = VersionOf(version);
    for (const SlotRule& rule : slotRules) {
        if (rule.vertex == IsVertexVersion(version) && rule.first <= number &&
            number <= rule.last) {
            const std::uint32_t total = rule.deviceTotal ? limits.*rule.deviceTotal : rule.total;
            slots = {rule.arithmetic, rule.texture, total};
            return true;
        }
    }
    return false;
}
