#pragma once

#include <windows.h>
#include <d3d9.h>

#include "graphics/float3.h"

enum MeshShape : INT32 { Cube = 0, Square = 1 };

// One vertex of every mesh: 16 bytes, which is also the stream stride.
struct Vertex {
    float x;
    float y;
    float z;
    D3DCOLOR color; // 0xAARRGGBB
};

extern const D3DVERTEXELEMENT9 vertexElements[3];

// One drawable shape: its declaration and buffers, the fixed parameters it is
// drawn with, and where it stands in the world.
struct Mesh {
    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    IDirect3DIndexBuffer9* indexBuffer = nullptr;
    IDirect3DVertexDeclaration9* vertexDeclaration = nullptr;
    IDirect3DDevice9* device = nullptr; // borrowed from the graphics context
    HWND window = nullptr;
    UINT streamIndex = 0;
    UINT streamOffset = 0;
    UINT vertexStride = sizeof(Vertex);
    D3DPRIMITIVETYPE primitiveType = D3DPT_TRIANGLELIST;
    INT firstVertexIndex = 0;
    UINT firstIndex = 0;
    UINT vertexCount = 0;
    UINT primitiveCount = 0;
    MeshShape shape = Cube;
    Float3 position = {0.0f, 0.0f, 0.0f};

    void Initialize(MeshShape newShape);
    bool InitializeVertexBuffer(DWORD usage);
    bool InitializeIndexBuffer(DWORD usage);
    // Releases the vertex buffer, the index buffer, then unbinds and releases
    // the declaration; only what exists is touched.
    void ReleaseObjects();
};
