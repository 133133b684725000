// Teardown of a mesh: the fixed order, only what exists, and never a call on
// a device whose last reference is gone, on every way out of the process.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/mesh/fake_device_start.h"
#include "tests/support/message_boxes.h"

namespace {

std::vector<std::string> LogSince(const FakeDirect3DScope& d3d, size_t first) {
    return std::vector<std::string>(d3d.log.begin() + first, d3d.log.end());
}

TEST(MeshTeardown, ReleasesBuffersThenUnbindsAndReleasesTheDeclarationOnce) {
    FakeDirect3DScope d3d;
    MessageBoxCapture messageBoxes;
    ASSERT_NE(nullptr, StartFakeDevice(d3d));
    g_graphics.cube.Initialize(Cube);

    size_t first = d3d.log.size();
    g_graphics.cube.ReleaseObjects();
    EXPECT_EQ((std::vector<std::string>{"vb#1.Release() -> 0", "ib#1.Release() -> 0",
                                        "SetVertexDeclaration(null)", "decl#1.Release() -> 0"}),
              LogSince(d3d, first));
    EXPECT_EQ(nullptr, g_graphics.cube.vertexBuffer);
    EXPECT_EQ(nullptr, g_graphics.cube.indexBuffer);
    EXPECT_EQ(nullptr, g_graphics.cube.vertexDeclaration);

    first = d3d.log.size();
    g_graphics.cube.ReleaseObjects();
    EXPECT_TRUE(LogSince(d3d, first).empty());
}

TEST(MeshTeardown, APartlyBuiltMeshReleasesOnlyWhatExists) {
    const struct {
        const char* failingCall;
        std::vector<std::string> teardown;
    } cases[] = {
        {"GetCreationParameters", {}},
        {"CreateVertexDeclaration", {}},
        {"CreateVertexBuffer", {"SetVertexDeclaration(null)", "decl#1.Release() -> 0"}},
        {"CreateIndexBuffer",
         {"vb#1.Release() -> 0", "SetVertexDeclaration(null)", "decl#1.Release() -> 0"}},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.failingCall);
        FakeDirect3DScope d3d;
        MessageBoxCapture messageBoxes;
        ASSERT_NE(nullptr, StartFakeDevice(d3d));
        d3d.Fail(testCase.failingCall, E_FAIL);
        g_graphics.cube.Initialize(Cube);
        const size_t first = d3d.log.size();
        g_graphics.cube.ReleaseObjects();
        EXPECT_EQ(testCase.teardown, LogSince(d3d, first));
    }
    Mesh neverBuilt;
    neverBuilt.ReleaseObjects(); // no device to call: must not touch it
    EXPECT_EQ(nullptr, neverBuilt.device);
}

TEST(MeshTeardown, ShutdownReleasesTheMeshesBeforeTheDeviceAndExitFindsNothing) {
    FakeDirect3DScope d3d;
    MessageBoxCapture messageBoxes;
    FakeDevice* device = StartFakeDevice(d3d);
    ASSERT_NE(nullptr, device);
    BuildBothMeshes();

    const size_t first = d3d.log.size();
    ASSERT_TRUE(ShutDownGraphics());
    const std::vector<std::string> shutdown = LogSince(d3d, first);
    const std::vector<std::string> meshesFirst = {
        "vb#2.Release() -> 0",        "ib#2.Release() -> 0",  "SetVertexDeclaration(null)",
        "decl#2.Release() -> 0",      "vb#1.Release() -> 0",  "ib#1.Release() -> 0",
        "SetVertexDeclaration(null)", "decl#1.Release() -> 0"};
    ASSERT_GE(shutdown.size(), meshesFirst.size());
    EXPECT_EQ(meshesFirst, std::vector<std::string>(shutdown.begin(), shutdown.begin() + 8));
    EXPECT_TRUE(device->released());

    const size_t atExit = d3d.log.size();
    RunProcessExitTeardown();
    EXPECT_TRUE(LogSince(d3d, atExit).empty());
    EXPECT_EQ(0, d3d.callsAfterRelease);
    EXPECT_EQ(0, d3d.overReleases);
}

// When the window cannot be destroyed the shutdown never releases the device;
// the exit teardown then unbinds from a device that is still alive.
TEST(MeshTeardown, ExitWithoutShutdownReleasesTheMeshesIntoALiveDevice) {
    FakeDirect3DScope d3d;
    MessageBoxCapture messageBoxes;
    FakeDevice* device = StartFakeDevice(d3d);
    ASSERT_NE(nullptr, device);
    BuildBothMeshes();

    RunProcessExitTeardown();
    EXPECT_FALSE(device->released());
    EXPECT_EQ(0, d3d.callsAfterRelease);
    for (const FakeVertexBuffer* buffer : d3d.vertexBuffers) {
        EXPECT_TRUE(buffer->released());
    }
    for (const FakeIndexBuffer* buffer : d3d.indexBuffers) {
        EXPECT_TRUE(buffer->released());
    }
    for (const FakeVertexDeclaration* declaration : d3d.declarations) {
        EXPECT_TRUE(declaration->released());
    }
    EXPECT_EQ(nullptr, device->declaration);
}

// A failed start ends the process at once, with no mesh ever built.
TEST(MeshTeardown, ExitAfterAFailedStartCallsNothing) {
    FakeDirect3DScope d3d;
    MessageBoxCapture messageBoxes;
    d3d.Fail("d3d.CreateDevice", D3DERR_NOTAVAILABLE);
    ASSERT_FALSE(InitializeGraphics(TestWindow()));

    const size_t atExit = d3d.log.size();
    RunProcessExitTeardown();
    EXPECT_TRUE(LogSince(d3d, atExit).empty());
    EXPECT_EQ(0, d3d.callsAfterRelease);
}

} // namespace
