#include "bench/bench_window.h"

#include <cstdio>

#include "graphics/back_buffer.h"

namespace {

const char* const className = "Bench Window Class";

LRESULT CALLBACK BenchWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

HWND CreateBenchWindow(HINSTANCE instance, const char* title, int showCommand) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = BenchWindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground =
        reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BACKGROUND + 1));
    windowClass.lpszClassName = className;
    if (RegisterClassExA(&windowClass) == 0) {
        std::fprintf(stderr, "cannot register the window class (error %lu)\n", GetLastError());
        return nullptr;
    }
    // The program's styles, so that the border and the client area are the
    // same; the outer size is then grown by the measured border.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    HWND window = CreateWindowExA(WS_EX_OVERLAPPEDWINDOW, className, title, style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  instance, nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "cannot create the window (error %lu)\n", GetLastError());
        return nullptr;
    }
    RECT windowRect;
    RECT clientRect;
    GetWindowRect(window, &windowRect);
    GetClientRect(window, &clientRect);
    MoveWindow(window, windowRect.left, windowRect.top,
               (windowRect.right - windowRect.left) - clientRect.right + backBufferWidth,
               (windowRect.bottom - windowRect.top) - clientRect.bottom + backBufferHeight, TRUE);
    ShowWindow(window, showCommand);
    return window;
}

IDirect3DDevice9* CreateBenchDevice(HWND window, IDirect3D9** direct3D) {
    *direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (*direct3D == nullptr) {
        std::fprintf(stderr, "cannot create the Direct3D interface\n");
        return nullptr;
    }
    D3DPRESENT_PARAMETERS parameters = {};
    parameters.BackBufferWidth = backBufferWidth;
    parameters.BackBufferHeight = backBufferHeight;
    parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    parameters.BackBufferCount = 1;
    parameters.MultiSampleType = D3DMULTISAMPLE_NONE;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = window;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D16;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    IDirect3DDevice9* device = nullptr;
    const HRESULT result =
        (*direct3D)->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                  D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &device);
    if (FAILED(result)) {
        std::fprintf(stderr, "cannot create the device (0x%08lx)\n",
                     static_cast<unsigned long>(result));
        (*direct3D)->Release();
        *direct3D = nullptr;
        return nullptr;
    }
    return device;
}

int RunBenchLoop(void (*renderFrame)(IDirect3DDevice9*), IDirect3DDevice9* device) {
    MSG msg = {};
    do {
        renderFrame(device);
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    } while (msg.message != WM_QUIT);
    return static_cast<int>(msg.wParam);
}
