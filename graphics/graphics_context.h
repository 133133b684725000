#pragma once

#include <windows.h>
#include <d3d9.h>

#include "graphics/camera.h"
#include "graphics/float3.h"
#include "graphics/frame_clock.h"
#include "material/material.h"
#include "mesh/mesh.h"

// The renderer's whole state, for the whole process.
struct GraphicsContext {
    IDirect3D9* direct3D;
    IDirect3DDevice9* device;
    HWND window; // copy of the main window, owner of the renderer's boxes
    FrameClock clock;
    Camera camera;
    Float3 cubeVelocity;
    Mesh cube;
    Mesh square;
    Material material;

    // At process exit, after a shutdown that could not release the device:
    // the square, the cube, then the material.
    ~GraphicsContext();
};

extern GraphicsContext g_graphics;

bool InitializeGraphics(HWND window);
bool CreateDevice(HWND window);
bool ShutDownGraphics();
void RenderFrame();
