#include "tests/support/test_windows.h"

#include <cstring>

#include "graphics/graphics_context.h"
#include "tests/support/fake_direct3d.h"

const char* const mainWindowClass = "Ovik's Main Window Class";

namespace {

const char* const deviceWindowClass = "Real Device Test";

BOOL CALLBACK MatchMainWindow(HWND window, LPARAM found) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    if (lstrcmpA(name, mainWindowClass) == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// Copies the rows of a locked surface of `width` pixels into `pixels`.
void CopyRows(const D3DLOCKED_RECT& locked, UINT width, std::vector<std::uint32_t>& pixels) {
    const UINT height = static_cast<UINT>(pixels.size()) / width;
    for (UINT row = 0; row < height; ++row) {
        std::memcpy(&pixels[row * width],
                    static_cast<const BYTE*>(locked.pBits) + row * locked.Pitch,
                    width * sizeof(std::uint32_t));
    }
}

} // namespace

HWND FindOwnMainWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &MatchMainWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::vector<std::uint32_t> ReadBackBuffer(IDirect3DDevice9* device) {
    std::vector<std::uint32_t> pixels;
    IDirect3DSurface9* backBuffer = nullptr;
    IDirect3DSurface9* copy = nullptr;
    D3DSURFACE_DESC description = {};
    D3DLOCKED_RECT locked = {};
    if (SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer)) &&
        SUCCEEDED(backBuffer->GetDesc(&description)) &&
        SUCCEEDED(device->CreateOffscreenPlainSurface(description.Width, description.Height,
                                                      D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy,
                                                      nullptr)) &&
        SUCCEEDED(device->GetRenderTargetData(backBuffer, copy)) &&
        SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        pixels.resize(static_cast<size_t>(description.Width) * description.Height);
        CopyRows(locked, description.Width, pixels);
        copy->UnlockRect();
    } else {
        ADD_FAILURE() << "cannot read the back buffer";
    }
    if (copy != nullptr) {
        copy->Release();
    }
    if (backBuffer != nullptr) {
        backBuffer->Release();
    }
    return pixels;
}

void RealDeviceTest::OpenWindow() {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = deviceWindowClass;
    ASSERT_NE(0, RegisterClassExA(&windowClass));
    RECT frame = {0, 0, 800, 600};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    window = CreateWindowExA(0, deviceWindowClass, deviceWindowClass, WS_OVERLAPPEDWINDOW, 0, 0,
                             frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
}

void RealDeviceTest::StartDevice() {
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    g_graphics.direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, g_graphics.direct3D);
    ASSERT_TRUE(CreateDevice(window));
    g_graphics.window = window;
    device = g_graphics.device;
}

void RealDeviceTest::TearDown() {
    if (device != nullptr) {
        device->AddRef();
        ShutDownGraphics();
        EXPECT_EQ(0u, device->Release());
    }
    ResetGraphics();
    if (window != nullptr) {
        DestroyWindow(window);
    }
    UnregisterClassA(deviceWindowClass, GetModuleHandleA(nullptr));
}
