#pragma once

// The program's main window as the tests find it, and the tests' own windows
// for Wine's real device.

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d9.h>

// The class the program registers for its main window.
extern const char* const mainWindowClass;

// The program's main window on this thread, or null: other test programs may
// show theirs on the same display.
HWND FindOwnMainWindow();

// The back buffer as X8R8G8B8 pixels, row by row; empty, and the test
// failed, when it cannot be read.
std::vector<std::uint32_t> ReadBackBuffer(IDirect3DDevice9* device);

// Wine's real device on a window of the test, with a client area of the
// program's size, never shown so that it takes no focus from anything else
// on the display. A test ends with the renderer shut down, and then the
// device's last Release must return 0: whatever still holds the device
// keeps it above that.
class RealDeviceTest : public ::testing::Test {
protected:
    void TearDown() override;

    void OpenWindow();
    // The window, then the interface and the device as start-up makes them.
    void StartDevice();

    HWND window = nullptr;
    IDirect3DDevice9* device = nullptr;
};
