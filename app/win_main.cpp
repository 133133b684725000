#include <cstdlib>

#include <windows.h>

#include "app/application.h"
#include "app/main_window.h"
#include "graphics/graphics_context.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    if (RegisterMainWindowClass(instance) != 0) {
        g_mainWindow = CreateMainWindow(instance, showCommand);
        if (g_mainWindow == nullptr) {
            UnregisterMainWindowClass(instance);
        }
    }
    // Without a window the device cannot be created, so a failed registration
    // or creation ends here too, with the renderer's own box.
    if (!InitializeGraphics(g_mainWindow)) {
        exit(0);
    }
    RunMainLoop();
    return ShutDownApplication(instance);
}
