#include "graphics/graphics_context.h"

void RenderFrame() {
    GraphicsContext& context = g_graphics;
    context.clock.BeginFrame();
    IDirect3DDevice9* device = context.device;
    if (device == nullptr) {
        return;
    }
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
}
