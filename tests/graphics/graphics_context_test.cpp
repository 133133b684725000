#include <gtest/gtest.h>

#include "graphics/graphics_context.h"
#include "tests/support/fake_direct3d.h"
#include "tests/support/message_boxes.h"

namespace {

HWND SomeWindow() {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
}

} // namespace

TEST(GraphicsStartUp, WithoutAnInterfaceOneBoxAndNoDevice) {
    FakeDirect3DScope d3d;
    MessageBoxCapture messageBoxes;
    d3d.Fail("Direct3DCreate9", E_FAIL);

    EXPECT_FALSE(InitializeGraphics(SomeWindow()));

    ASSERT_EQ(1u, messageBoxes.boxes.size());
    EXPECT_EQ(SomeWindow(), messageBoxes.boxes[0].owner);
    EXPECT_EQ("DirectX failed to create a Direct3D9 interface", messageBoxes.boxes[0].text);
    EXPECT_EQ("No D3D9 Interface", messageBoxes.boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), messageBoxes.boxes[0].style);
    EXPECT_EQ(std::vector<std::string>{"Direct3DCreate9(32)"}, d3d.log);
    EXPECT_EQ(nullptr, g_graphics.direct3D);
    EXPECT_EQ(nullptr, g_graphics.device);
    EXPECT_EQ(nullptr, g_graphics.window);
}

TEST(GraphicsStartUp, WithoutADeviceOneBoxAndTheInterfaceReleased) {
    FakeDirect3DScope d3d;
    MessageBoxCapture messageBoxes;
    d3d.Fail("d3d.CreateDevice", D3DERR_NOTAVAILABLE);

    EXPECT_FALSE(InitializeGraphics(SomeWindow()));

    ASSERT_EQ(1u, messageBoxes.boxes.size());
    EXPECT_EQ(SomeWindow(), messageBoxes.boxes[0].owner);
    EXPECT_EQ("DirectX failed to create a Direct3D9 device", messageBoxes.boxes[0].text);
    EXPECT_EQ("No D3D9 Device", messageBoxes.boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), messageBoxes.boxes[0].style);
    EXPECT_EQ((std::vector<std::string>{"Direct3DCreate9(32)", "d3d#1.CreateDevice(0, 1, 0x40)",
                                        "d3d#1.Release() -> 0"}),
              d3d.log);
    EXPECT_EQ(nullptr, g_graphics.direct3D);
    EXPECT_EQ(nullptr, g_graphics.device);
    EXPECT_EQ(nullptr, g_graphics.window);
}
