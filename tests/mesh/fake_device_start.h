#pragma once

#include <windows.h>

#include "graphics/graphics_context.h"
#include "tests/support/fake_direct3d.h"

// A stand-in main window: the owner every mesh box must carry.
inline HWND TestWindow() {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(0x5150));
}

// Leaves g_graphics as start-up does just before the meshes are built (a fake
// interface and device, the window), without the material steps in between.
inline FakeDevice* StartFakeDevice(FakeDirect3DScope& d3d, DWORD behaviorFlags = 0) {
    g_graphics.direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (g_graphics.direct3D == nullptr || !CreateDevice(TestWindow())) {
        return nullptr;
    }
    g_graphics.window = TestWindow();
    if (behaviorFlags != 0) {
        d3d.device()->creation.BehaviorFlags = behaviorFlags;
    }
    return d3d.device();
}

// What start-up does with the meshes: the cube, then the square, whatever
// the cube reported.
inline void BuildBothMeshes() {
    g_graphics.cube.Initialize(Cube);
    g_graphics.square.Initialize(Square);
}
