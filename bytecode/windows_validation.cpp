#include "bytecode/windows_validation.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "bytecode/finding_text.h"
#include "bytecode/instruction_run.h"
#include "bytecode/register_rules.h"
#include "bytecode/shader_versions.h"
#include "bytecode/tokens.h"

namespace {

using Instructions = std::vector<ShaderInstruction>;

// What each rule's walk over the instructions is given.
struct Shader {
    std::uint32_t version;
    const Instructions& instructions;
    const DeviceLimits& limits;
    std::vector<ValidationWarning>& warnings;
};

void Warn(const Shader& shader, const ShaderInstruction& at, const std::string& text) {
    shader.warnings.push_back({at.index, at.token, text});
}

bool Covers(std::uint16_t vertexFirst, std::uint16_t vertexLast, std::uint16_t pixelFirst,
            std::uint16_t pixelLast, std::uint32_t version) {
    const bool vertex = IsVertexVersion(version);
    const std::uint16_t first = vertex ? vertexFirst : pixelFirst;
    const std::uint16_t last = vertex ? vertexLast : pixelLast;
    return first != none && first <= VersionOf(version) && VersionOf(version) <= last;
}

std::uint16_t CodeOf(const ShaderInstruction& instruction) {
    return OpcodeOf(instruction.opcodeToken);
}

// As shader assembly spells it, texld's forms apart.
std::string NameOf(const ShaderInstruction& instruction, std::uint32_t version) {
    const std::string name = instruction.opcode->name;
    if (CodeOf(instruction) == texOpcode && VersionOf(version) >= v20) {
        const std::uint32_t token = instruction.opcodeToken;
        return (token & texldProjectBit) != 0 ? "texldp"
               : (token & texldBiasBit) != 0  ? "texldb"
                                              : name;
    }
    return name;
}

std::string At(const ShaderInstruction& instruction, std::uint32_t version) {
    return NameOf(instruction, version) + " (instruction " + std::to_string(instruction.index) +
           ")";
}

std::uint8_t TypeOf(const ShaderOperand& operand) {
    return RegisterTypeOf(operand.token);
}

std::uint32_t NumberOf(const ShaderOperand& operand) {
    return RegisterNumberOf(operand.token);
}

std::string RegisterOf(const ShaderOperand& operand, std::uint32_t version) {
    return RegisterText(TypeOf(operand), NumberOf(operand), version);
}

// The first operand of the type; null when there is none.
const ShaderOperand* OperandOfType(const ShaderInstruction& instruction, std::uint8_t type) {
    for (std::size_t i = 0; i < instruction.operandCount; ++i) {
        if (TypeOf(instruction.operands[i]) == type) {
            return &instruction.operands[i];
        }
    }
    return nullptr;
}

// Instruction slots -----------------------------------------------------------

// The instructions that take other than one slot of their class (dcl, def,
// label and phase take none), a row per version range where the count
// changed: the tables of the "Instructions - vs_1_1" to "- vs_3_0" and
// "ps_1_1 ... ps_1_4 Instructions" to "ps_3_0 Instructions" pages of the
// Direct3D 9 shader reference. texld's forms are told apart by their control
// bits; cube is the count when the sampler is declared a cube map. Where a
// count depends on a capability (ps_2_x's texture instructions with
// NOTEXINSTRUCTIONLIMIT), the row keeps the least.
const std::uint32_t anyForm = 0xFFFFFFFF;

struct SlotCount {
    std::uint16_t code;
    std::uint16_t vertexFirst, vertexLast, pixelFirst, pixelLast;
    std::uint32_t form; // texld's control bits, or anyForm
    std::uint8_t arithmetic, texture;
    std::uint8_t cube; // texture slots with a cube map sampler; 0: the same
};

const SlotCount slotCounts[] = {
    {nopOpcode, v11, v30, v20, v30, anyForm, 1, 0, 0}, // none in ps_1_x
    {expOpcode, v11, v11, none, none, anyForm, 10, 0, 0},
    {logOpcode, v11, v11, none, none, anyForm, 10, 0, 0},
    {frcOpcode, v11, v11, none, none, anyForm, 3, 0, 0},
    {litOpcode, v20, v30, none, none, anyForm, 3, 0, 0},
    {lrpOpcode, v20, v30, v20, v30, anyForm, 2, 0, 0},
    {m4x4Opcode, v11, v30, v20, v30, anyForm, 4, 0, 0},
    {m4x3Opcode, v11, v30, v20, v30, anyForm, 3, 0, 0},
    {m3x4Opcode, v11, v30, v20, v30, anyForm, 4, 0, 0},
    {m3x3Opcode, v11, v30, v20, v30, anyForm, 3, 0, 0},
    {m3x2Opcode, v11, v30, v20, v30, anyForm, 2, 0, 0},
    {powOpcode, v20, v30, v20, v30, anyForm, 3, 0, 0},
    {crsOpcode, v20, v30, v20, v30, anyForm, 2, 0, 0},
    {sgnOpcode, v20, v30, none, none, anyForm, 3, 0, 0},
    {nrmOpcode, v20, v30, v20, v30, anyForm, 3, 0, 0},
    {sincosOpcode, v20, v30, v20, v30, anyForm, 8, 0, 0},
    {callOpcode, v20, v30, v2x, v30, anyForm, 2, 0, 0},
    {callnzOpcode, v20, v30, v2x, v30, anyForm, 3, 0, 0},
    {loopOpcode, v20, v30, v30, v30, anyForm, 3, 0, 0},
    {endloopOpcode, v20, v30, v30, v30, anyForm, 2, 0, 0},
    {repOpcode, v20, v30, v2x, v30, anyForm, 3, 0, 0},
    {endrepOpcode, v20, v30, v2x, v30, anyForm, 2, 0, 0},
    {ifOpcode, v20, v30, v2x, v30, anyForm, 3, 0, 0},
    {ifcOpcode, v2x, v30, v2x, v30, anyForm, 3, 0, 0},
    {breakcOpcode, v2x, v30, v2x, v30, anyForm, 3, 0, 0},
    {breakpOpcode, v2x, v30, v2x, v30, anyForm, 3, 0, 0},
    {dp4Opcode, none, none, v12, v13, anyForm, 2, 0, 0},
    {cmpOpcode, none, none, v12, v13, anyForm, 2, 0, 0},
    {bemOpcode, none, none, v14, v14, anyForm, 2, 0, 0},
    {texbemlOpcode, none, none, v11, v13, anyForm, 1, 1, 0},
    {dp2addOpcode, none, none, v20, v30, anyForm, 2, 0, 0},
    {dsxOpcode, none, none, v2x, v30, anyForm, 2, 0, 0},
    {dsyOpcode, none, none, v2x, v30, anyForm, 2, 0, 0},
    {texlddOpcode, none, none, v2x, v30, anyForm, 0, 3, 0},
    {texkillOpcode, none, none, v30, v30, anyForm, 0, 2, 0},
    {texOpcode, none, none, v30, v30, 0, 0, 1, 4},
    {texOpcode, none, none, v30, v30, texldProjectBit, 0, 3, 4},
    {texOpcode, none, none, v30, v30, texldBiasBit, 0, 6, 0},
    {texldlOpcode, v30, v30, v30, v30, anyForm, 0, 2, 5},
};

struct Slots {
    std::uint32_t arithmetic, texture;
};

const SlotCount* FindSlotCount(const ShaderInstruction& instruction, std::uint32_t version) {
    const std::uint32_t form = instruction.opcodeToken & (texldProjectBit | texldBiasBit);
    for (const SlotCount& row : slotCounts) {
        if (row.code == CodeOf(instruction) && (row.form == anyForm || row.form == form) &&
            Covers(row.vertexFirst, row.vertexLast, row.pixelFirst, row.pixelLast, version)) {
            return &row;
        }
    }
    return nullptr;
}

// Samplers declared as cube maps, by number.
std::set<std::uint32_t> CubeSamplers(const Instructions& instructions) {
    std::set<std::uint32_t> cubes;
    for (const ShaderInstruction& instruction : instructions) {
        if (CodeOf(instruction) == dclOpcode &&
            TypeOf(instruction.operands[0]) == samplerRegister &&
            SamplerTextureTypeOf(instruction.values[0]) == textureCube) {
            cubes.insert(NumberOf(instruction.operands[0]));
        }
    }
    return cubes;
}

// ps_1_x issues a co-issued instruction in the slot of the one before it.
Slots SlotsOf(const ShaderInstruction& instruction, std::uint32_t version,
              const std::set<std::uint32_t>& cubes) {
    if (VersionOf(version) < v20 && (instruction.opcodeToken & coissueBit) != 0) {
        return {0, 0};
    }
    const SlotCount* row = FindSlotCount(instruction, version);
    if (row == nullptr) {
        const SlotClass slotClass = instruction.opcode->slotClass;
        return {slotClass == arithmeticSlot ? 1u : 0u, slotClass == textureSlot ? 1u : 0u};
    }
    const ShaderOperand* sampler = OperandOfType(instruction, samplerRegister);
    const bool cube = row->cube != 0 && sampler != nullptr && cubes.count(NumberOf(*sampler)) != 0;
    return {row->arithmetic, cube ? row->cube : row->texture};
}

// The slots one run of instructions takes (the shader, or a phase of
// ps_1_4), of each bound: arithmetic, texture, all; and where each bound
// was first passed.
struct SlotRun {
    std::uint32_t used[3];
    const ShaderInstruction* passedAt[3];
    std::uint32_t taken[3]; // the slots of the kind that instruction took
};

void AddSlots(SlotRun& run, const ShaderInstruction& instruction, Slots slots,
              const std::uint32_t bounds[3]) {
    const std::uint32_t taken[3] = {slots.arithmetic, slots.texture,
                                    slots.arithmetic + slots.texture};
    for (int kind = 0; kind < 3; ++kind) {
        run.used[kind] += taken[kind];
        if (run.passedAt[kind] == nullptr && run.used[kind] > bounds[kind]) {
            run.passedAt[kind] = &instruction;
            run.taken[kind] = taken[kind];
        }
    }
}

void WarnPassedBounds(const Shader& shader, const SlotRun& run, const std::uint32_t bounds[3],
                      bool phased) {
    const char* const kinds[3] = {" arithmetic", " texture", ""};
    for (int kind = 0; kind < 3; ++kind) {
        if (run.passedAt[kind] != nullptr) {
            const ShaderInstruction& at = *run.passedAt[kind];
            Warn(shader, at,
                 NameOf(at, shader.version) + " takes " + std::to_string(run.taken[kind]) +
                     kinds[kind] + (run.taken[kind] == 1 ? " slot" : " slots") + ": the " +
                     (phased ? "phase" : "shader") + " needs " + std::to_string(run.used[kind]) +
                     " of " + VersionText(shader.version) + "'s " + std::to_string(bounds[kind]));
        }
    }
}

// Summed against the version's slots as the check sums them (instruction_run.cpp), each
// instruction by what it really takes.
void FindSlotOverruns(const Shader& shader) {
    SlotLimits limits;
    if (!FindSlotLimits(shader.version, shader.limits, limits)) {
        return;
    }
    const std::uint32_t bounds[3] = {limits.arithmetic, limits.texture, limits.total};
    const std::set<std::uint32_t> cubes = CubeSamplers(shader.instructions);
    bool phased = false;
    SlotRun run = {};
    for (const ShaderInstruction& instruction : shader.instructions) {
        if (CodeOf(instruction) == phaseOpcode) {
            WarnPassedBounds(shader, run, bounds, true);
            run = {};
            phased = true;
        }
        AddSlots(run, instruction, SlotsOf(instruction, shader.version, cubes), bounds);
    }
    WarnPassedBounds(shader, run, bounds, phased);
}

// Flow control ----------------------------------------------------------------

// How deep each version nests its blocks, and how many static flow control
// instructions it takes: the "Flow Control Nesting Limits" page (vertex) and
// the "Flow Control Limitations" page (pixel) of the Direct3D 9 shader
// reference. Where the bound is a capability (vs_2_x, ps_2_x), the largest
// any device has. vs_2_0's static if blocks are bound only by the count.
const std::uint32_t unbounded = 0xFFFFFFFF;

struct NestingLimit {
    bool vertex;
    std::uint16_t version;
    std::uint32_t staticDepth, dynamicDepth, loopDepth, callDepth, staticFlows;
};

const NestingLimit nestingLimits[] = {
    {true, v20, unbounded, unbounded, 1, 1, 16}, {true, v2x, unbounded, 24, 4, 4, 16},
    {true, v30, 24, 24, 4, 4, unbounded},        {false, v2x, 24, 24, 4, 4, unbounded},
    {false, v30, 24, 24, 4, 4, unbounded},
};

// What each flow control instruction does to the blocks.
enum FlowStep : std::uint8_t {
    opensIf,
    entersElse,
    closesIf,
    opensLoop,
    closesLoop,
    opensRep,
    closesRep,
    breaksOut,
    breaksOnComparison, // nests one dynamic level deeper for the comparison
    callsLabel,
    returns,
    marksLabel,
};

struct FlowRule {
    std::uint16_t code;
    FlowStep step;
};

const FlowRule flowRules[] = {
    {ifOpcode, opensIf},
    {ifcOpcode, opensIf},
    {elseOpcode, entersElse},
    {endifOpcode, closesIf},
    {loopOpcode, opensLoop},
    {endloopOpcode, closesLoop},
    {repOpcode, opensRep},
    {endrepOpcode, closesRep},
    {breakOpcode, breaksOut},
    {breakpOpcode, breaksOut},
    {breakcOpcode, breaksOnComparison},
    {callOpcode, callsLabel},
    {callnzOpcode, callsLabel},
    {retOpcode, returns},
    {labelOpcode, marksLabel},
};

enum Block : std::uint8_t { staticIf, dynamicIf, loopBlock, repBlock };

enum Depth : std::uint8_t { staticDepth, dynamicDepth, loopDepth };

struct OpenBlock {
    Block block;
    const ShaderInstruction* opener;
    bool inElse;
};

struct LabelCall {
    const ShaderInstruction* call;
    std::uint32_t label;
};

struct FlowWalk {
    const NestingLimit& limit;
    std::vector<OpenBlock> open;
    std::uint32_t staticFlows;
    bool warnedDepth[3];
    bool routineEnded; // at its ret
    const ShaderInstruction* previous;
    std::vector<std::vector<LabelCall>> routineCalls; // main first, then each label's
    std::map<std::uint32_t, std::pair<std::size_t, std::size_t>> labels; // routine, index
};

const NestingLimit* FindNestingLimit(std::uint32_t version) {
    for (const NestingLimit& limit : nestingLimits) {
        if (limit.vertex == IsVertexVersion(version) && limit.version == VersionOf(version)) {
            return &limit;
        }
    }
    return nullptr;
}

// if b# and callnz ..., b# count as static flow control; if p#, if_comp and
// callnz ..., p# as dynamic.
bool HasStaticCondition(const ShaderInstruction& instruction) {
    return CodeOf(instruction) == callOpcode ||
           (CodeOf(instruction) != ifcOpcode &&
            OperandOfType(instruction, booleanConstantRegister) != nullptr);
}

const char* CloserOf(Block block) {
    return block == loopBlock ? "endloop" : block == repBlock ? "endrep" : "endif";
}

Depth DepthOf(Block block) {
    return block == staticIf ? staticDepth : block == dynamicIf ? dynamicDepth : loopDepth;
}

std::uint32_t LimitOf(const NestingLimit& limit, Depth depth) {
    return depth == staticDepth    ? limit.staticDepth
           : depth == dynamicDepth ? limit.dynamicDepth
                                   : limit.loopDepth;
}

std::uint32_t CurrentDepth(const FlowWalk& walk, Depth depth) {
    return static_cast<std::uint32_t>(
        std::count_if(walk.open.begin(), walk.open.end(),
                      [depth](const OpenBlock& open) { return DepthOf(open.block) == depth; }));
}

void CheckDepth(const Shader& shader, FlowWalk& walk, const ShaderInstruction& at, Depth depth,
                std::uint32_t extra) {
    const char* const what[3] = {"static if blocks", "dynamic flow control", "loops and reps"};
    const std::uint32_t reached = CurrentDepth(walk, depth) + extra;
    if (!walk.warnedDepth[depth] && reached > LimitOf(walk.limit, depth)) {
        walk.warnedDepth[depth] = true;
        Warn(shader, at,
             NameOf(at, shader.version) + " nests " + what[depth] + " " + std::to_string(reached) +
                 " deep; " + VersionText(shader.version) + " allows " +
                 std::to_string(LimitOf(walk.limit, depth)));
    }
}

void CountStaticFlow(const Shader& shader, FlowWalk& walk, const ShaderInstruction& at) {
    if (walk.limit.staticFlows != unbounded && ++walk.staticFlows == walk.limit.staticFlows + 1) {
        Warn(shader, at,
             NameOf(at, shader.version) + " is static flow control instruction " +
                 std::to_string(walk.staticFlows) + "; " + VersionText(shader.version) +
                 " allows " + std::to_string(walk.limit.staticFlows));
    }
}

void Open(const Shader& shader, FlowWalk& walk, const ShaderInstruction& at, Block block) {
    walk.open.push_back({block, &at, false});
    CheckDepth(shader, walk, at, DepthOf(block), 0);
    if (block != dynamicIf) {
        CountStaticFlow(shader, walk, at);
    }
}

bool IsIf(Block block) {
    return block == staticIf || block == dynamicIf;
}

// Closes the innermost block of the kind: blocks inside it are left open
// across its end, which is as unbalanced as a closer with no block at all.
void Close(const Shader& shader, FlowWalk& walk, const ShaderInstruction& at, bool (*closes)(Block),
           const char* what) {
    auto match = std::find_if(walk.open.rbegin(), walk.open.rend(),
                              [closes](const OpenBlock& open) { return closes(open.block); });
    if (match == walk.open.rend()) {
        Warn(shader, at, NameOf(at, shader.version) + " closes no open " + what);
        return;
    }
    if (match != walk.open.rbegin()) {
        Warn(shader, at,
             NameOf(at, shader.version) + " ends " + At(*match->opener, shader.version) +
                 " while " + At(*walk.open.back().opener, shader.version) + " inside it is open");
    }
    walk.open.erase(std::next(match).base(), walk.open.end());
}

void EnterElse(const Shader& shader, FlowWalk& walk, const ShaderInstruction& at) {
    if (walk.open.empty() || !IsIf(walk.open.back().block) || walk.open.back().inElse) {
        Warn(shader, at, "else belongs to no open if, or to one that already has its else");
        return;
    }
    walk.open.back().inElse = true;
    if (walk.open.back().block == staticIf) {
        CountStaticFlow(shader, walk, at);
    }
}

void BreakOut(const Shader& shader, FlowWalk& walk, const ShaderInstruction& at, bool comparison) {
    const bool inLoop = std::any_of(walk.open.begin(), walk.open.end(), [](const OpenBlock& open) {
        return open.block == loopBlock || open.block == repBlock;
    });
    if (!inLoop) {
        Warn(shader, at, NameOf(at, shader.version) + " stands outside any loop or rep");
    }
    if (comparison) {
        CheckDepth(shader, walk, at, dynamicDepth, 1);
    }
}

// A routine (the main program, a subroutine) ends at its first ret; a label
// only directly after a ret starts the next ("ret - vs", "label - vs").
void Return(const Shader& shader, FlowWalk& walk, const ShaderInstruction& at) {
    if (walk.routineEnded) {
        Warn(shader, at, "ret is the routine's second; the first ret already ended it");
    } else if (!walk.open.empty()) {
        Warn(shader, at,
             "ret ends the routine inside " + At(*walk.open.back().opener, shader.version));
    }
    walk.open.clear();
    walk.routineEnded = true;
}

void MarkLabel(const Shader& shader, FlowWalk& walk, const ShaderInstruction& at,
               std::size_t position) {
    const ShaderOperand* label = OperandOfType(at, labelRegister);
    if (walk.previous == nullptr || CodeOf(*walk.previous) != retOpcode) {
        Warn(shader, at,
             "label " + (label != nullptr ? RegisterOf(*label, shader.version) : "") +
                 " does not directly follow a ret");
    }
    walk.open.clear();
    walk.routineEnded = false;
    walk.routineCalls.emplace_back();
    if (label != nullptr) {
        walk.labels.emplace(NumberOf(*label),
                            std::make_pair(walk.routineCalls.size() - 1, position));
    }
}

void RecordCall(const Shader& shader, FlowWalk& walk, const ShaderInstruction& at) {
    const ShaderOperand* label = OperandOfType(at, labelRegister);
    if (label != nullptr) {
        walk.routineCalls.back().push_back({&at, NumberOf(*label)});
    }
    if (HasStaticCondition(at)) {
        CountStaticFlow(shader, walk, at);
    }
}

void Step(const Shader& shader, FlowWalk& walk, const ShaderInstruction& at, FlowStep step,
          std::size_t position) {
    switch (step) {
    case opensIf:
        return Open(shader, walk, at, HasStaticCondition(at) ? staticIf : dynamicIf);
    case entersElse:
        return EnterElse(shader, walk, at);
    case closesIf:
        return Close(shader, walk, at, IsIf, "if");
    case opensLoop:
        return Open(shader, walk, at, loopBlock);
    case closesLoop:
        return Close(
            shader, walk, at, [](Block block) { return block == loopBlock; }, "loop");
    case opensRep:
        return Open(shader, walk, at, repBlock);
    case closesRep:
        return Close(
            shader, walk, at, [](Block block) { return block == repBlock; }, "rep");
    case breaksOut:
    case breaksOnComparison:
        return BreakOut(shader, walk, at, step == breaksOnComparison);
    case callsLabel:
        return RecordCall(shader, walk, at);
    case returns:
        return Return(shader, walk, at);
    case marksLabel:
        return MarkLabel(shader, walk, at, position);
    }
}

// Only forward calls are taken ("call - vs"), so a routine calls only those
// after it, and how deep calls nest is known from the last routine back.
void CheckCalls(const Shader& shader, const FlowWalk& walk) {
    std::vector<std::uint32_t> depth(walk.routineCalls.size(), 0);
    std::vector<const LabelCall*> deepest(walk.routineCalls.size(), nullptr);
    for (std::size_t routine = walk.routineCalls.size(); routine-- > 0;) {
        for (const LabelCall& call : walk.routineCalls[routine]) {
            const auto label = walk.labels.find(call.label);
            if (label == walk.labels.end() || label->second.second < call.call->index) {
                Warn(shader, *call.call,
                     NameOf(*call.call, shader.version) + " calls " +
                         RegisterText(labelRegister, call.label, shader.version) +
                         ", which no label after it marks; only forward calls are taken");
            } else if (1 + depth[label->second.first] > depth[routine]) {
                depth[routine] = 1 + depth[label->second.first];
                deepest[routine] = &call;
            }
        }
    }
    if (!depth.empty() && depth[0] > walk.limit.callDepth) {
        const LabelCall& call = *deepest[0];
        Warn(shader, *call.call,
             NameOf(*call.call, shader.version) + " " +
                 RegisterText(labelRegister, call.label, shader.version) +
                 " nests subroutine calls " + std::to_string(depth[0]) + " deep; " +
                 VersionText(shader.version) + " allows " + std::to_string(walk.limit.callDepth));
    }
}

const FlowRule* FindFlowRule(const ShaderInstruction& instruction) {
    for (const FlowRule& rule : flowRules) {
        if (rule.code == CodeOf(instruction)) {
            return &rule;
        }
    }
    return nullptr;
}

// Blocks balanced and nested no deeper than the version allows, breaks
// inside a loop or rep, routines ended by one ret each.
void FindFlowControlFaults(const Shader& shader) {
    const NestingLimit* limit = FindNestingLimit(shader.version);
    if (limit == nullptr) {
        return; // no flow control before vs_2_0 and ps_2_x
    }
    FlowWalk walk = {*limit, {}, 0, {}, false, nullptr, {}, {}};
    walk.routineCalls.emplace_back(); // the main program's
    for (const ShaderInstruction& instruction : shader.instructions) {
        const FlowRule* rule = FindFlowRule(instruction);
        if (rule != nullptr) {
            // Labels are placed by the index instructions count with.
            Step(shader, walk, instruction, rule->step, instruction.index);
        }
        walk.previous = &instruction;
    }
    for (const OpenBlock& open : walk.open) {
        Warn(shader, *open.opener,
             NameOf(*open.opener, shader.version) + " is never closed by " + CloserOf(open.block));
    }
    CheckCalls(shader, walk);
}

// Declarations ----------------------------------------------------------------

// The registers Direct3D takes only after a dcl has named them. An operand
// indexed relatively names a range the device checks, not the register
// written, and is left out.
struct DeclarationRule {
    std::uint8_t type;
    bool vertex;
    std::uint16_t first, last;
};

const DeclarationRule declarationRules[] = {
    // Bound to the vertex data through their declarations ("Input
    // Register", "dcl_usage input (sm1, sm2, sm3 - vs asm)").
    {inputRegister, true, v11, v30},
    // "Output registers require declarations" ("dcl_usage output").
    {outputRegister, true, v30, v30},
    // "dcl_samplerType (sm3 - vs asm)".
    {samplerRegister, true, v30, v30},
    // "Input Color Register", "dcl (sm2, sm3 - ps asm)", "dcl_semantics".
    {inputRegister, false, v20, v30},
    // "Before a texture coordinate register is used, it must be declared".
    {textureRegister, false, v20, v2x},
    // "Sampler must be declared before use" ("Sampler (Direct3D 9 asm-ps)").
    {samplerRegister, false, v20, v30},
};

bool NeedsDeclaration(const ShaderOperand& operand, std::uint32_t version) {
    for (const DeclarationRule& rule : declarationRules) {
        if (rule.type == TypeOf(operand) && rule.vertex == IsVertexVersion(version) &&
            rule.first <= VersionOf(version) && VersionOf(version) <= rule.last) {
            return (operand.token & relativeBit) == 0;
        }
    }
    return false;
}

bool IsDefinition(std::uint16_t code) {
    return code == defOpcode || code == defiOpcode || code == defbOpcode;
}

std::uint32_t RegisterKey(const ShaderOperand& operand) {
    return static_cast<std::uint32_t>(TypeOf(operand)) << 16 | NumberOf(operand);
}

const char* UseOf(const ShaderOperand& operand) {
    return TypeOf(operand) == samplerRegister ? " samples "
           : operand.use == registerWritten   ? " writes "
                                              : " reads ";
}

// Every dcl before the first instruction that runs ("All dcl_usage
// instructions must appear before the first executable instruction", on
// each dcl page); each register above declared before its first use.
void FindUndeclaredRegisters(const Shader& shader) {
    std::set<std::uint32_t> declared, warned;
    const ShaderInstruction* firstExecutable = nullptr;
    for (const ShaderInstruction& instruction : shader.instructions) {
        const std::uint16_t code = CodeOf(instruction);
        if (code == dclOpcode) {
            if (firstExecutable != nullptr) {
                Warn(shader, instruction,
                     "dcl comes after " + At(*firstExecutable, shader.version) +
                         ", the first instruction that runs; declarations go before it");
            }
            declared.insert(RegisterKey(instruction.operands[0]));
            continue;
        }
        if (IsDefinition(code)) {
            continue;
        }
        firstExecutable = firstExecutable != nullptr ? firstExecutable : &instruction;
        for (std::size_t i = 0; i < instruction.operandCount; ++i) {
            const ShaderOperand& operand = instruction.operands[i];
            if (NeedsDeclaration(operand, shader.version) &&
                declared.count(RegisterKey(operand)) == 0 &&
                warned.insert(RegisterKey(operand)).second) {
                Warn(shader, instruction,
                     NameOf(instruction, shader.version) + UseOf(operand) +
                         RegisterOf(operand, shader.version) + ", which no dcl before it declares");
            }
        }
    }
}

// ps_1_x texture instructions -------------------------------------------------

// The order ps_1_1 to ps_1_4 take their instructions in: constants, then
// texture instructions, then arithmetic (the "Instruction Flow" page of the
// ps_1_x architecture); ps_1_4's phase starts the texture instructions again.
enum Stage : std::uint8_t { constantStage, textureStage, arithmeticStage, noStage };

Stage StageOf(const ShaderInstruction& instruction) {
    if (CodeOf(instruction) == defOpcode) {
        return constantStage;
    }
    const SlotClass slotClass = instruction.opcode->slotClass;
    return slotClass == textureSlot      ? textureStage
           : slotClass == arithmeticSlot ? arithmeticStage
                                         : noStage;
}

void FindOutOfOrderInstructions(const Shader& shader) {
    const char* const stageNames[3] = {"constant", "texture", "arithmetic"};
    const ShaderInstruction* reached = nullptr; // the first of the latest stage so far
    Stage latest = constantStage;
    for (const ShaderInstruction& instruction : shader.instructions) {
        const Stage stage = StageOf(instruction);
        if (CodeOf(instruction) == phaseOpcode) {
            latest = textureStage;
            reached = &instruction;
        } else if (stage == noStage) {
            continue;
        } else if (stage < latest) {
            const bool afterPhase = CodeOf(*reached) == phaseOpcode;
            Warn(
                shader, instruction,
                NameOf(instruction, shader.version) + " comes after " +
                    (afterPhase ? "" : std::string("the ") + stageNames[latest] + " instruction ") +
                    At(*reached, shader.version) + "; " + VersionText(shader.version) +
                    " takes constants, then texture instructions, then arithmetic");
        } else if (stage > latest) {
            latest = stage;
            reached = &instruction;
        }
    }
}

// The texture instructions of ps_1_1 to ps_1_3 that read a texture register
// tn: it must have been written by an earlier texture instruction and be
// numbered below their destination tm (the "where m > n" sequences of their
// pages). After texbem or texbeml has read it, only they may read it (their
// pages); after texm3x2depth, its destination may not be read (its page).
struct TextureRead {
    std::uint16_t code;
    bool bumpSource;         // texbem, texbeml
    bool retiresDestination; // texm3x2depth
};

const TextureRead textureReads[] = {
    {texbemOpcode, true, false},       {texbemlOpcode, true, false},
    {texreg2arOpcode, false, false},   {texreg2gbOpcode, false, false},
    {texreg2rgbOpcode, false, false},  {texm3x2padOpcode, false, false},
    {texm3x2texOpcode, false, false},  {texm3x2depthOpcode, false, true},
    {texm3x3padOpcode, false, false},  {texm3x3texOpcode, false, false},
    {texm3x3specOpcode, false, false}, {texm3x3vspecOpcode, false, false},
    {texm3x3Opcode, false, false},     {texdp3Opcode, false, false},
    {texdp3texOpcode, false, false},
};

const TextureRead* FindTextureRead(const ShaderInstruction& instruction) {
    for (const TextureRead& read : textureReads) {
        if (read.code == CodeOf(instruction)) {
            return &read;
        }
    }
    return nullptr;
}

// What earlier instructions did to each texture register t0-t3.
struct TextureRegisters {
    const ShaderInstruction* written[4];
    const ShaderInstruction* bumpRead[4];
    const ShaderInstruction* retired[4];
};

void CheckTextureSource(const Shader& shader, TextureRegisters& registers,
                        const ShaderInstruction& at, const TextureRead* read,
                        const ShaderOperand& source) {
    const std::uint32_t n = NumberOf(source);
    const std::string reads =
        NameOf(at, shader.version) + " reads " + RegisterOf(source, shader.version);
    if (registers.retired[n] != nullptr) {
        Warn(shader, at,
             reads + ", which " + At(*registers.retired[n], shader.version) + " used up");
    }
    if (registers.bumpRead[n] != nullptr && (read == nullptr || !read->bumpSource)) {
        Warn(shader, at,
             reads + ", which " + At(*registers.bumpRead[n], shader.version) +
                 " read; after that only texbem and texbeml may read it");
    }
    if (read == nullptr) {
        return;
    }
    if (registers.written[n] == nullptr) {
        Warn(shader, at, reads + ", which no texture instruction before it wrote");
    } else if (n >= NumberOf(at.operands[0])) {
        Warn(shader, at,
             reads + ", which is not numbered below its destination " +
                 RegisterOf(at.operands[0], shader.version));
    }
    if (read->bumpSource && registers.bumpRead[n] == nullptr) {
        registers.bumpRead[n] = &at;
    }
}

void FindTextureRegisterFaults(const Shader& shader) {
    TextureRegisters registers = {};
    for (const ShaderInstruction& instruction : shader.instructions) {
        const TextureRead* read = FindTextureRead(instruction);
        for (std::size_t i = instruction.opcode->destinations; i < instruction.operandCount; ++i) {
            const ShaderOperand& source = instruction.operands[i];
            if (TypeOf(source) == textureRegister && NumberOf(source) < 4) {
                CheckTextureSource(shader, registers, instruction, read, source);
            }
        }
        const ShaderOperand& destination = instruction.operands[0];
        if (instruction.opcode->slotClass == textureSlot && instruction.operandCount > 0 &&
            destination.use == registerWritten && TypeOf(destination) == textureRegister &&
            NumberOf(destination) < 4) {
            registers.written[NumberOf(destination)] = &instruction;
            if (read != nullptr && read->retiresDestination) {
                registers.retired[NumberOf(destination)] = &instruction;
            }
        }
    }
}

void FindShaderModel1Faults(const Shader& shader) {
    if (IsVertexVersion(shader.version) || VersionOf(shader.version) >= v20) {
        return;
    }
    FindOutOfOrderInstructions(shader);
    if (VersionOf(shader.version) <= v13) {
        FindTextureRegisterFaults(shader);
    }
}

} // namespace

std::vector<ValidationWarning>
FindWindowsRefusals(std::uint32_t versionToken, const std::vector<ShaderInstruction>& instructions,
                    const DeviceLimits& limits) {
    std::vector<ValidationWarning> warnings;
    const Shader shader = {versionToken, instructions, limits, warnings};
    FindSlotOverruns(shader);
    FindFlowControlFaults(shader);
    FindUndeclaredRegisters(shader);
    FindShaderModel1Faults(shader);
    std::stable_sort(warnings.begin(), warnings.end(),
                     [](const ValidationWarning& a, const ValidationWarning& b) {
                         return a.instruction < b.instruction;
                     });
    return warnings;
}
