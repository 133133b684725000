// The shader tool against D3DX's own reader: the compiled shaders carry the
// constants their sources declare, disassemble to their instructions, and a
// bad source stops the build with its file and line.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>
#include <d3dx9shader.h>

#include "tests/support/child_process.h"
#include "tools/shader_compiler/constant_table.h"
#include "tools/shader_compiler/shader_assembly.h"

namespace {

std::vector<DWORD> ReadTokens(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    std::vector<DWORD> tokens(bytes.size() / sizeof(DWORD));
    if (!tokens.empty()) {
        std::memcpy(tokens.data(), bytes.data(), tokens.size() * sizeof(DWORD));
    }
    return tokens;
}

std::string CompiledShaderPath(const char* name) {
    return std::string(GAME_DATA_DIR) + "/shaders/" + name;
}

struct ExpectedConstant {
    const char* name;
    UINT registerIndex;
    UINT registerCount;
    D3DXPARAMETER_CLASS parameterClass;
    UINT rows;
    UINT columns;
};

void ExpectConstant(ID3DXConstantTable* table, const ExpectedConstant& expected) {
    SCOPED_TRACE(expected.name);
    const D3DXHANDLE handle = table->GetConstantByName(nullptr, expected.name);
    ASSERT_NE(nullptr, handle);
    D3DXCONSTANT_DESC description = {};
    UINT count = 1;
    ASSERT_EQ(D3D_OK, table->GetConstantDesc(handle, &description, &count));
    EXPECT_STREQ(expected.name, description.Name);
    EXPECT_EQ(D3DXRS_FLOAT4, description.RegisterSet);
    EXPECT_EQ(expected.registerIndex, description.RegisterIndex);
    EXPECT_EQ(expected.registerCount, description.RegisterCount);
    EXPECT_EQ(expected.parameterClass, description.Class);
    EXPECT_EQ(D3DXPT_FLOAT, description.Type);
    EXPECT_EQ(expected.rows, description.Rows);
    EXPECT_EQ(expected.columns, description.Columns);
    EXPECT_EQ(1u, description.Elements);
    EXPECT_EQ(expected.rows * expected.columns * sizeof(float), description.Bytes);
}

// The target profile, read straight from the CTAB comment.
std::string TargetOf(const std::vector<DWORD>& tokens) {
    const void* data = nullptr;
    UINT size = 0;
    if (D3DXFindShaderComment(tokens.data(), MAKEFOURCC('C', 'T', 'A', 'B'), &data, &size) !=
        D3D_OK) {
        return "";
    }
    const auto* header = static_cast<const D3DXSHADER_CONSTANTTABLE*>(data);
    return static_cast<const char*>(data) + header->Target;
}

std::string Disassembly(const std::vector<DWORD>& tokens) {
    ID3DXBuffer* text = nullptr;
    if (FAILED(D3DXDisassembleShader(tokens.data(), FALSE, nullptr, &text))) {
        return "";
    }
    std::string disassembly(static_cast<const char*>(text->GetBufferPointer()));
    text->Release();
    return disassembly;
}

TEST(CompiledShaders, VertexShaderDeclaresTheThreeTransformsColumnByColumn) {
    const std::vector<DWORD> tokens = ReadTokens(CompiledShaderPath("vertex.shader"));
    ASSERT_GT(tokens.size(), 3u);
    EXPECT_EQ(D3DVS_VERSION(2, 0), tokens[0]);
    // The table sits right after the version token.
    EXPECT_EQ(static_cast<DWORD>(D3DSIO_COMMENT), tokens[1] & D3DSI_OPCODE_MASK);
    EXPECT_EQ(MAKEFOURCC('C', 'T', 'A', 'B'), tokens[2]);

    ID3DXConstantTable* table = nullptr;
    ASSERT_EQ(D3D_OK, D3DXGetShaderConstantTable(tokens.data(), &table));
    D3DXCONSTANTTABLE_DESC description = {};
    ASSERT_EQ(D3D_OK, table->GetDesc(&description));
    EXPECT_STREQ(constantTableCreator, description.Creator);
    EXPECT_EQ(D3DVS_VERSION(2, 0), description.Version);
    EXPECT_EQ(3u, description.Constants);
    EXPECT_EQ("vs_2_0", TargetOf(tokens));
    for (const ExpectedConstant& constant :
         {ExpectedConstant{"g_transform_modelToWorld", 0, 4, D3DXPC_MATRIX_COLUMNS, 4, 4},
          ExpectedConstant{"g_transform_worldToView", 4, 4, D3DXPC_MATRIX_COLUMNS, 4, 4},
          ExpectedConstant{"g_transform_viewToScreen", 8, 4, D3DXPC_MATRIX_COLUMNS, 4, 4}}) {
        ExpectConstant(table, constant);
    }
    EXPECT_EQ(nullptr, table->GetConstantByName(nullptr, "g_colorModifier"));
    table->Release();

    const std::string disassembly = Disassembly(tokens);
    for (const char* instruction : {"vs_2_0", "dcl_position", "dcl_color", "dp4 r0.x, v0",
                                    "dp4 r1.w, r0", "dp4 oPos.w, r1", "mov oD0"}) {
        EXPECT_NE(std::string::npos, disassembly.find(instruction)) << instruction;
    }
}

TEST(CompiledShaders, FragmentShaderDeclaresTheColorModifierWithItsDefault) {
    const std::vector<DWORD> tokens = ReadTokens(CompiledShaderPath("fragment.shader"));
    ASSERT_GT(tokens.size(), 3u);
    EXPECT_EQ(D3DPS_VERSION(2, 0), tokens[0]);

    ID3DXConstantTable* table = nullptr;
    ASSERT_EQ(D3D_OK, D3DXGetShaderConstantTable(tokens.data(), &table));
    D3DXCONSTANTTABLE_DESC description = {};
    ASSERT_EQ(D3D_OK, table->GetDesc(&description));
    EXPECT_EQ(D3DPS_VERSION(2, 0), description.Version);
    EXPECT_EQ(1u, description.Constants);
    EXPECT_EQ("ps_2_0", TargetOf(tokens));
    ExpectConstant(table, {"g_colorModifier", 0, 1, D3DXPC_VECTOR, 1, 3});

    D3DXCONSTANT_DESC modifier = {};
    UINT count = 1;
    table->GetConstantDesc(table->GetConstantByName(nullptr, "g_colorModifier"), &modifier, &count);
    ASSERT_NE(nullptr, modifier.DefaultValue);
    const float* defaults = static_cast<const float*>(modifier.DefaultValue);
    EXPECT_EQ(1.0f, defaults[0]);
    EXPECT_EQ(1.0f, defaults[1]);
    EXPECT_EQ(1.0f, defaults[2]);
    table->Release();

    const std::string disassembly = Disassembly(tokens);
    for (const char* instruction :
         {"ps_2_0", "dcl v0", "mul r0.xyz, v0", "mov r0.w, v0.w", "mov oC0"}) {
        EXPECT_NE(std::string::npos, disassembly.find(instruction)) << instruction;
    }
}

struct BadSource {
    const char* source;
    const char* message;
};

TEST(ShaderCompiler, ReportsEachProblemWithFileAndLine) {
    const BadSource cases[] = {
        {"// @constant g c0 vector float3 = 1, 1\nps_2_0\nmov oC0, c0\n",
         "bad.psh:1: error: the default value of a float3 needs 3 numbers, not 2\n"},
        {"ps_2_0\n// @constant g c0 matrix float4x4\nmov oC0, c0\n",
         "bad.psh:2: error: unknown class 'matrix'"},
        {"// @constant g c0 vector float4x4\nps_2_0\nmov oC0, c0\n",
         "bad.psh:1: error: type 'float4x4' does not fit class 'vector'"},
        {"// @constant g b0 scalar float\nps_2_0\nmov oC0, c0\n",
         "bad.psh:1: error: 'b0' is not a float constant register such as c0"},
        {"// @constant g c0 vector float4\n// @constant g c1 vector float4\nps_2_0\nmov oC0, c0\n",
         "bad.psh:2: error: 'g' is declared twice"},
        {"// @constant a c0 matrix_columns float4x4\n// @constant b c3 vector float4\n"
         "ps_2_0\nmov oC0, c0\n",
         "bad.psh:2: error: 'b' shares registers with 'a'"},
        {"; @constant m c30 matrix_rows float4x4\nps_2_0\nmov oC0, c0\n",
         "bad.psh:1: error: 'm' needs registers up to c33 but this shader model has c0 to c31"},
        {"// @konstant g c0 vector float4\nps_2_0\nmov oC0, c0\n",
         "bad.psh:1: error: unknown directive '@konstant'"},
        {"// @constant g c0\nps_2_0\nmov oC0, c0\n",
         "bad.psh:1: error: expected '@constant NAME cINDEX CLASS TYPE [= VALUES]'"},
        {"ps_2_0\ndcl v0\n\nfrob r0, v0\nmov oC0, r0\n", "bad.psh:4: error: "},
        {"ps_2_0\n#include \"missing.h\"\nmov oC0, c0\n", "bad.psh:2: error: "},
        // Wine checks a statement once it has read the next one's first token:
        // the line is the statement's, the nth same message's the nth, and one
        // in the middle of a line keeps its own.
        {"vs_2_0\nmov r0, c0\nmov oPos, r12\n\n// next\nmov oD0, r0\n",
         "bad.psh:3: error: Source register r12 not supported in VS 2\n"},
        {"vs_2_0\nmov r0, r12\nmov oPos, r12\nnop\n",
         "bad.psh:3: error: Source register r12 not supported in VS 2\n"},
        {"vs_2_0\nmov r0.xx, c0\nmov oPos, r0\n", "bad.psh:2: error: Invalid writemask specified\n"},
    };
    for (const BadSource& bad : cases) {
        SCOPED_TRACE(bad.source);
        std::vector<DWORD> tokens;
        std::string messages;
        EXPECT_FALSE(CompileShader(bad.source, "bad.psh", tokens, messages));
        EXPECT_NE(std::string::npos, messages.find(bad.message)) << messages;
    }
}

// A matrix default is laid out register by register the way SetMatrix fills
// the registers of its class, and a vector's default fills a whole register.
TEST(ShaderCompiler, StoresDefaultsAsWholeRegisters) {
    const char source[] = "// @constant rows c0 matrix_rows float2x3 = 1, 2, 3, 4, 5, 6\n"
                          "// @constant columns c2 matrix_columns float2x3 = 1, 2, 3, 4, 5, 6\n"
                          "// @constant vector c5 vector float2 = 7, 8\n"
                          "vs_2_0\n"
                          "mov oPos, c0\n";
    std::vector<DWORD> tokens;
    std::string messages;
    ASSERT_TRUE(CompileShader(source, "defaults.vsh", tokens, messages)) << messages;
    ID3DXConstantTable* table = nullptr;
    ASSERT_EQ(D3D_OK, D3DXGetShaderConstantTable(tokens.data(), &table));
    const struct {
        const char* name;
        UINT registerCount;
        std::vector<float> registers;
    } expected[] = {
        {"rows", 2, {1, 2, 3, 0, 4, 5, 6, 0}},
        {"columns", 3, {1, 4, 0, 0, 2, 5, 0, 0, 3, 6, 0, 0}},
        {"vector", 1, {7, 8, 0, 0}},
    };
    for (const auto& constant : expected) {
        SCOPED_TRACE(constant.name);
        D3DXCONSTANT_DESC description = {};
        UINT count = 1;
        ASSERT_EQ(D3D_OK, table->GetConstantDesc(table->GetConstantByName(nullptr, constant.name),
                                                 &description, &count));
        ASSERT_EQ(constant.registerCount, description.RegisterCount);
        ASSERT_NE(nullptr, description.DefaultValue);
        const float* values = static_cast<const float*>(description.DefaultValue);
        EXPECT_EQ(constant.registers,
                  std::vector<float>(values, values + constant.registers.size()));
    }
    table->Release();
    EXPECT_NE(std::string::npos, messages.find("defaults.vsh:3: warning: the default of 'vector' "
                                               "never applies: ")) << messages;
}

TEST(ShaderCompiler, WarnsOfWhatTheProgramNeverSets) {
    const char source[] = "// @constant g_colorModifier c0 vector float3 = 1, 1, 1\n"
                          "// @constant g_tint c1 vector float3 = 1, 0, 0\n"
                          "ps_2_0\nmul r0, c0, c1\nmov oC0, r0\n";
    std::vector<DWORD> tokens;
    std::string messages;
    EXPECT_TRUE(CompileShader(source, "tint.psh", tokens, messages));
    EXPECT_EQ("tint.psh:2: warning: the default of 'g_tint' applies only when the material gives "
              "no usable g_colorModifier or its first component is -1: only then does the "
              "program restore declared defaults\n", messages);
    // A register read that no declaration or def covers is never set.
    messages.clear();
    EXPECT_TRUE(CompileShader("// @constant g_colorModifier c0 vector float3\n"
                              "ps_2_0\ndef c3, 1, 1, 1, 1\nmul r0, c0, c3\nmul r0, r0, c2\n"
                              "mov oC0, r0\n",
                              "reads.psh", tokens, messages));
    EXPECT_EQ("reads.psh: warning: instruction 3 (token 49): mul reads c2, which no @constant or "
              "def covers: the program sets nothing there\n",
              messages);
}

// The Windows assembler's forms (a line with a column or a range of them,
// after a name that may start with a drive, then the kind and its code), and
// Wine's, whose preprocessor leaves heap bytes before the assembler's lines.
TEST(ShaderCompiler, ReadsEachFormOfTheAssemblersMessages) {
    std::string messages;
    AddAssemblerMessages("C:\\mods\\bad.psh(9,14-17): error X2000: unexpected token 'frob'\n"
                         "(3): warning X4717: text\n", true, "", "bad.psh", messages);
    AddAssemblerMessages("<anonymous>:3:1: W4300: Redefinition of X.\nPC_DEFAULT\x03\nSS\x03Line 4: "
                         "Source register r12 not supported in VS 2\n", true, "", "bad.psh", messages);
    EXPECT_EQ("bad.psh:9: error: X2000: unexpected token 'frob'\nbad.psh:3: warning: X4717: text\n"
              "bad.psh:3: warning: W4300: Redefinition of X.\n"
              "bad.psh:4: error: Source register r12 not supported in VS 2\n", messages);
}

// Runs the tool as the build does and gives its exit code and error output.
ChildRun RunShaderCompiler(const std::string& source, const std::string& output) {
    return RunChild(
        "\"" + std::string(SHADER_COMPILER) + "\" \"" + source + "\" \"" + output + "\"", nullptr);
}

std::string TemporaryPath(const char* name) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "shader_compiler_test_" + std::to_string(GetCurrentProcessId()) +
           "_" + name;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(ShaderCompiler, BadSourceFailsTheBuildAndLeavesNoOutput) {
    const std::string source = TemporaryPath("bad.psh");
    const std::string output = TemporaryPath("bad.shader");
    std::ofstream(source) << "ps_2_0\ndcl v0\nfrob r0, v0\nmov oC0, r0\n";
    std::ofstream(output) << "stale output of an earlier build";

    const ChildRun failed = RunShaderCompiler(source, output);
    EXPECT_EQ(1u, failed.exitCode);
    EXPECT_NE(std::string::npos, failed.output.find(source + ":3: error: ")) << failed.output;
    EXPECT_FALSE(FileExists(output));

    std::ofstream(source) << "// @constant g c0 vector float4 = 1, 2, 3, 4\n"
                             "ps_2_0\nmov oC0, c0\n";
    const ChildRun built = RunShaderCompiler(source, output);
    EXPECT_EQ(0u, built.exitCode) << built.output;
    EXPECT_TRUE(FileExists(output));
    std::remove(source.c_str());
    std::remove(output.c_str());
}

} // namespace
