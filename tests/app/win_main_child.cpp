// Runs WinMain in its own process with the platform replaced where a
// scenario needs it, and reports what it saw when the process ends, however
// it ends: start-up failures leave through exit(0) inside WinMain.
//
//     win_main_child <scenario>
//
// Scenarios: no-interface, no-device, no-class, no-window, quit-one.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <windows.h>

#include "app/main_window.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_direct3d.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_windows.h"
#include "tests/support/win32_fakes.h"

namespace {

// Alive until the process ends: nothing may show a real box, and the fakes
// must outlive the program's own teardown at exit.
MessageBoxCapture* g_messageBoxes;
FakeDirect3DScope* g_direct3D;
FailingCall* g_failingRegister;
FailingCall* g_failingCreate;

void Report() {
    const HWND mainWindow = FindOwnMainWindow();
    for (const CapturedMessageBox& box : g_messageBoxes->boxes) {
        const char* owner = box.owner == nullptr      ? "null"
                            : box.owner == mainWindow ? "main"
                                                      : "other";
        std::printf("box owner=%s caption=%s text=%s\n", owner, box.caption.c_str(),
                    EscapeLineBreaks(box.text).c_str());
    }
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    std::printf("class %s\n",
                GetClassInfoExA(GetModuleHandleA(nullptr), mainWindowClass, &windowClass)
                    ? "registered"
                    : "unregistered");
    std::printf("window %s\n", mainWindow != nullptr ? "exists" : "gone");
    if (g_failingCreate != nullptr) {
        std::printf("CreateWindowExA calls %d\n", g_failingCreate->calls());
    }
    if (g_direct3D == nullptr) {
        std::fflush(stdout);
        return;
    }
    for (const DeviceCreation& creation : g_direct3D->deviceCreations) {
        std::printf("device for %s\n", creation.focusWindow == nullptr ? "null" : "a window");
    }
    for (const std::string& entry : g_direct3D->log) {
        if (entry.find("Release") != std::string::npos ||
            entry.find("Create") != std::string::npos) {
            std::printf("d3d %s\n", entry.c_str());
        }
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 90;
    }
    const std::string scenario = argv[1];
    g_messageBoxes = new MessageBoxCapture;
    // Without a class, start-up runs on the real Direct3D: whether it ends
    // depends on what that Direct3D does with a null window.
    if (scenario != "no-class") {
        g_direct3D = new FakeDirect3DScope;
    }
    if (scenario == "no-interface") {
        g_direct3D->Fail("Direct3DCreate9", E_FAIL);
    } else if (scenario == "no-device") {
        g_direct3D->Fail("d3d.CreateDevice", D3DERR_NOTAVAILABLE);
    } else if (scenario == "no-class") {
        g_failingRegister = new FailingCall("RegisterClassExA", ERROR_NOT_ENOUGH_MEMORY);
        g_failingCreate = new FailingCall("CreateWindowExA", ERROR_NOT_ENOUGH_MEMORY);
    } else if (scenario == "no-window") {
        g_failingCreate = new FailingCall("CreateWindowExA", ERROR_NOT_ENOUGH_MEMORY);
    } else if (scenario == "quit-one") {
        // Waits in the queue until the loop's first pass removes it.
        PostQuitMessage(1);
    } else {
        return 91;
    }
    std::atexit(Report);
    char commandLine[] = "ignored";
    const int code = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);
    std::printf("WinMain returned %d\n", code);
    return code;
}
