#include <d3dx9math.h>

#include "graphics/back_buffer.h"
#include "graphics/graphics_context.h"
#include "graphics/scene_update.h"

// A failed material, shader or mesh step leaves objects null. The frame then
// leaves out only the calls that would go through a missing object; a null
// shader or handle is still passed on as an argument, as Direct3D and D3DX
// accept them. No result of any call is looked at.

namespace {

const float aspectRatio = static_cast<float>(backBufferWidth) / backBufferHeight;
const D3DCOLOR clearColor = 0xFF000000; // opaque black

// Exactly -1 restores the fragment shader's declared defaults; anything else,
// a NaN included, is sent as the three floats.
void SetColorModifier(IDirect3DDevice9* device) {
    const Material& material = g_graphics.material;
    if (device == nullptr || material.fragmentConstantTable == nullptr) {
        return;
    }
    if (material.colorModifier[0] == useShaderDefaults) {
        material.fragmentConstantTable->SetDefaults(device);
    } else {
        material.fragmentConstantTable->SetFloatArray(device, material.colorModifierHandle,
                                                      material.colorModifier, 3);
    }
}

D3DXMATRIX Translation(const Float3& position) {
    const D3DXVECTOR3 translation(position.x, position.y, position.z);
    D3DXMATRIX matrix;
    D3DXMatrixTransformation(&matrix, nullptr, nullptr, nullptr, nullptr, nullptr, &translation);
    return matrix;
}

// The inverse of a rigid camera-to-world transform: the transposed rotation,
// and the translation taken back through it.
D3DXMATRIX WorldToView(const D3DXMATRIX& c) {
    D3DXMATRIX v;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            v.m[i][j] = c.m[j][i];
        }
        v.m[i][3] = 0.0f;
    }
    for (int j = 0; j < 3; ++j) {
        v.m[3][j] = -(c.m[j][0] * c.m[3][0]) - c.m[j][1] * c.m[3][1] - c.m[j][2] * c.m[3][2];
    }
    v.m[3][3] = 1.0f;
    return v;
}

void SetViewConstants(IDirect3DDevice9* device) {
    const Camera& camera = g_graphics.camera;
    D3DXMATRIX viewToScreen;
    D3DXMatrixPerspectiveFovLH(&viewToScreen, camera.fieldOfView, aspectRatio, camera.nearPlane,
                               camera.farPlane);
    const D3DXMATRIX worldToView = WorldToView(Translation(camera.position));

    const Material& material = g_graphics.material;
    if (material.vertexConstantTable == nullptr) {
        return;
    }
    material.vertexConstantTable->SetMatrix(device, material.worldToViewHandle, &worldToView);
    material.vertexConstantTable->SetMatrix(device, material.viewToScreenHandle, &viewToScreen);
}

// A mesh that lacks a buffer or its device is incomplete and is not drawn.
void DrawMesh(const Mesh& mesh) {
    IDirect3DDevice9* device = mesh.device;
    if (device == nullptr || mesh.vertexBuffer == nullptr || mesh.indexBuffer == nullptr) {
        return;
    }
    device->SetStreamSource(mesh.streamIndex, mesh.vertexBuffer, mesh.streamOffset,
                            mesh.vertexStride);
    device->SetIndices(mesh.indexBuffer);
    const D3DXMATRIX modelToWorld = Translation(mesh.position);
    const Material& material = g_graphics.material;
    if (material.vertexConstantTable != nullptr) {
        material.vertexConstantTable->SetMatrix(g_graphics.device, material.modelToWorldHandle,
                                                &modelToWorld);
    }
    device->DrawIndexedPrimitive(mesh.primitiveType, mesh.firstVertexIndex, mesh.firstVertexIndex,
                                 mesh.vertexCount, mesh.firstIndex, mesh.primitiveCount);
}

} // namespace

void RenderFrame() {
    g_graphics.clock.BeginFrame();
    SetColorModifier(g_graphics.device);
    ReadMovementKeys();
    ScaleCubeVelocity();
    MoveCubeAndCamera();
    IDirect3DDevice9* device = g_graphics.device;
    // Without a device only time and movement go on.
    if (device == nullptr) {
        return;
    }

    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clearColor, 1.0f, 0);
    device->BeginScene();
    device->SetVertexShader(g_graphics.material.vertexShaderObject);
    device->SetPixelShader(g_graphics.material.fragmentShaderObject);
    SetViewConstants(device);
    DrawMesh(g_graphics.cube);
    DrawMesh(g_graphics.square);
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
}
