#include "graphics/graphics_context.h"

#include "graphics/back_buffer.h"
#include "graphics/com_release.h"
#include "material/material_loader.h"
#include "material/shader_steps.h"

GraphicsContext g_graphics;

namespace {

const float defaultFieldOfView = 1.0471976f; // pi/3, 60 degrees vertically

// The device is created for the window; the mesh and material steps after it
// report their own failures and never stop start-up.
void CreateSceneObjects() {
    LoadMaterial();
    LoadFragmentShader();
    LoadVertexShader();
    g_graphics.cube.Initialize(Cube);
    g_graphics.square.Initialize(Square);
}

void SetCameraDefaults() {
    Camera& camera = g_graphics.camera;
    camera.position = {0.0f, 0.0f, -10.0f};
    camera.nearPlane = 0.1f;
    camera.farPlane = 100.0f;
    camera.fieldOfView = defaultFieldOfView;
}

// Everything made from the device goes before the device itself, so nothing
// is ever released into (or unbound from) a device that is already gone.
void ReleaseSceneObjects(GraphicsContext& context) {
    context.square.ReleaseObjects();
    context.cube.ReleaseObjects();
    context.material.ReleaseObjects();
}

} // namespace

GraphicsContext::~GraphicsContext() {
    ReleaseSceneObjects(*this);
}

bool InitializeGraphics(HWND window) {
    g_graphics.clock.Start();
    g_graphics.direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (g_graphics.direct3D == nullptr) {
        MessageBoxA(window, "DirectX failed to create a Direct3D9 interface", "No D3D9 Interface",
                    MB_ICONERROR);
        return false;
    }
    if (!CreateDevice(window)) {
        ShutDownGraphics();
        return false;
    }
    g_graphics.window = window;
    CreateSceneObjects();
    SetCameraDefaults();
    return true;
}

bool CreateDevice(HWND window) {
    D3DPRESENT_PARAMETERS parameters = {};
    parameters.BackBufferWidth = backBufferWidth;
    parameters.BackBufferHeight = backBufferHeight;
    parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    parameters.BackBufferCount = 1;
    parameters.MultiSampleType = D3DMULTISAMPLE_NONE;
    parameters.MultiSampleQuality = 0;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = window;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D16;
    parameters.Flags = 0;
    parameters.FullScreen_RefreshRateInHz = 0;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;

    // Start-up after a failed window relies on this failing. Windows refuses a
    // device without a window, but not every Direct3D does, and a device with
    // nowhere to present leaves a loop running that no window can ever end.
    HRESULT result = D3DERR_INVALIDCALL;
    if (window != nullptr) {
        result = g_graphics.direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                                   D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters,
                                                   &g_graphics.device);
    }
    if (FAILED(result)) {
        MessageBoxA(window, "DirectX failed to create a Direct3D9 device", "No D3D9 Device",
                    MB_ICONERROR);
        return false;
    }
    return true;
}

bool ShutDownGraphics() {
    if (g_graphics.direct3D != nullptr) {
        ReleaseSceneObjects(g_graphics);
        ReleaseAndClear(g_graphics.device);
        ReleaseAndClear(g_graphics.direct3D);
    }
    g_graphics.window = nullptr;
    return true;
}
