// Reading compiled shader files and the two shader steps, with Windows calls
// made to fail on demand and Direct3D replaced by recording doubles.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "app/windows_error.h"
#include "graphics/graphics_context.h"
#include "material/shader_file.h"
#include "material/shader_steps.h"
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

int g_fakedCalls;
LONGLONG g_fakedSize;

// A size and a read that succeed with a result the reader refuses.
BOOL WINAPI GetFileSizeExFaked(HANDLE, PLARGE_INTEGER size) {
    ++g_fakedCalls;
    size->QuadPart = g_fakedSize;
    return TRUE;
}
BOOL WINAPI ReadFileShort(HANDLE, LPVOID, DWORD size, LPDWORD read, LPOVERLAPPED) {
    ++g_fakedCalls;
    *read = size - 1;
    return TRUE;
}

// A failing call gives text + its Windows error text. A faked one (fake not
// null) succeeds with a result the reader refuses, GetFileSizeEx with size,
// and gives text + "the shader program " + the path.
struct FailingStep {
    const char* function;
    DWORD error;
    const char* text;
    void* fake;
    LONGLONG size;
};

void* const fakedSize = reinterpret_cast<void*>(&GetFileSizeExFaked);

const FailingStep failingSteps[] = {
    {"CreateFileA", ERROR_ACCESS_DENIED, "Windows failed to open the shader file: ", nullptr, 0},
    {"GetFileSizeEx", ERROR_INVALID_HANDLE, "Windows failed to get the size of shader: ", nullptr,
     0},
    {"ReadFile", ERROR_LOCK_VIOLATION, "Windows failed to read the contents of shader: ", nullptr,
     0},
    // The size's low part alone would be 64 bytes.
    {"GetFileSizeEx", 0, "Refused to read 4294967360 bytes, more than any shader holds, in ",
     fakedSize, 0x100000040LL},
    {"GetFileSizeEx", 0, "Refused to read 4194305 bytes, more than any shader holds, in ",
     fakedSize, (4 << 20) + 1},
    {"GetFileSizeEx", 0, "Read only 64 of 4194304 bytes of ", fakedSize, 4 << 20},
    {"ReadFile", 0, "Read only 63 of 64 bytes of ", reinterpret_cast<void*>(&ReadFileShort), 0},
};

// The step's call failing, or faked, while in scope.
struct FailedStep {
    explicit FailedStep(const FailingStep& step) {
        g_fakedCalls = 0;
        g_fakedSize = step.size;
        if (step.fake != nullptr) {
            faked.emplace("kernel32.dll", step.function, step.fake);
        } else {
            failing.emplace(step.function, step.error);
        }
    }
    int calls() const { return failing ? failing->calls() : g_fakedCalls; }

    std::optional<FailingCall> failing;
    std::optional<ImportPatch> faked;
};

TEST(LoadShaderFile, EachFailedCallGivesItsTextAndNoBuffer) {
    const std::string path = WriteTemporaryFile("failing.shader", Pattern(64));
    for (const FailingStep& step : failingSteps) {
        SCOPED_TRACE(step.text);
        FailedStep failed(step);
        void* buffer = reinterpret_cast<void*>(1);
        std::string message = untouched;
        DWORD size = 1;
        EXPECT_FALSE(LoadShaderFile(path.c_str(), buffer, &message, &size));
        EXPECT_EQ(nullptr, buffer);
        EXPECT_EQ(0u, size);
        EXPECT_EQ(step.text +
                      (step.fake ? "the shader program " + path : GetWindowsErrorText(step.error)),
                  message);
        EXPECT_EQ(1, failed.calls());
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
        SCOPED_TRACE(step.text);
        FailedStep failed(step);
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
        "GetDeviceCaps()",
        "CreatePixelShader(code)",
        "D3DXGetShaderConstantTable(ps#1 code)",
        "ct#1.GetConstantByName(null, g_colorModifier)",
        "ct#1.GetConstantDesc(g_colorModifier)",
        "GetDeviceCaps()",
        "CreateVertexShader(code)",
        "D3DXGetShaderConstantTable(vs#1 code)",
        "ct#2.GetConstantByName(null, g_transform_worldToView)",
        "ct#2.GetConstantDesc(g_transform_worldToView)",
        "ct#2.GetConstantByName(null, g_transform_viewToScreen)",
        "ct#2.GetConstantDesc(g_transform_viewToScreen)",
        "ct#2.GetConstantByName(null, g_transform_modelToWorld)",
        "ct#2.GetConstantDesc(g_transform_modelToWorld)",
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

// The frame sets the transforms with SetMatrix and the color modifier with
// SetFloatArray of 3: a constant of any other shape counts as missing.
TEST_F(ShaderSteps, AConstantOfAShapeTheFrameDoesNotSetGivesANullHandle) {
    const Material& m = g_graphics.material;
    const struct {
        const char* name;
        D3DXCONSTANT_DESC shape;
        const D3DXHANDLE& handle;
        bool kept;
    } shapes[] = {
        {"g_colorModifier", ConstantOf(D3DXPC_SCALAR, 1, 1), m.colorModifierHandle, true},
        {"g_colorModifier", ConstantOf(D3DXPC_MATRIX_ROWS, 1, 3), m.colorModifierHandle, false},
        {"g_colorModifier", ConstantOf(D3DXPC_VECTOR, 1, 3, 2), m.colorModifierHandle, false},
        {"g_colorModifier", ConstantOf(D3DXPC_VECTOR, 1, 3, 1, D3DXPT_INT), m.colorModifierHandle,
         false},
        {"g_transform_worldToView", ConstantOf(D3DXPC_MATRIX_ROWS, 4, 4), m.worldToViewHandle,
         true},
        {"g_transform_worldToView", ConstantOf(D3DXPC_VECTOR, 1, 4), m.worldToViewHandle, false},
        {"g_transform_viewToScreen", ConstantOf(D3DXPC_MATRIX_ROWS, 1, 16), m.viewToScreenHandle,
         false},
        {"g_transform_viewToScreen", ConstantOf(D3DXPC_MATRIX_COLUMNS, 16, 1), m.viewToScreenHandle,
         false},
        {"g_transform_modelToWorld", ConstantOf(D3DXPC_MATRIX_COLUMNS, 4, 4, 2),
         m.modelToWorldHandle, false},
        {"g_transform_modelToWorld", ConstantOf(D3DXPC_MATRIX_COLUMNS, 4, 4, 1, D3DXPT_INT),
         m.modelToWorldHandle, false},
        {"g_transform_modelToWorld", ConstantOf(D3DXPC_STRUCT, 0, 0, 2, D3DXPT_VOID),
         m.modelToWorldHandle, false},
    };
    const ConstantShapes defaults = d3d.constantShapes;
    for (const auto& row : shapes) {
        d3d.constantShapes[row.name] = row.shape;
        EXPECT_TRUE(LoadFragmentShader() && LoadVertexShader());
        EXPECT_EQ(row.kept, row.handle != nullptr) << row.name;
        g_graphics.material.ReleaseObjects();
        d3d.constantShapes = defaults;
    }
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
