#pragma once

#include <windows.h>

extern HWND g_mainWindow;

ATOM RegisterMainWindowClass(HINSTANCE instance);
// The window, shown, with a client area of exactly 800 by 600; null after a
// reported failure.
HWND CreateMainWindow(HINSTANCE instance, int showCommand);
bool DestroyMainWindow();
bool UnregisterMainWindowClass(HINSTANCE instance);
LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
