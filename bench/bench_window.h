#pragma once

#include <windows.h>
#include <d3d9.h>

// What the baseline programs share with the program: a window with an
// 800x600 client area, a device created with the same parameters, and the
// same polling loop. Each baseline differs from the program only in what it
// does per frame.

// The shown window, or null after a failure that has been written to stderr.
HWND CreateBenchWindow(HINSTANCE instance, const char* title, int showCommand);
// The device, created with the program's present parameters and flags, or
// null after a reported failure. *direct3D receives the interface.
IDirect3DDevice9* CreateBenchDevice(HWND window, IDirect3D9** direct3D);
// One frame, then at most one message, every pass, until WM_QUIT; returns its
// wParam.
int RunBenchLoop(void (*renderFrame)(IDirect3DDevice9*), IDirect3DDevice9* device);
