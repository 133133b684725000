// LoadMaterial on real asset files, written into a private current directory:
// what reaches the error stream, the warning box, and what the Material holds
// afterwards, for each kind of broken file.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>

#include "graphics/graphics_context.h"
#include "material/material_loader.h"
#include "material/material_reader.h"
#include "tests/material/precompiled_chunk.h"
#include "tests/support/import_patch.h"
#include "tests/support/message_boxes.h"

namespace {

const HWND owner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x5150));
const char oldVertexPath[] = "old/vertex.shader";
const char oldFragmentPath[] = "old/fragment.shader";
const float oldColor[3] = {0.125f, 0.25f, 0.375f};

const char noColorModifierText[] = "g_colorModifier does not exist. Using default values.";

std::string Asset(const std::string& shaders, const std::string& constants) {
    return "return { shaders = " + shaders + ", constants = " + constants + " }\n";
}

const char validShaders[] = "{ vertexShader = 'v.shader', fragmentShader = 'f.shader' }";

class MaterialFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        directory_ =
            std::string(temp) + "material_file_test_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(directory_.c_str(), nullptr);
        CreateDirectoryA((directory_ + "\\data").c_str(), nullptr);
        GetCurrentDirectoryA(MAX_PATH, previousDirectory_);
        ASSERT_TRUE(SetCurrentDirectoryA(directory_.c_str()));

        previousErrors_ = std::cerr.rdbuf(errors_.rdbuf());
        g_graphics.window = owner;
        Material& material = g_graphics.material;
        material.vertexShaderPath = oldVertexPath;
        material.fragmentShaderPath = oldFragmentPath;
        std::memcpy(material.colorModifier, oldColor, sizeof(oldColor));
    }

    void TearDown() override {
        std::cerr.rdbuf(previousErrors_);
        g_graphics.window = nullptr;
        g_graphics.material.vertexShaderPath.clear();
        g_graphics.material.fragmentShaderPath.clear();
        std::memset(g_graphics.material.colorModifier, 0, sizeof(oldColor));
        DeleteFileA("data\\material.material");
        SetCurrentDirectoryA(previousDirectory_);
        RemoveDirectoryA((directory_ + "\\data").c_str());
        RemoveDirectoryA(directory_.c_str());
    }

    static void WriteMaterial(const std::string& bytes) {
        std::ofstream file("data/material.material", std::ios::binary | std::ios::trunc);
        file << bytes;
    }

    bool Load(const std::string& bytes) {
        WriteMaterial(bytes);
        return LoadMaterial();
    }

    std::string Errors() const { return errors_.str(); }

    static void ExpectPaths(const char* vertex, const char* fragment) {
        EXPECT_EQ(vertex, g_graphics.material.vertexShaderPath);
        EXPECT_EQ(fragment, g_graphics.material.fragmentShaderPath);
    }

    static void ExpectColor(float red, float green, float blue) {
        const float* color = g_graphics.material.colorModifier;
        EXPECT_EQ(red, color[0]);
        EXPECT_EQ(green, color[1]);
        EXPECT_EQ(blue, color[2]);
    }

    static void ExpectMaterialUnchanged() {
        ExpectPaths(oldVertexPath, oldFragmentPath);
        ExpectColor(oldColor[0], oldColor[1], oldColor[2]);
    }

    void ExpectOneWarningBox() const {
        ASSERT_EQ(1u, boxes_.boxes.size());
        EXPECT_EQ(owner, boxes_.boxes[0].owner);
        EXPECT_EQ(noColorModifierText, boxes_.boxes[0].text);
        EXPECT_EQ("No ColorModifier", boxes_.boxes[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONWARNING), boxes_.boxes[0].style);
        EXPECT_EQ(0x30u, boxes_.boxes[0].style);
    }

    MessageBoxCapture boxes_;

private:
    std::string directory_;
    char previousDirectory_[MAX_PATH] = {};
    std::ostringstream errors_;
    std::streambuf* previousErrors_ = nullptr;
};

using Realloc = void*(__cdecl*)(void*, size_t);
Realloc g_realloc;
int g_reallocsToFail;

// The whole executable shares the entry, so only the first call (the new
// state's own block, the first thing LoadMaterial allocates) fails; later
// calls, from the runtime's lazy set-up for instance, reach the real one.
void* __cdecl FailFirstAllocation(void* block, size_t size) {
    if (g_reallocsToFail > 0) {
        --g_reallocsToFail;
        return nullptr;
    }
    return g_realloc(block, size);
}

TEST_F(MaterialFileTest, WithoutMemoryForAStateNothingIsRead) {
    WriteMaterial(Asset(validShaders, "{ g_colorModifier = { 1, 1, 1 } }"));
    bool loaded = true;
    {
        ImportPatch realloc("msvcrt.dll", "realloc", reinterpret_cast<void*>(&FailFirstAllocation));
        ASSERT_NE(nullptr, realloc.original());
        g_realloc = reinterpret_cast<Realloc>(realloc.original());
        g_reallocsToFail = 1;
        loaded = LoadMaterial();
    }
    EXPECT_FALSE(loaded);
    EXPECT_EQ("Failed to create a new Lua state\n", Errors());
    ExpectMaterialUnchanged();
}

// Under Wine the peak working set is the process's resident high-water mark
// (VmHWM); the page-file figures it gives are current use, not peaks.
PROCESS_MEMORY_COUNTERS MemoryCounters() {
    PROCESS_MEMORY_COUNTERS counters = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters;
}

TEST_F(MaterialFileTest, DoublingTextStopsAtTheMemoryCap) {
    const SIZE_T before = MemoryCounters().WorkingSetSize;
    // Without the cap the last doubling alone would take over a gibibyte: far
    // past the cap, yet not enough to exhaust the machine when the cap fails.
    EXPECT_FALSE(Load("local s = 'x'\nfor i = 1, 29 do s = s .. s end\n" +
                      Asset(validShaders, "{ g_colorModifier = { 1, 1, 1 } }")));
    EXPECT_EQ("not enough memory", Errors());
    ExpectMaterialUnchanged();
    const SIZE_T margin = 16 * 1024 * 1024;
    EXPECT_LT(MemoryCounters().PeakWorkingSetSize - before, materialMemoryCap + margin);
}

// The paths are copied out of the state and outlive its cap: a text of 32 MiB
// named for both shaders must not stay behind twice.
TEST_F(MaterialFileTest, DoubledPathsStayWithinTheMemoryCap) {
    const SIZE_T before = MemoryCounters().WorkingSetSize;
    EXPECT_TRUE(Load(
        "local s = 'x'\nfor i = 1, 25 do s = s .. s end\n" +
        Asset("{ vertexShader = s, fragmentShader = s }", "{ g_colorModifier = { 1, 1, 1 } }")));
    const SIZE_T margin = 16 * 1024 * 1024;
    EXPECT_LT(MemoryCounters().PeakWorkingSetSize - before, materialMemoryCap + margin);
    EXPECT_LT(MemoryCounters().WorkingSetSize, before + margin);
}

// Lua's own limit must come before the memory cap, and keep its line. The
// smallest frame gives the deepest recursion and the most memory.
TEST_F(MaterialFileTest, UnboundedRecursionEndsInLuasStackOverflow) {
    EXPECT_FALSE(Load("local function f(n) return 1 + f(n + 1) end return f(1)\n"));
    EXPECT_FALSE(Load("local function f()\n  return f() + 1\nend\nreturn f()\n"));
    EXPECT_EQ("data/material.material(1): error: stack overflow"
              "data/material.material(2): error: stack overflow",
              Errors());
    ExpectMaterialUnchanged();
}

// A valid material, then a comment that fills the file to size bytes.
std::string PaddedMaterial(std::size_t size) {
    std::string text = Asset(validShaders, "{ g_colorModifier = { 1, 1, 1 } }") + "--";
    text.resize(size, 'x');
    return text;
}

TEST_F(MaterialFileTest, FileIsReadUpToTheSizeCap) {
    EXPECT_TRUE(Load(PaddedMaterial(materialSizeCap)));
    ExpectPaths("v.shader", "f.shader");
    EXPECT_FALSE(Load(PaddedMaterial(materialSizeCap + 1)));
    EXPECT_EQ("data/material.material(2): error: the asset file is larger than 16 MiB", Errors());
}

// Lua's code generator joins the jump lists of a chain of "or" in time that
// grows with the square of its length: this file takes over ten seconds to
// parse, and must end within the time budget and a second.
TEST_F(MaterialFileTest, SlowToParseFileIsStoppedByTheClock) {
    std::string chain = "local a = x";
    for (int term = 0; term < 40000; ++term) {
        chain += " or x";
    }
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(Load(chain + " " + chain + " " + chain + " " + chain + "\n" +
                      Asset(validShaders, "{ g_colorModifier = { 1, 1, 1 } }")));
    EXPECT_LT(GetTickCount64() - start, (materialTimeBudgetSeconds + 1) * 1000u);
    EXPECT_EQ("data/material.material(1): error: the asset file did not finish within 5 seconds",
              Errors());
    ExpectMaterialUnchanged();
}

TEST_F(MaterialFileTest, MissingFileGivesLuasOpenMessage) {
    EXPECT_FALSE(LoadMaterial());
    EXPECT_EQ("cannot open data/material.material: No such file or directory", Errors());
    ExpectMaterialUnchanged();
}

TEST_F(MaterialFileTest, SyntaxErrorsCarryThePositionForm) {
    EXPECT_FALSE(Load("return {\n  shaders = = 1,\n}\n"));
    EXPECT_FALSE(Load("return {\n  shaders = {}\n"));
    EXPECT_EQ("data/material.material(2): error: unexpected symbol near '='"
              "data/material.material(3): error: '}' expected (to close '{' at line 1) near "
              "<eof>",
              Errors());
    ExpectMaterialUnchanged();
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(MaterialFileTest, CallingALibraryFunctionIsARuntimeError) {
    EXPECT_FALSE(
        Load("local shaders = " + std::string(validShaders) + "\n\nprint(shaders)\nreturn {}\n"));
    EXPECT_EQ("data/material.material(3): error: attempt to call global 'print' (a nil value)",
              Errors());
    ExpectMaterialUnchanged();
}

TEST_F(MaterialFileTest, ChunkMustReturnExactlyOneTable) {
    EXPECT_FALSE(Load("return"));
    EXPECT_FALSE(Load("return {}, {}"));
    EXPECT_FALSE(Load("return 'data/material.material'"));
    EXPECT_FALSE(Load("return 5"));
    EXPECT_FALSE(Load("return nil"));
    EXPECT_EQ("Asset files must return a single table (instead of 0 values)\n"
              "Asset files must return a single table (instead of 2 values)\n"
              "Asset files must return a table (instead of a string)\n"
              "Asset files must return a table (instead of a number)\n"
              "Asset files must return a table (instead of a nil)\n",
              Errors());
    ExpectMaterialUnchanged();
}

TEST_F(MaterialFileTest, ShadersMustBeATableAndComeFirst) {
    // The constants would warn if they were read.
    EXPECT_FALSE(Load("return { constants = {} }"));
    EXPECT_FALSE(Load(Asset("3", "{}")));
    EXPECT_EQ("The value at \"shaders\" must be a table (instead of a nil)\n"
              "The value at \"shaders\" must be a table (instead of a number)\n",
              Errors());
    ExpectMaterialUnchanged();
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(MaterialFileTest, ConstantsMustBeATablePathsStaySet) {
    EXPECT_FALSE(Load(Asset(validShaders, "5")));
    EXPECT_EQ("The value at \"constants\" must be a table (instead of a number)\n", Errors());
    ExpectPaths("v.shader", "f.shader");
    ExpectColor(oldColor[0], oldColor[1], oldColor[2]);
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(MaterialFileTest, ColorComponentsAreNumbersOrNumericText) {
    EXPECT_TRUE(Load(Asset(validShaders, "{ g_colorModifier = { 1, '0.5', 0 } }")));
    ExpectPaths("v.shader", "f.shader");
    ExpectColor(1.0f, 0.5f, 0.0f);

    // Beyond the third, elements are ignored, whatever they are.
    EXPECT_TRUE(Load(Asset(validShaders, "{ g_colorModifier = { 0.1, 0.2, 0.3, {} } }")));
    ExpectColor(0.1f, 0.2f, 0.3f);
    EXPECT_EQ("", Errors());
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(MaterialFileTest, ShortColorModifierWarnsAndKeepsWhatWasRead) {
    EXPECT_FALSE(Load(Asset(validShaders, "{ g_colorModifier = { 0.75, 0.5 } }")));
    ExpectOneWarningBox();
    ExpectPaths("v.shader", "f.shader");
    ExpectColor(-1.0f, 0.5f, oldColor[2]);
    EXPECT_EQ("", Errors());
}

TEST_F(MaterialFileTest, ColorModifierThatIsNoArrayOfNumbersWarns) {
    for (const char* constants :
         {"{}", "{ g_colorModifier = 1 }", "{ g_colorModifier = { 1, 'half', 1 } }"}) {
        SCOPED_TRACE(constants);
        boxes_.boxes.clear();
        EXPECT_FALSE(Load(Asset(validShaders, constants)));
        ExpectOneWarningBox();
        ExpectColor(-1.0f, oldColor[1], oldColor[2]);
    }
    EXPECT_EQ("", Errors());
}

TEST_F(MaterialFileTest, ShaderPathsTakeTextOrNumbersElseStay) {
    const std::string constants = "{ g_colorModifier = { 1, 1, 1 } }";
    EXPECT_TRUE(Load(Asset("{ vertexShader = 42 }", constants)));
    ExpectPaths("42", oldFragmentPath);
    EXPECT_TRUE(Load(Asset("{ vertexShader = true, fragmentShader = {} }", constants)));
    ExpectPaths("42", oldFragmentPath);
    EXPECT_TRUE(Load(Asset("{ fragmentShader = 'data/frag\\0ment.shader' }", constants)));
    ExpectPaths("42", "data/frag");
    EXPECT_EQ("", Errors());
}

TEST_F(MaterialFileTest, ByteOrderMarkAndFirstLineCommentAreSkipped) {
    EXPECT_TRUE(Load("\xEF\xBB\xBF# material\n" +
                     Asset(validShaders, "{ g_colorModifier = { 1, 1, 1 } }")));
    ExpectPaths("v.shader", "f.shader");
    // Lines are still counted from the real first line.
    EXPECT_FALSE(Load("\xEF\xBB\xBF#!lua\n\nreturn nil + 1\n"));
    EXPECT_EQ("data/material.material(3): error: attempt to perform arithmetic on a nil value",
              Errors());
}

TEST_F(MaterialFileTest, PrecompiledChunksRunAndNameTheirOwnSource) {
    const std::string source = Asset(validShaders, "{ g_colorModifier = { 0, 0.5, 1 } }");
    EXPECT_TRUE(Load(PrecompileChunk(source.c_str(), "=material")));
    ExpectPaths("v.shader", "f.shader");
    ExpectColor(0.0f, 0.5f, 1.0f);

    const char failing[] = "local x = nil\n\nreturn x.shaders\n";
    EXPECT_FALSE(Load(PrecompileChunk(failing, "@source/material.lua")));
    EXPECT_EQ("source/material.lua(3): error: attempt to index local 'x' (a nil value)", Errors());
}

TEST_F(MaterialFileTest, StrippedPrecompiledChunkHasNeitherNameNorLines) {
    const char failing[] = "local x = nil\n\nreturn x.shaders\n";
    EXPECT_FALSE(Load(StripChunk(PrecompileChunk(failing, "@source/material.lua"))));
    EXPECT_EQ("?(0): error: attempt to index a nil value", Errors());
    ExpectMaterialUnchanged();
}

TEST_F(MaterialFileTest, TruncatedPrecompiledChunkKeepsLuasMessage) {
    const std::string chunk = PrecompileChunk(Asset(validShaders, "{}").c_str(), "=material");
    EXPECT_FALSE(Load(chunk.substr(0, chunk.size() / 2)));
    EXPECT_EQ("data/material.material: truncated precompiled chunk", Errors());
    ExpectMaterialUnchanged();
}

TEST_F(MaterialFileTest, EndlessChunkIsStoppedAsARuntimeError) {
    EXPECT_FALSE(Load("local shaders = " + std::string(validShaders) +
                      "\n\nwhile true do shaders = shaders end\n"));
    EXPECT_EQ("data/material.material(3): error: the asset file did not finish within "
              "100000000 instructions",
              Errors());
    ExpectMaterialUnchanged();
}

// Few instructions, each copying megabytes: only the clock stops these.
TEST_F(MaterialFileTest, ChunkOfBigCopiesIsStoppedByTheClock) {
    EXPECT_FALSE(Load("local s = 'x' for i = 1, 22 do s = s .. s end\n"
                      "while true do local t = s .. 'y' end\n"));
    EXPECT_EQ("data/material.material(2): error: the asset file did not finish within 5 seconds",
              Errors());
    ExpectMaterialUnchanged();
}

} // namespace
