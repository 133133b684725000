#include "app/main_window.h"

#include <string>

#include "app/windows_error.h"
#include "graphics/back_buffer.h"
#include "resources/resource_ids.h"

HWND g_mainWindow;

namespace {

const char* const className = "Ovik's Main Window Class";
const char* const windowTitle = "Ovik's TLN4070 Game";

// The shell's boxes have no owner. The error text is read first thing, before
// any other Windows call can overwrite the last-error code.
void ShowWindowsFailure(const char* text, const char* caption) {
    const std::string message = text + GetLastWindowsErrorText();
    MessageBoxA(nullptr, message.c_str(), caption, MB_ICONERROR);
}

// Grows the window by its measured border so the client area is exactly the
// back buffer's size, wherever the system placed it.
bool SizeClientArea(HWND window) {
    RECT windowRect;
    if (!GetWindowRect(window, &windowRect)) {
        ShowWindowsFailure("Windows failed to get the coordinates of the main window: ", nullptr);
        return false;
    }
    RECT clientRect;
    if (!GetClientRect(window, &clientRect)) {
        ShowWindowsFailure(
            "Windows failed to get the dimensions of the main window's client area: ", nullptr);
        return false;
    }
    const int width = (windowRect.right - windowRect.left) - clientRect.right + backBufferWidth;
    const int height = (windowRect.bottom - windowRect.top) - clientRect.bottom + backBufferHeight;
    if (!MoveWindow(window, windowRect.left, windowRect.top, width, height, TRUE)) {
        ShowWindowsFailure("Windows failed to resize the main window: ", nullptr);
        return false;
    }
    return true;
}

} // namespace

ATOM RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = 0;
    windowClass.lpfnWndProc = MainWindowProcedure;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(CLASS_ICON_ID));
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(SMALL_ICON_ID));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    // A system colour brush is given as its colour index plus one.
    windowClass.hbrBackground =
        reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BACKGROUND + 1));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = className;

    const ATOM atom = RegisterClassExA(&windowClass);
    if (atom == 0) {
        ShowWindowsFailure("Windows failed to register the main window's class: ",
                           "No Main Window Class");
    }
    return atom;
}

HWND CreateMainWindow(HINSTANCE instance, int showCommand) {
    // No sizing border, no maximise button, hidden until it has its size.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    HWND window = CreateWindowExA(WS_EX_OVERLAPPEDWINDOW, className, windowTitle, style,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        ShowWindowsFailure("Windows failed to create the main window: ", "No Main Window");
        return nullptr;
    }
    if (!SizeClientArea(window)) {
        if (!DestroyWindow(window)) {
            ShowWindowsFailure(
                "Windows failed to destroy the main window after an error in creation: ", nullptr);
        }
        return nullptr;
    }
    ShowWindow(window, showCommand);
    return window;
}

bool DestroyMainWindow() {
    if (g_mainWindow == nullptr) {
        return true;
    }
    if (!DestroyWindow(g_mainWindow)) {
        ShowWindowsFailure("Windows failed to destroy the main window: ",
                           "Couldn't Destroy Main Window");
        return false;
    }
    g_mainWindow = nullptr;
    return true;
}

bool UnregisterMainWindowClass(HINSTANCE instance) {
    if (!UnregisterClassA(className, instance)) {
        ShowWindowsFailure("Windows failed to unregister the main window's class: ",
                           "Couldn't Unregister Main Window Class");
        return false;
    }
    return true;
}

LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCDESTROY:
        // Every way the window can end passes here, so this is where the
        // program learns to quit.
        g_mainWindow = nullptr;
        PostQuitMessage(0);
        return 0;
    case WM_CHAR:
        if (wParam == VK_ESCAPE) {
            const int answer = MessageBoxA(g_mainWindow, "Are you sure you want to quit?",
                                           "Exit Program?", MB_YESNO | MB_ICONQUESTION);
            if (answer == IDYES) {
                PostQuitMessage(1);
                return 0;
            }
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
