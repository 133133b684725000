#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include "app/main_window.h"
#include "tests/support/test_windows.h"

// The shell's tests use the real window class and window under the X server.
// Every test starts and ends with no main window, no registered class and an
// empty message queue, whatever the test left behind.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override { CleanUp(); }
    void TearDown() override { CleanUp(); }

    static HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

    static void CleanUp() {
        if (g_mainWindow != nullptr && IsWindow(g_mainWindow)) {
            DestroyWindow(g_mainWindow);
        }
        g_mainWindow = nullptr;
        UnregisterClassA(mainWindowClass, Instance());
        DrainMessages();
    }

    // Works off every waiting message, quit messages included; returns how
    // many quit messages there were and the last one's code. Messages are
    // dispatched, since a window's paint message stays until it is painted.
    static int DrainMessages(WPARAM* lastQuitCode = nullptr) {
        int quits = 0;
        MSG message;
        for (int i = 0; i < 1000 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (message.message == WM_QUIT) {
                ++quits;
                if (lastQuitCode != nullptr) {
                    *lastQuitCode = message.wParam;
                }
            } else {
                DispatchMessageA(&message);
            }
        }
        return quits;
    }

    // The shell's own window, created the way start-up creates it.
    static HWND OpenMainWindow() {
        if (RegisterMainWindowClass(Instance()) == 0) {
            return nullptr;
        }
        g_mainWindow = CreateMainWindow(Instance(), SW_SHOWNORMAL);
        return g_mainWindow;
    }
};
