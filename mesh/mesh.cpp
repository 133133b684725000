#include "mesh/mesh.h"

#include <cstring>

#include "graphics/com_release.h"
#include "graphics/graphics_context.h"
#include "mesh/mesh_geometry.h"

namespace {

const char noVertexBuffer[] = "No Vertex Buffer";
const char noVertexDeclaration[] = "No Vertex Declaration";
const char noIndexBuffer[] = "No Index Buffer";

const DWORD vertexProcessingFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                    D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                    D3DCREATE_MIXED_VERTEXPROCESSING;

void ShowFailure(HWND window, const char* text, const char* caption) {
    MessageBoxA(window, text, caption, MB_ICONERROR);
}

// Buffers used by a device that only processes vertices in software must say
// so; every other device takes plain write-only static buffers.
DWORD ChooseBufferUsage(DWORD behaviorFlags) {
    if ((behaviorFlags & vertexProcessingFlags) == D3DCREATE_SOFTWARE_VERTEXPROCESSING) {
        return D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING;
    }
    return D3DUSAGE_WRITEONLY;
}

} // namespace

void Mesh::Initialize(MeshShape newShape) {
    device = g_graphics.device;
    window = g_graphics.window;
    shape = newShape;
    const MeshGeometry& geometry = GetMeshGeometry(shape);
    vertexCount = geometry.vertexCount;
    primitiveCount = geometry.primitiveCount;
    position = {0.0f, 0.0f, 0.0f};

    D3DDEVICE_CREATION_PARAMETERS parameters = {};
    if (FAILED(device->GetCreationParameters(&parameters))) {
        ShowFailure(window, "DirectX failed to get device creation parameters", noVertexBuffer);
        return;
    }
    const DWORD usage = ChooseBufferUsage(parameters.BehaviorFlags);
    // Indices without their vertices would draw nothing useful, and one box
    // per mesh is enough.
    if (InitializeVertexBuffer(usage)) {
        InitializeIndexBuffer(usage);
    }
}

bool Mesh::InitializeVertexBuffer(DWORD usage) {
    if (FAILED(device->CreateVertexDeclaration(vertexElements, &vertexDeclaration))) {
        ShowFailure(window, "DirectX failed to create a Direct3D9 vertex declaration",
                    noVertexDeclaration);
        return false;
    }
    // Drawing never sets a declaration: it uses the one made current here.
    if (FAILED(device->SetVertexDeclaration(vertexDeclaration))) {
        ShowFailure(window, "DirectX failed to set the vertex declaration", noVertexDeclaration);
        return false;
    }
    const UINT length = vertexCount * sizeof(Vertex);
    if (FAILED(device->CreateVertexBuffer(length, usage, 0, D3DPOOL_DEFAULT, &vertexBuffer,
                                          nullptr))) {
        ShowFailure(window, "DirectX failed to create a vertex buffer", noVertexBuffer);
        return false;
    }
    void* vertices = nullptr;
    if (FAILED(vertexBuffer->Lock(0, 0, &vertices, 0))) {
        ShowFailure(window, "DirectX failed to lock the vertex buffer", noVertexBuffer);
        return false;
    }
    std::memcpy(vertices, GetMeshGeometry(shape).vertices, length);
    if (FAILED(vertexBuffer->Unlock())) {
        ShowFailure(window, "DirectX failed to unlock the vertex buffer", noVertexBuffer);
        return false;
    }
    return true;
}

bool Mesh::InitializeIndexBuffer(DWORD usage) {
    const UINT length = primitiveCount * 3 * sizeof(UINT32);
    if (FAILED(device->CreateIndexBuffer(length, usage, D3DFMT_INDEX32, D3DPOOL_DEFAULT,
                                         &indexBuffer, nullptr))) {
        ShowFailure(window, "DirectX failed to create an index buffer", noIndexBuffer);
        return false;
    }
    void* indices = nullptr;
    if (FAILED(indexBuffer->Lock(0, 0, &indices, 0))) {
        ShowFailure(window, "DirectX failed to lock the index buffer", noIndexBuffer);
        return false;
    }
    std::memcpy(indices, GetMeshGeometry(shape).indices, length);
    if (FAILED(indexBuffer->Unlock())) {
        ShowFailure(window, "DirectX failed to unlock the index buffer", noIndexBuffer);
        return false;
    }
    return true;
}

// Runs from ShutDownGraphics while the device is still alive; at process exit
// it finds nothing left unless the device was never released, so it never
// unbinds from a device that is gone.
void Mesh::ReleaseObjects() {
    ReleaseAndClear(vertexBuffer);
    ReleaseAndClear(indexBuffer);
    if (vertexDeclaration != nullptr) {
        device->SetVertexDeclaration(nullptr);
        ReleaseAndClear(vertexDeclaration);
    }
}
