#include "tools/material_check/shader_findings.h"

#include <cctype>
#include <cstdlib>
#include <set>
#include <vector>

#include <windows.h>
#include <d3dx9shader.h>

#include "bytecode/constant_reads.h"
#include "bytecode/finding_text.h"
#include "bytecode/windows_validation.h"
#include "material/shader_file.h"
#include "material/shader_steps.h"

namespace {

// The least limits of a device that creates shaders of every version: this
// machine's device is not asked, and a shader within them is created on any.
const DeviceLimits& checkLimits = leastDeviceLimits;

std::string WithoutLineBreak(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

const char* StageName(ShaderKind stage) {
    return stage == ShaderKind::Vertex ? "vertex" : "fragment";
}

// A shader source named where the compiled file belongs starts with text.
bool LooksLikeText(const unsigned char* bytes, DWORD size) {
    const DWORD checked = size < 16 ? size : 16;
    for (DWORD i = 0; i < checked; ++i) {
        if (!std::isprint(bytes[i]) && !std::isspace(bytes[i])) {
            return false;
        }
    }
    return checked > 0;
}

void ReportRefusal(const std::string& path, const CheckFinding& finding,
                   const unsigned char* bytes, DWORD size, Report& report) {
    std::string text = DescribeFinding(finding);
    const bool startsWrong =
        finding.rule == CheckRule::unknownVersion || finding.rule == CheckRule::notWholeTokens;
    if (startsWrong && LooksLikeText(bytes, size)) {
        text += ": the file is text, perhaps a shader source; name the .shader file that "
                "shadercompiler.exe makes of it";
    }
    Error(report, path, text);
}

// "matrix_columns float4x4 in c4-c7": the constant's shape in the words of
// the shader tool's @constant comments, and its registers.
std::string ShapeText(const D3DXCONSTANT_DESC& constant) {
    const char* const classes[] = {"scalar", "vector", "matrix_rows", "matrix_columns", "object",
                                   "struct"};
    const char* const types[] = {"void", "bool", "int", "float", "string", "texture"};
    const char* const sets[] = {"b", "i", "c", "s"};
    std::string text = constant.Class <= D3DXPC_STRUCT ? classes[constant.Class] : "unknown class";
    text += " ";
    text += constant.Type <= D3DXPT_TEXTURE ? types[constant.Type] : "object";
    if (constant.Class == D3DXPC_VECTOR) {
        text += std::to_string(constant.Columns);
    } else if (constant.Class == D3DXPC_MATRIX_ROWS || constant.Class == D3DXPC_MATRIX_COLUMNS) {
        text += std::to_string(constant.Rows) + "x" + std::to_string(constant.Columns);
    }
    if (constant.Elements > 1) {
        text += "[" + std::to_string(constant.Elements) + "]";
    }
    const std::string set = constant.RegisterSet <= D3DXRS_SAMPLER ? sets[constant.RegisterSet] : "?";
    const UINT last = constant.RegisterIndex + (constant.RegisterCount > 0 ? constant.RegisterCount - 1 : 0);
    text += " in " + set + std::to_string(constant.RegisterIndex);
    if (last != constant.RegisterIndex) {
        text += "-" + set + std::to_string(last);
    }
    return text;
}

bool Describe(ID3DXConstantTable* table, D3DXHANDLE handle, D3DXCONSTANT_DESC& constant) {
    UINT count = 1;
    return handle != nullptr && SUCCEEDED(table->GetConstantDesc(handle, &constant, &count));
}

// Each constant the frame sets in this stage: where the game's look-up finds
// it, or why it finds nothing and the frame sets nothing there.
void ReportFrameConstants(const std::string& path, ShaderKind stage, ID3DXConstantTable* table,
                          Report& report) {
    for (const FrameConstant& frame : frameConstants) {
        if (frame.stage != stage) {
            continue;
        }
        const std::string name = frame.name;
        D3DXCONSTANT_DESC constant;
        if (Describe(table, LookUpConstant(table, frame.name, frame.isSetShape), constant)) {
            Note(path, name + " is " + ShapeText(constant));
        } else if (Describe(table, table->GetConstantByName(nullptr, frame.name), constant)) {
            Error(report, path,
                  name + " is " + ShapeText(constant) + ", a shape the frame does not set (" +
                      (frame.isSetShape == IsFloatMatrix
                           ? "a float matrix of at most 4x4"
                           : "a float scalar or vector") +
                      ", one element): the frame sets nothing there");
        } else {
            Error(report, path,
                  "the constant table has no " + name + ": the frame sets nothing there");
        }
    }
}

// The program restores declared defaults of the fragment shader only, with
// SetDefaults, and only when the material has no usable g_colorModifier:
// then g_colorModifier's own default is the color modifier. Any other
// default a shader declares is never set, unless the material lacks it.
void ReportDefaults(const std::string& path, ShaderKind stage, ID3DXConstantTable* table,
                    const Material& material, Report& report) {
    D3DXCONSTANTTABLE_DESC description;
    if (FAILED(table->GetDesc(&description)) ||
        (stage == ShaderKind::Fragment && material.colorModifier[0] == useShaderDefaults)) {
        return;
    }
    for (UINT i = 0; i < description.Constants; ++i) {
        D3DXCONSTANT_DESC constant;
        if (!Describe(table, table->GetConstant(nullptr, i), constant) ||
            constant.DefaultValue == nullptr ||
            (stage == ShaderKind::Fragment && std::string(constant.Name) == colorModifierName)) {
            continue;
        }
        Warning(report, path,
                std::string(constant.Name) + " declares a default value that is never set: the "
                "program restores the fragment shader's defaults only, and only while the "
                "material has no usable " + colorModifierName + " (use def for a fixed value)");
    }
}

// Float constant registers that instructions read but that neither a
// constant of the table nor a def gives a value.
void ReportUncoveredReads(const std::string& path, const std::vector<ShaderInstruction>& code,
                          ID3DXConstantTable* table, Report& report) {
    std::set<std::uint32_t> covered;
    D3DXCONSTANTTABLE_DESC description;
    if (SUCCEEDED(table->GetDesc(&description))) {
        for (UINT i = 0; i < description.Constants; ++i) {
            D3DXCONSTANT_DESC constant;
            if (Describe(table, table->GetConstant(nullptr, i), constant) &&
                constant.RegisterSet == D3DXRS_FLOAT4) {
                for (UINT r = 0; r < constant.RegisterCount; ++r) {
                    covered.insert(constant.RegisterIndex + r);
                }
            }
        }
    }
    for (const UncoveredRead& read : FindUncoveredConstantReads(code, covered)) {
        Error(report, path,
              "instruction " + std::to_string(read.instruction->index) + " (token " +
                  std::to_string(read.instruction->token) + "): " + read.instruction->opcode->name +
                  " reads c" + std::to_string(read.number) +
                  ", which no constant of the table and no def covers: nothing the frame sets "
                  "reaches it");
    }
}

// What this machine's driver may draw but Direct3D 9 on Windows refuses to
// create: the game's check lets it through, so as not to refuse what some
// device takes.
void ReportWindowsRefusals(const std::string& path, std::uint32_t version,
                           const std::vector<ShaderInstruction>& code, Report& report) {
    for (const ValidationWarning& warning : FindWindowsRefusals(version, code, checkLimits)) {
        const std::string place = warning.instruction == 0
                                      ? ""
                                      : "instruction " + std::to_string(warning.instruction) +
                                            " (token " + std::to_string(warning.token) + "): ";
        Warning(report, path,
                place + warning.text +
                    "; Windows will refuse this shader, although this machine's driver may draw it");
    }
}

} // namespace

std::uint32_t CheckShaderFile(const std::string& path, ShaderKind stage, const Material& material,
                              Report& report) {
    void* buffer = nullptr;
    DWORD size = 0;
    std::string message;
    if (!LoadShaderFile(path.c_str(), buffer, &message, &size)) {
        std::free(buffer);
        Error(report, path, WithoutLineBreak(message));
        return 0;
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
    const CheckFinding finding = CheckShaderByteCode(bytes, size, stage, checkLimits);
    std::uint32_t version = 0;
    if (!finding.Passed()) {
        ReportRefusal(path, finding, bytes, size, report);
    } else {
        version = finding.version;
        Note(path, std::string("a ") + VersionText(version) + " " + StageName(stage) + " shader");
        ID3DXConstantTable* table = nullptr;
        D3DXGetShaderConstantTable(static_cast<const DWORD*>(buffer), &table);
        if (table == nullptr) {
            Error(report, path, "no constant table: the frame can set none of its constants");
        } else {
            ReportFrameConstants(path, stage, table, report);
            ReportDefaults(path, stage, table, material, report);
        }
        const std::vector<ShaderInstruction> code =
            ReadShaderInstructions(bytes, size, stage, checkLimits);
        if (table != nullptr) {
            ReportUncoveredReads(path, code, table, report);
            table->Release();
        }
        ReportWindowsRefusals(path, version, code, report);
    }
    std::free(buffer);
    return version;
}
