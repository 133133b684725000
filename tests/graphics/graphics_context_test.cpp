#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "graphics/graphics_context.h"
#include "tests/support/fake_direct3d.h"
#include "tests/support/message_boxes.h"
#include "tests/support/win32_fakes.h"

// These tests run in the program's folder, so that start-up finds the real
// material file and shaders and goes through every step.

namespace {

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// Index of the first log entry that starts with `prefix`, or the log's size.
size_t FirstCall(const std::vector<std::string>& log, const std::string& prefix) {
    for (size_t i = 0; i < log.size(); ++i) {
        if (log[i].compare(0, prefix.size(), prefix) == 0) {
            return i;
        }
    }
    return log.size();
}

class GraphicsContextTest : public ::testing::Test {
protected:
    FakeDirect3DScope d3d;
    MessageBoxCapture messageBoxes;
};

void ExpectBox(const CapturedMessageBox& box, HWND owner, const char* text, const char* caption) {
    EXPECT_EQ(owner, box.owner);
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(caption, box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), box.style);
}

} // namespace

// ---- The two failures that stop start-up ------------------------------------

using GraphicsStartUp = GraphicsContextTest;

TEST_F(GraphicsStartUp, WithoutAnInterfaceOneBoxAndNoDevice) {
    d3d.Fail("Direct3DCreate9", E_FAIL);

    EXPECT_FALSE(InitializeGraphics(FakeWindow()));

    ASSERT_EQ(1u, messageBoxes.boxes.size());
    ExpectBox(messageBoxes.boxes[0], FakeWindow(), "DirectX failed to create a Direct3D9 interface",
              "No D3D9 Interface");
    EXPECT_EQ(std::vector<std::string>{"Direct3DCreate9(32)"}, d3d.log);
    EXPECT_EQ(nullptr, g_graphics.direct3D);
    EXPECT_EQ(nullptr, g_graphics.device);
    EXPECT_EQ(nullptr, g_graphics.window);
}

TEST_F(GraphicsStartUp, WithoutADeviceOneBoxAndTheInterfaceReleased) {
    d3d.Fail("d3d.CreateDevice", D3DERR_NOTAVAILABLE);

    EXPECT_FALSE(InitializeGraphics(FakeWindow()));

    ASSERT_EQ(1u, messageBoxes.boxes.size());
    ExpectBox(messageBoxes.boxes[0], FakeWindow(), "DirectX failed to create a Direct3D9 device",
              "No D3D9 Device");
    EXPECT_EQ((std::vector<std::string>{"Direct3DCreate9(32)", "d3d#1.CreateDevice(0, 1, 0x40)",
                                        "d3d#1.Release() -> 0"}),
              d3d.log);
    EXPECT_EQ(nullptr, g_graphics.direct3D);
    EXPECT_EQ(nullptr, g_graphics.device);
    EXPECT_EQ(nullptr, g_graphics.window);
}

// Start-up after a failed window goes on with a null handle and relies on
// the device failing for it. Wine's Direct3D would create one, so this runs on
// the real thing: a device there would leave the process looping windowless.
TEST(GraphicsStartUpOnDirect3D, NullWindowFailsLikeARefusedDevice) {
    MessageBoxCapture messageBoxes;

    EXPECT_FALSE(InitializeGraphics(nullptr));

    ASSERT_EQ(1u, messageBoxes.boxes.size());
    ExpectBox(messageBoxes.boxes[0], nullptr, "DirectX failed to create a Direct3D9 device",
              "No D3D9 Device");
    EXPECT_EQ(nullptr, g_graphics.direct3D);
    EXPECT_EQ(nullptr, g_graphics.device);
    EXPECT_EQ(nullptr, g_graphics.window);
}

// ---- The device and the rest of start-up ------------------------------------

TEST_F(GraphicsStartUp, DeviceIsAWindowed800By600HardwareDevice) {
    ASSERT_TRUE(InitializeGraphics(FakeWindow()));

    ASSERT_EQ(1u, d3d.deviceCreations.size());
    const DeviceCreation& creation = d3d.deviceCreations[0];
    EXPECT_EQ(0u, creation.adapter);
    EXPECT_EQ(D3DDEVTYPE_HAL, creation.deviceType);
    EXPECT_EQ(FakeWindow(), creation.focusWindow);
    EXPECT_EQ(static_cast<DWORD>(D3DCREATE_HARDWARE_VERTEXPROCESSING), creation.behaviorFlags);
    const D3DPRESENT_PARAMETERS& parameters = creation.parameters;
    EXPECT_EQ(800u, parameters.BackBufferWidth);
    EXPECT_EQ(600u, parameters.BackBufferHeight);
    EXPECT_EQ(D3DFMT_X8R8G8B8, parameters.BackBufferFormat);
    EXPECT_EQ(1u, parameters.BackBufferCount);
    EXPECT_EQ(D3DMULTISAMPLE_NONE, parameters.MultiSampleType);
    EXPECT_EQ(0u, parameters.MultiSampleQuality);
    EXPECT_EQ(D3DSWAPEFFECT_DISCARD, parameters.SwapEffect);
    EXPECT_EQ(FakeWindow(), parameters.hDeviceWindow);
    EXPECT_EQ(TRUE, parameters.Windowed);
    EXPECT_EQ(TRUE, parameters.EnableAutoDepthStencil);
    EXPECT_EQ(D3DFMT_D16, parameters.AutoDepthStencilFormat);
    EXPECT_EQ(0u, parameters.Flags);
    EXPECT_EQ(0u, parameters.FullScreen_RefreshRateInHz);
    EXPECT_EQ(static_cast<UINT>(D3DPRESENT_INTERVAL_DEFAULT), parameters.PresentationInterval);
    EXPECT_EQ(d3d.device()->com(), g_graphics.device);
    EXPECT_EQ(d3d.interfaces[0]->com(), g_graphics.direct3D);
    EXPECT_EQ(FakeWindow(), g_graphics.window);
}

// The clock starts before Direct3D, so the first frame's time covers all of
// start-up; then material, fragment shader, vertex shader, cube, square.
TEST_F(GraphicsStartUp, StepsRunInOrder) {
    SequenceLog logged(d3d.log);

    ASSERT_TRUE(InitializeGraphics(FakeWindow()));

    const std::vector<std::string>& log = d3d.log;
    EXPECT_EQ(0u, FirstCall(log, "QueryPerformanceCounter"));
    EXPECT_LT(FirstCall(log, "QueryPerformanceCounter"), FirstCall(log, "Direct3DCreate9"));
    EXPECT_LT(FirstCall(log, "d3d#1.CreateDevice"), FirstCall(log, "CreatePixelShader"));
    EXPECT_LT(FirstCall(log, "CreatePixelShader"), FirstCall(log, "CreateVertexShader"));
    EXPECT_LT(FirstCall(log, "CreateVertexShader"), FirstCall(log, "CreateVertexBuffer"));
    ASSERT_EQ(2u, d3d.vertexBuffers.size());
    EXPECT_EQ(d3d.vertexBuffers[0]->com(), g_graphics.cube.vertexBuffer);
    EXPECT_EQ(d3d.vertexBuffers[1]->com(), g_graphics.square.vertexBuffer);
    EXPECT_TRUE(g_graphics.clock.isInitialized);
    EXPECT_TRUE(messageBoxes.boxes.empty());
}

// Failures of the material, shader and mesh steps are reported by those
// steps, owned by the window, and never stop start-up.
TEST_F(GraphicsStartUp, SceneFailuresAreOwnedByTheWindowAndDoNotStopStartUp) {
    for (const char* call : {"CreatePixelShader", "CreateVertexShader", "CreateVertexDeclaration",
                             "CreateVertexBuffer", "CreateIndexBuffer"}) {
        d3d.Fail(call, E_OUTOFMEMORY);
    }
    g_graphics.camera.velocity = {1.0f, 2.0f, 3.0f};

    EXPECT_TRUE(InitializeGraphics(FakeWindow()));

    ASSERT_GE(messageBoxes.boxes.size(), 2u);
    for (const CapturedMessageBox& box : messageBoxes.boxes) {
        EXPECT_EQ(FakeWindow(), box.owner) << box.caption;
    }
    const Camera& camera = g_graphics.camera;
    EXPECT_EQ(0.0f, camera.position.x);
    EXPECT_EQ(0.0f, camera.position.y);
    EXPECT_EQ(-10.0f, camera.position.z);
    EXPECT_EQ(Bits(0.1f), Bits(camera.nearPlane));
    EXPECT_EQ(Bits(100.0f), Bits(camera.farPlane));
    EXPECT_EQ(0x3F860A92u, Bits(camera.fieldOfView));
    // The camera's movement state is not start-up's to reset.
    EXPECT_EQ(1.0f, camera.velocity.x);
    EXPECT_EQ(2.0f, camera.velocity.y);
    EXPECT_EQ(3.0f, camera.velocity.z);
}

// ---- Shutdown and the end of the process ------------------------------------

using GraphicsShutDown = GraphicsContextTest;

TEST_F(GraphicsShutDown, ReleasesTheDeviceBeforeTheInterface) {
    ASSERT_TRUE(InitializeGraphics(FakeWindow()));

    EXPECT_TRUE(ShutDownGraphics());

    const std::vector<std::string>& log = d3d.log;
    const size_t device = FirstCall(log, "Release() -> 0");
    ASSERT_LT(device, log.size());
    EXPECT_EQ(device + 1, FirstCall(log, "d3d#1.Release() -> 0"));
    EXPECT_EQ(nullptr, g_graphics.device);
    EXPECT_EQ(nullptr, g_graphics.direct3D);
    EXPECT_EQ(nullptr, g_graphics.window);
}

TEST_F(GraphicsShutDown, SecondShutDownReleasesNothingAndClearsTheWindow) {
    ASSERT_TRUE(InitializeGraphics(FakeWindow()));
    ASSERT_TRUE(ShutDownGraphics());
    const size_t entries = d3d.log.size();
    g_graphics.window = FakeWindow();

    EXPECT_TRUE(ShutDownGraphics());

    EXPECT_EQ(entries, d3d.log.size());
    EXPECT_EQ(nullptr, g_graphics.window);
    EXPECT_EQ(0, d3d.overReleases);
}

// After a normal shutdown the meshes and the material are torn down once
// more when the process ends; nothing may reach the released device, and in
// the end every object has been released exactly to 0.
TEST_F(GraphicsShutDown, ProcessExitAfterShutDownTouchesNoReleasedDevice) {
    ASSERT_TRUE(InitializeGraphics(FakeWindow()));
    RenderFrame();
    ASSERT_TRUE(ShutDownGraphics());

    RunProcessExitTeardown();

    EXPECT_EQ(0, d3d.callsAfterRelease);
    EXPECT_EQ(0, d3d.overReleases);
    for (const auto& list :
         {std::vector<const FakeObject*>(d3d.vertexBuffers.begin(), d3d.vertexBuffers.end()),
          std::vector<const FakeObject*>(d3d.indexBuffers.begin(), d3d.indexBuffers.end()),
          std::vector<const FakeObject*>(d3d.declarations.begin(), d3d.declarations.end()),
          std::vector<const FakeObject*>(d3d.constantTables.begin(), d3d.constantTables.end())}) {
        for (const FakeObject* object : list) {
            EXPECT_EQ(0, object->refCount()) << object->name();
        }
    }
    EXPECT_EQ(0, d3d.vertexShaders[0]->refCount());
    EXPECT_EQ(0, d3d.pixelShaders[0]->refCount());
    EXPECT_EQ(0, d3d.device()->refCount());
    EXPECT_EQ(0, d3d.interfaces[0]->refCount());
}

// When shutdown could not run (the window would not go), the process end
// tears down the square, the cube and then the material, into a device that
// is still alive.
TEST_F(GraphicsShutDown, ProcessExitWithoutShutDownReleasesSquareCubeMaterial) {
    ASSERT_TRUE(InitializeGraphics(FakeWindow()));
    d3d.log.clear();

    RunProcessExitTeardown();

    EXPECT_EQ(0, d3d.callsAfterRelease);
    const std::vector<std::string>& log = d3d.log;
    EXPECT_LT(FirstCall(log, "vb#2.Release"), FirstCall(log, "vb#1.Release"));
    EXPECT_LT(FirstCall(log, "vb#1.Release"), FirstCall(log, "vs#1.Release"));
    EXPECT_LT(FirstCall(log, "vb#1.Release"), FirstCall(log, "ps#1.Release"));
    EXPECT_LT(FirstCall(log, "vs#1.Release"), log.size());
    EXPECT_EQ(1, d3d.device()->refCount());
}
