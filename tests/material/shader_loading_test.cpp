// Reading compiled shader files and the two shader steps, with Windows calls
// made to fail on demand and Direct3D replaced by recording doubles.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "app/windows_error.h"
#include "graphics/graphics_context.h"
#include "material/bytecode_check.h"
#include "tests/support/fake_direct3d.h"
#include "tests/support/import_patch.h"
#include "tests/support/message_boxes.h"
#include "tests/support/win32_fakes.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::string TemporaryPath(const std::string& name) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "shader_loading_test_" + std::to_string(GetCurrentProcessId()) +
           "_" + name;
}

std::string WriteTemporaryFile(const std::string& name, const Bytes& bytes) {
    const std::string path = TemporaryPath(name);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

Bytes Pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    }
    return bytes;
}

Bytes TokenBytes(const std::vector<DWORD>& tokens) {
    Bytes bytes(tokens.size() * sizeof(DWORD));
    if (!bytes.empty()) {
        std::memcpy(bytes.data(), tokens.data(), bytes.size());
    }
    return bytes;
}

const std::string vertexShaderPath = std::string(GAME_DATA_DIR) + "/shaders/vertex.shader";
const std::string fragmentShaderPath = std::string(GAME_DATA_DIR) + "/shaders/fragment.shader";

const char* const untouched = "untouched";

// ---- Reading a shader file ------------------------------------------------

TEST(LoadShaderFile, HandsOverTheWholeFileAndLeavesTheMessage) {
    const Bytes contents = Pattern(300);
    const std::string path = WriteTemporaryFile("whole.shader", contents);
    void* buffer = reinterpret_cast<void*>(1);
    std::string message = untouched;
    DWORD size = 0;
    EXPECT_TRUE(LoadShaderFile(path.c_str(), buffer, &message, &size));
    ASSERT_NE(nullptr, buffer);
    EXPECT_EQ(300u, size);
    EXPECT_EQ(0, std::memcmp(contents.data(), buffer, contents.size()));
    EXPECT_EQ(untouched, message);
    std::free(buffer);
    DeleteFileA(path.c_str());
}

struct FailingStep {
    const char* function;
    DWORD error;
    const char* text;
};

const FailingStep failingSteps[] = {
    {"CreateFileA", ERROR_ACCESS_DENIED, "Windows failed to open the shader file: "},
    {"GetFileSizeEx", ERROR_INVALID_HANDLE, "Windows failed to get the size of shader: "},
    {"ReadFile", ERROR_LOCK_VIOLATION, "Windows failed to read the contents of shader: "},
};

TEST(LoadShaderFile, EachFailedCallGivesItsTextAndNoBuffer) {
    const std::string path = WriteTemporaryFile("failing.shader", Pattern(64));
    for (const FailingStep& step : failingSteps) {
        SCOPED_TRACE(step.function);
        FailingCall failing(step.function, step.error);
        void* buffer = reinterpret_cast<void*>(1);
        std::string message = untouched;
        DWORD size = 1;
        EXPECT_FALSE(LoadShaderFile(path.c_str(), buffer, &message, &size));
        EXPECT_EQ(nullptr, buffer);
        EXPECT_EQ(0u, size);
        EXPECT_EQ(step.text + GetWindowsErrorText(step.error), message);
        EXPECT_EQ(1, failing.calls());
    }
    DeleteFileA(path.c_str());
}

int g_formatMessageCalls;
void* g_realFormatMessage;

DWORD WINAPI CountingFormatMessageA(DWORD flags, LPCVOID source, DWORD id, DWORD language,
                                    LPSTR buffer, DWORD size, va_list* arguments) {
    ++g_formatMessageCalls;
    return reinterpret_cast<decltype(&FormatMessageA)>(g_realFormatMessage)(
        flags, source, id, language, buffer, size, arguments);
}

TEST(LoadShaderFile, WithoutAMessagePointerComposesNoText) {
    const std::string path = WriteTemporaryFile("quiet.shader", Pattern(64));
    ImportPatch formatMessage("kernel32.dll", "FormatMessageA",
                              reinterpret_cast<void*>(&CountingFormatMessageA));
    g_realFormatMessage = formatMessage.original();
    for (const FailingStep& step : failingSteps) {
        SCOPED_TRACE(step.function);
        FailingCall failing(step.function, step.error);
        g_formatMessageCalls = 0;
        void* buffer = reinterpret_cast<void*>(1);
        EXPECT_FALSE(LoadShaderFile(path.c_str(), buffer, nullptr));
        EXPECT_EQ(nullptr, buffer);
        EXPECT_EQ(0, g_formatMessageCalls);
    }
    DeleteFileA(path.c_str());
}

TEST(LoadShaderFile, FailedAllocationNamesTheByteCountAndThePath) {
    const std::string path = WriteTemporaryFile("large.shader", Pattern(300));
    FailingMalloc failingMalloc(300);
    void* buffer = reinterpret_cast<void*>(1);
    std::string message;
    EXPECT_FALSE(LoadShaderFile(path.c_str(), buffer, &message));
    EXPECT_EQ(nullptr, buffer);
    EXPECT_EQ("Failed to allocate 300 bytes to read in the shader program " + path, message);
    EXPECT_EQ(1, failingMalloc.failures);
    DeleteFileA(path.c_str());
}

TEST(LoadShaderFile, FailedCloseAfterAGoodReadKeepsTheBytes) {
    const Bytes contents = Pattern(40);
    const std::string path = WriteTemporaryFile("unclosable.shader", contents);
    void* buffer = nullptr;
    std::string message;
    DWORD size = 0;
    {
        FailingCall failingClose("CloseHandle", ERROR_INVALID_HANDLE);
        EXPECT_FALSE(LoadShaderFile(path.c_str(), buffer, &message, &size));
        EXPECT_EQ(1, failingClose.calls());
    }
    EXPECT_EQ("Windows failed to close the shader file handle: " +
                  GetWindowsErrorText(ERROR_INVALID_HANDLE),
              message);
    ASSERT_NE(nullptr, buffer);
    EXPECT_EQ(40u, size);
    EXPECT_EQ(0, std::memcmp(contents.data(), buffer, contents.size()));
    std::free(buffer);
}

TEST(LoadShaderFile, FailedCloseAfterAnEarlierFailureKeepsThatText) {
    const std::string path = WriteTemporaryFile("unreadable.shader", Pattern(40));
    FailingCall failingRead("ReadFile", ERROR_LOCK_VIOLATION);
    FailingCall failingClose("CloseHandle", ERROR_INVALID_HANDLE);
    void* buffer = reinterpret_cast<void*>(1);
    std::string message;
    EXPECT_FALSE(LoadShaderFile(path.c_str(), buffer, &message));
    EXPECT_EQ(nullptr, buffer);
    EXPECT_EQ(1, failingClose.calls());
    EXPECT_EQ("Windows failed to read the contents of shader: " +
                  GetWindowsErrorText(ERROR_LOCK_VIOLATION),
              message);
}

// ---- Checking the byte code -----------------------------------------------

const DWORD vs20 = 0xFFFE0200;
const DWORD ps20 = 0xFFFF0200;
const DWORD endToken = 0x0000FFFF;
const DWORD movWithTwoParameters = 0x02000001;
const DWORD destination = 0xC00F0000; // oPos
const DWORD source = 0xA0E40000;      // c0
const DWORD constantTableTag = 0x42415443;
const DWORD relativeSource = 0xA0E42000; // c0[a0.x]
const DWORD addressToken = 0xB0000000;   // a0.x
const DWORD predicate = 0xB0E41000;      // p0

// The compiled shader with one token replaced.
Bytes WithToken(Bytes shader, size_t at, DWORD token) {
    std::memcpy(&shader[at * sizeof(DWORD)], &token, sizeof(token));
    return shader;
}

TEST(ShaderByteCode, WholeStreamsOfTheRightKindPass) {
    const Bytes vertex = ReadFileBytes(vertexShaderPath);
    const Bytes fragment = ReadFileBytes(fragmentShaderPath);
    ASSERT_FALSE(vertex.empty());
    ASSERT_FALSE(fragment.empty());
    EXPECT_TRUE(IsShaderByteCode(vertex.data(), vertex.size(), ShaderKind::Vertex));
    EXPECT_TRUE(IsShaderByteCode(fragment.data(), fragment.size(), ShaderKind::Fragment));

    const std::vector<DWORD> accepted[] = {
        {vs20, endToken},
        {0xFFFE0300, movWithTwoParameters, destination, source, endToken},
        // Bytes after the end token are not read.
        {vs20, endToken, 0xDEADBEEF},
        // Shader model 1: no lengths in the opcode; def carries four values
        // of any bits, one of them looking like the end token.
        {0xFFFE0101, 0x00000051, 0xA00F0000, 0x3F800000, endToken, 0x00000000, 0x0F000000,
         0x00000001, destination, source, endToken},
        // A relative source and its address token; a predicate before the sources.
        {0xFFFE0300, 0x03000001, destination, relativeSource, addressToken, endToken},
        {0xFFFE0201, 0x13000001, destination, predicate, source, endToken},
    };
    for (const std::vector<DWORD>& tokens : accepted) {
        const Bytes bytes = TokenBytes(tokens);
        EXPECT_TRUE(IsShaderByteCode(bytes.data(), bytes.size(), ShaderKind::Vertex))
            << std::hex << tokens[0] << " with " << tokens.size() << " tokens";
    }
}

TEST(ShaderByteCode, TruncatedForeignOrMalformedStreamsFail) {
    const Bytes vertex = ReadFileBytes(vertexShaderPath);
    const Bytes fragment = ReadFileBytes(fragmentShaderPath);
    ASSERT_GT(vertex.size(), 16u);
    ASSERT_GT(fragment.size(), 54 * sizeof(DWORD));
    ASSERT_EQ(TokenBytes({movWithTwoParameters}),
              Bytes(fragment.begin() + 53 * sizeof(DWORD), fragment.begin() + 54 * sizeof(DWORD)));
    const struct {
        const char* what;
        Bytes bytes;
        ShaderKind kind;
    } rejected[] = {
        {"no bytes", {}, ShaderKind::Vertex},
        {"one token", TokenBytes({vs20}), ShaderKind::Vertex},
        {"size not a multiple of four", Bytes(vertex.begin(), vertex.begin() + 9),
         ShaderKind::Vertex},
        {"cut in its constant table", Bytes(vertex.begin(), vertex.begin() + 16),
         ShaderKind::Vertex},
        {"without its end token", Bytes(vertex.begin(), vertex.end() - 4), ShaderKind::Vertex},
        {"vertex shader as fragment shader", vertex, ShaderKind::Fragment},
        {"fragment version for the vertex step", TokenBytes({ps20, endToken}), ShaderKind::Vertex},
        {"version 3.1", TokenBytes({0xFFFE0301, endToken}), ShaderKind::Vertex},
        {"version 4.0", TokenBytes({0xFFFF0400, endToken}), ShaderKind::Fragment},
        {"version 0.0", TokenBytes({0xFFFE0000, endToken}), ShaderKind::Vertex},
        {"comment past the end", TokenBytes({vs20, 0x0005FFFE, 0x42415443, endToken}),
         ShaderKind::Vertex},
        {"instruction past the end", TokenBytes({vs20, 0x03000009, destination, source, endToken}),
         ShaderKind::Vertex},
        {"parameter where an instruction starts", TokenBytes({vs20, destination, endToken}),
         ShaderKind::Vertex},
        {"no end token", TokenBytes({vs20, movWithTwoParameters, destination, source}),
         ShaderKind::Vertex},
        {"text", {'v', 's', '_', '2', '_', '0', '\n', 'm'}, ShaderKind::Vertex},
        {"constant table shorter than its header",
         TokenBytes({vs20, 0x0007FFFE, constantTableTag, 28, 0, 0, 0, 0, 0, endToken}),
         ShaderKind::Vertex},
        // D3DX looks for the table token by token: this value of def reads
        // to it as a comment that runs past the end.
        {"def value that D3DX takes for a comment",
         TokenBytes({vs20, 0x05000051, 0xA00F0000, 0x0100FFFE, 0, 0, 0, endToken}),
         ShaderKind::Vertex},
        // Here the same search jumps over a broken table that a reader going
        // instruction by instruction would find.
        {"broken table only an instruction walk finds",
         TokenBytes({vs20, 0x05000051, 0xA00F0000, 0x0005FFFE, 0, 0, 0, 0x0002FFFE,
                     constantTableTag, 0, endToken}),
         ShaderKind::Vertex},
        // Direct3D's parser reads the operands its own table names: an
        // opcode it does not know, or a length other than the operands.
        {"opcode no version defines", WithToken(fragment, 53, 0x02000201), ShaderKind::Fragment},
        {"opcode of a later version",
         TokenBytes({vs20, 0x0300005F, destination, source, source, endToken}), ShaderKind::Vertex},
        {"length short of the operands",
         TokenBytes({vs20, 0x71C00051, 0xA00F0000, 0x10, 0, 0x13, 0, endToken}),
         ShaderKind::Vertex},
        {"length past the operands",
         TokenBytes({vs20, 0x03000001, destination, source, source, endToken}), ShaderKind::Vertex},
        {"relative source without its address token",
         TokenBytes({vs20, 0x02000001, destination, relativeSource, endToken}), ShaderKind::Vertex},
        {"relative source where the version has none",
         TokenBytes({ps20, 0x03000001, 0x800F0000, relativeSource, addressToken, endToken}),
         ShaderKind::Fragment},
        {"shader model 1 parameters past the operands",
         TokenBytes({0xFFFE0101, 0x00000001, destination, source, source, endToken}),
         ShaderKind::Vertex},
    };
    for (const auto& bad : rejected) {
        EXPECT_FALSE(IsShaderByteCode(bad.bytes.data(), bad.bytes.size(), bad.kind)) << bad.what;
    }
    EXPECT_FALSE(IsShaderByteCode(nullptr, 8, ShaderKind::Vertex));
}

// One structure constant with one member and a default value, laid out as
// the shader tool lays out its tables. Offsets count bytes from the header.
std::vector<DWORD> ConstantTable() {
    return {// The header: size, creator, version, one constant at 28, flags, target.
            28, 104, vs20, 1, 28, 0, 108,
            // The constant: name, float4 registers from 0, one register, type, default.
            116, 0x00000002, 1, 48, 88,
            // Its type: a structure of one element with one member at 64.
            0x00000005, 0x00040001, 0x00010001, 64,
            // The member: name, type; a float vector of one element.
            120, 72, 0x00030001, 0x00040001, 1, 0,
            // The default value, one register.
            0x3F800000, 0x3F800000, 0x3F800000, 0x3F800000,
            // The texts: "t", "vs_2_0", "s", "m".
            't', 0x325F7376, 0x0000305F, 's', 'm'};
}

Bytes ShaderWithTable(const std::vector<DWORD>& table) {
    std::vector<DWORD> tokens = {vs20, 0xFFFE | static_cast<DWORD>(table.size() + 1) << 16,
                                 constantTableTag};
    tokens.insert(tokens.end(), table.begin(), table.end());
    tokens.push_back(endToken);
    return TokenBytes(tokens);
}

// D3DX follows every offset and count of the table without a bound, and
// SetDefaults copies the default's registers: each must stay inside.
TEST(ShaderByteCode, EachFieldOfTheConstantTableMustStayInside) {
    const struct {
        const char* what;
        size_t word;
        DWORD value;
        bool passes;
    } fields[] = {
        {"whole table", 0, 28, true},
        {"header size", 0, 24, false},
        {"creator past the end", 1, 124, false},
        {"creator on the last zero", 1, 123, true},
        {"target past the end", 6, 124, false},
        {"constant count running out", 3, 2, false},
        {"constant count wrapping 32 bits", 3, 0x0CCCCCCD, false},
        {"constant records wrapping 32 bits", 4, 0xFFFFFFF0, false},
        {"constant records past the end", 4, 108, false},
        {"constant name past the end", 7, 124, false},
        {"type past the end", 10, 112, false},
        {"type wrapping 32 bits", 10, 0xFFFFFFF8, false},
        {"members past the end", 15, 120, false},
        {"member count running out", 14, 0x00100001, false},
        {"member name past the end", 16, 124, false},
        {"member name without its zero", 30, 0x6D6D6D6D, false},
        {"member type past the end", 17, 116, false},
        {"member of its own type", 17, 48, false},
        {"array of too many structures", 14, 0x0001FFFF, false},
        {"default value past the end", 11, 112, false},
        {"default value up to the end", 11, 108, true},
        {"default value short of its registers", 9, 3, false},
        {"default value of two registers", 9, 2, true},
        {"no default value", 11, 0, true},
    };
    for (const auto& field : fields) {
        std::vector<DWORD> table = ConstantTable();
        table[field.word] = field.value;
        const Bytes bytes = ShaderWithTable(table);
        EXPECT_EQ(field.passes, IsShaderByteCode(bytes.data(), bytes.size(), ShaderKind::Vertex))
            << field.what;
    }
}

// ---- The shader steps -----------------------------------------------------

const HWND owner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x5150));

class ShaderSteps : public ::testing::Test {
protected:
    void SetUp() override {
        g_graphics.direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(nullptr, g_graphics.direct3D);
        ASSERT_TRUE(CreateDevice(owner));
        g_graphics.window = owner;
        g_graphics.material.vertexShaderPath = vertexShaderPath;
        g_graphics.material.fragmentShaderPath = fragmentShaderPath;
    }

    void ExpectOneBox(const char* text, const char* caption) {
        ASSERT_EQ(1u, messageBoxes.boxes.size());
        EXPECT_EQ(owner, messageBoxes.boxes[0].owner);
        EXPECT_EQ(text, messageBoxes.boxes[0].text);
        EXPECT_EQ(caption, messageBoxes.boxes[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), messageBoxes.boxes[0].style);
    }

    void ExpectNoVertexObjects() {
        const Material& material = g_graphics.material;
        EXPECT_EQ(nullptr, material.vertexShaderObject);
        EXPECT_EQ(nullptr, material.vertexConstantTable);
        EXPECT_EQ(nullptr, material.worldToViewHandle);
        EXPECT_EQ(nullptr, material.viewToScreenHandle);
        EXPECT_EQ(nullptr, material.modelToWorldHandle);
    }

    FakeDirect3DScope d3d;
    MessageBoxCapture messageBoxes;
};

TEST_F(ShaderSteps, BothShadersGiveObjectsTablesAndHandles) {
    EXPECT_TRUE(LoadFragmentShader());
    EXPECT_TRUE(LoadVertexShader());
    EXPECT_TRUE(messageBoxes.boxes.empty());
    const Material& material = g_graphics.material;
    EXPECT_NE(nullptr, material.fragmentShaderObject);
    EXPECT_NE(nullptr, material.fragmentConstantTable);
    EXPECT_NE(nullptr, material.colorModifierHandle);
    EXPECT_NE(nullptr, material.vertexShaderObject);
    EXPECT_NE(nullptr, material.vertexConstantTable);
    EXPECT_NE(nullptr, material.worldToViewHandle);
    EXPECT_NE(nullptr, material.viewToScreenHandle);
    EXPECT_NE(nullptr, material.modelToWorldHandle);
    const std::vector<std::string> expected = {
        "CreatePixelShader(code)",
        "D3DXGetShaderConstantTable(ps#1 code)",
        "ct#1.GetConstantByName(null, g_colorModifier)",
        "CreateVertexShader(code)",
        "D3DXGetShaderConstantTable(vs#1 code)",
        "ct#2.GetConstantByName(null, g_transform_worldToView)",
        "ct#2.GetConstantByName(null, g_transform_viewToScreen)",
        "ct#2.GetConstantByName(null, g_transform_modelToWorld)",
    };
    const std::vector<std::string> calls(d3d.log.end() - expected.size(), d3d.log.end());
    EXPECT_EQ(expected, calls);
}

TEST_F(ShaderSteps, AMissingConstantGivesANullHandleAndTheStepSucceeds) {
    d3d.constantNames.erase("g_transform_modelToWorld");
    d3d.constantNames.erase("g_colorModifier");
    EXPECT_TRUE(LoadFragmentShader());
    EXPECT_TRUE(LoadVertexShader());
    EXPECT_TRUE(messageBoxes.boxes.empty());
    const Material& material = g_graphics.material;
    EXPECT_NE(nullptr, material.fragmentShaderObject);
    EXPECT_EQ(nullptr, material.colorModifierHandle);
    EXPECT_NE(nullptr, material.vertexShaderObject);
    EXPECT_NE(nullptr, material.worldToViewHandle);
    EXPECT_NE(nullptr, material.viewToScreenHandle);
    EXPECT_EQ(nullptr, material.modelToWorldHandle);
}

TEST_F(ShaderSteps, AMissingFileShowsTheBoxAndLeavesEverythingNull) {
    g_graphics.material.vertexShaderPath = "data/shaders/no_such.shader";
    EXPECT_FALSE(LoadVertexShader());
    ExpectOneBox("DirectX failed to create the vertex shader", "No Vertex Shader");
    ExpectNoVertexObjects();
    EXPECT_EQ(0, d3d.CountCalls("CreateVertexShader"));
    EXPECT_EQ(0, d3d.CountCalls("D3DXGetShaderConstantTable"));

    messageBoxes.boxes.clear();
    g_graphics.material.fragmentShaderPath = ""; // the material named no shader
    EXPECT_FALSE(LoadFragmentShader());
    ExpectOneBox("DirectX failed to create the fragment shader", "No Fragment Shader");
    EXPECT_EQ(nullptr, g_graphics.material.fragmentShaderObject);
    EXPECT_EQ(nullptr, g_graphics.material.fragmentConstantTable);
    EXPECT_EQ(nullptr, g_graphics.material.colorModifierHandle);
    EXPECT_EQ(0, d3d.CountCalls("CreatePixelShader"));
}

TEST_F(ShaderSteps, AFailedCreationStillGetsTheTableAndHandles) {
    d3d.Fail("CreateVertexShader", E_OUTOFMEMORY);
    EXPECT_FALSE(LoadVertexShader());
    ExpectOneBox("DirectX failed to create the vertex shader", "No Vertex Shader");
    const Material& material = g_graphics.material;
    EXPECT_EQ(nullptr, material.vertexShaderObject);
    EXPECT_NE(nullptr, material.vertexConstantTable);
    EXPECT_NE(nullptr, material.worldToViewHandle);
    EXPECT_NE(nullptr, material.viewToScreenHandle);
    EXPECT_NE(nullptr, material.modelToWorldHandle);

    messageBoxes.boxes.clear();
    d3d.Fail("CreatePixelShader", D3DERR_INVALIDCALL);
    EXPECT_FALSE(LoadFragmentShader());
    ExpectOneBox("DirectX failed to create the fragment shader", "No Fragment Shader");
    EXPECT_EQ(nullptr, material.fragmentShaderObject);
    EXPECT_NE(nullptr, material.fragmentConstantTable);
    EXPECT_NE(nullptr, material.colorModifierHandle);
}

// The compiled shader with its table's constant count replaced: the table
// starts after the version, comment and tag tokens.
Bytes WithConstantCount(Bytes shader, DWORD count) {
    std::memcpy(&shader[3 * sizeof(DWORD) + 12], &count, sizeof(count));
    return shader;
}

// Direct3D and D3DX read byte code without a length: a short or foreign file
// must fail like a failed creation without either of them seeing it.
TEST_F(ShaderSteps, MalformedFilesNeverReachDirect3D) {
    const Bytes vertex = ReadFileBytes(vertexShaderPath);
    ASSERT_GT(vertex.size(), 100u);
    const struct {
        const char* name;
        Bytes bytes;
    } files[] = {
        {"empty.shader", {}},
        {"truncated.shader", Bytes(vertex.begin(), vertex.begin() + vertex.size() / 2)},
        {"garbage.shader", Pattern(256)},
        {"fragment.shader", ReadFileBytes(fragmentShaderPath)},
        {"huge-constant-count.shader", WithConstantCount(vertex, 0xFFFFFFFF)},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        messageBoxes.boxes.clear();
        const std::string path = WriteTemporaryFile(file.name, file.bytes);
        g_graphics.material.vertexShaderPath = path;
        EXPECT_FALSE(LoadVertexShader());
        ExpectOneBox("DirectX failed to create the vertex shader", "No Vertex Shader");
        ExpectNoVertexObjects();
        DeleteFileA(path.c_str());
    }
    EXPECT_EQ(0, d3d.CountCalls("CreateVertexShader"));
    EXPECT_EQ(0, d3d.CountCalls("D3DXGetShaderConstantTable"));
}

// Shutdown releases the material before the device; the renderer's record
// calls the release again at exit, which must find nothing left to release.
TEST_F(ShaderSteps, ObjectsGoBeforeTheDeviceInOrderAndOnlyOnce) {
    ASSERT_TRUE(LoadFragmentShader());
    ASSERT_TRUE(LoadVertexShader());
    const size_t before = d3d.log.size();
    ShutDownGraphics();
    const std::vector<std::string> releases = {
        "vs#1.Release() -> 0", "ps#1.Release() -> 0", "ct#2.Release() -> 0",
        "ct#1.Release() -> 0", "Release() -> 0",
    };
    std::vector<std::string> shutdown;
    for (size_t i = before; i < d3d.log.size(); ++i) {
        const std::string& call = d3d.log[i];
        if (call.find("Release()") != std::string::npos && call.compare(0, 4, "d3d#") != 0) {
            shutdown.push_back(call);
        }
    }
    EXPECT_EQ(releases, shutdown);

    const size_t afterShutdown = d3d.log.size();
    g_graphics.material.ReleaseObjects();
    EXPECT_EQ(afterShutdown, d3d.log.size());
    EXPECT_EQ(0, d3d.callsAfterRelease);
    EXPECT_EQ(0, d3d.overReleases);
    const Material& material = g_graphics.material;
    EXPECT_EQ(nullptr, material.vertexShaderObject);
    EXPECT_EQ(nullptr, material.fragmentShaderObject);
    EXPECT_EQ(nullptr, material.vertexConstantTable);
    EXPECT_EQ(nullptr, material.fragmentConstantTable);
}

} // namespace
