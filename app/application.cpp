#include "app/application.h"

#include "app/main_window.h"
#include "graphics/graphics_context.h"

int g_exitCode;

void RunMainLoop() {
    MSG msg = {};
    // A frame before every message: the loop polls so frames come back to
    // back, and a burst of messages is worked off one per frame.
    do {
        RenderFrame();
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    } while (msg.message != WM_QUIT);
    g_exitCode = static_cast<int>(msg.wParam);
}

int ShutDownApplication(HINSTANCE instance) {
    const bool destroyed = DestroyMainWindow();
    const bool unregistered = UnregisterMainWindowClass(instance);
    // A window that survives may still hold the device, so the renderer is
    // left to the process end.
    if (destroyed && unregistered) {
        ShutDownGraphics();
    }
    return g_exitCode;
}
