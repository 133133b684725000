// Both meshes built on Wine's real device and drawn with a trivial shader
// pair: a read-back of the back buffer shows each cube face from outside in
// its vertex colors, nothing from inside, and the floor only from above.
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include "graphics/graphics_context.h"
#include "tests/mesh/expected_geometry.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_windows.h"

namespace {

const int width = 800;
const int height = 600;

// Position through the transform in c0..c3, color passed on unchanged.
const char vertexShaderSource[] = "vs_2_0\n"
                                  "dcl_position v0\n"
                                  "dcl_color v1\n"
                                  "m4x4 oPos, v0, c0\n"
                                  "mov oD0, v1\n";
const char pixelShaderSource[] = "ps_2_0\n"
                                 "dcl v0\n"
                                 "mov oC0, v0\n";

ID3DXBuffer* Assemble(const char* source) {
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT result = D3DXAssembleShader(source, static_cast<UINT>(std::strlen(source)),
                                              nullptr, nullptr, 0, &code, &errors);
    EXPECT_TRUE(SUCCEEDED(result))
        << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "no error text");
    if (errors != nullptr) {
        errors->Release();
    }
    return code;
}

struct ShaderPair {
    IDirect3DVertexShader9* vertexShader = nullptr;
    IDirect3DPixelShader9* pixelShader = nullptr;
};

ShaderPair CreateShaders(IDirect3DDevice9* device) {
    ShaderPair shaders;
    ID3DXBuffer* vertexCode = Assemble(vertexShaderSource);
    ID3DXBuffer* pixelCode = Assemble(pixelShaderSource);
    if (vertexCode != nullptr && pixelCode != nullptr) {
        device->CreateVertexShader(static_cast<const DWORD*>(vertexCode->GetBufferPointer()),
                                   &shaders.vertexShader);
        device->CreatePixelShader(static_cast<const DWORD*>(pixelCode->GetBufferPointer()),
                                  &shaders.pixelShader);
    }
    if (vertexCode != nullptr) {
        vertexCode->Release();
    }
    if (pixelCode != nullptr) {
        pixelCode->Release();
    }
    return shaders;
}

// An orthographic camera, so that colors interpolate linearly on screen and
// the expected color of a point is the plain average of its triangle's.
struct View {
    D3DXVECTOR3 eye;
    D3DXVECTOR3 at;
    D3DXVECTOR3 up;
    float nearPlane;
    float farPlane;
};

D3DXMATRIX ViewToScreen(const View& view) {
    D3DXMATRIX worldToView;
    D3DXMATRIX viewToScreen;
    D3DXMatrixLookAtLH(&worldToView, &view.eye, &view.at, &view.up);
    D3DXMatrixOrthoLH(&viewToScreen, 8.0f, 6.0f, view.nearPlane, view.farPlane);
    return worldToView * viewToScreen;
}

void DrawMesh(IDirect3DDevice9* device, const Mesh& mesh) {
    device->SetStreamSource(mesh.streamIndex, mesh.vertexBuffer, mesh.streamOffset,
                            mesh.vertexStride);
    device->SetIndices(mesh.indexBuffer);
    device->DrawIndexedPrimitive(mesh.primitiveType, mesh.firstVertexIndex, mesh.firstVertexIndex,
                                 mesh.vertexCount, mesh.firstIndex, mesh.primitiveCount);
}

// Renders the cube (and the floor when asked) and reads the back buffer back
// as 0xXXRRGGBB pixels, row by row.
std::vector<std::uint32_t> Render(IDirect3DDevice9* device, const View& view, bool withFloor) {
    const D3DXMATRIX transform = ViewToScreen(view);
    D3DXMATRIX columns;
    D3DXMatrixTranspose(&columns, &transform); // m4x4 takes the matrix by columns
    device->SetVertexShaderConstantF(0, columns, 4);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    DrawMesh(device, g_graphics.cube);
    if (withFloor) {
        DrawMesh(device, g_graphics.square);
    }
    device->EndScene();
    return ReadBackBuffer(device);
}

D3DXVECTOR3 PositionOf(const ExpectedVertex& vertex) {
    return D3DXVECTOR3(vertex.x, vertex.y, vertex.z);
}

int Channel(std::uint32_t color, int shift) {
    return static_cast<int>((color >> shift) & 0xFF);
}

// Checks the pixel under the centroid of a triangle against the average of
// its three vertex colors, or against black when the triangle must be culled.
void ExpectTriangle(const std::vector<std::uint32_t>& pixels, const View& view,
                    const ExpectedVertex* vertices, const std::uint32_t* indices, int triangle,
                    bool visible) {
    ASSERT_EQ(static_cast<size_t>(width * height), pixels.size());
    const ExpectedVertex& a = vertices[indices[triangle * 3]];
    const ExpectedVertex& b = vertices[indices[triangle * 3 + 1]];
    const ExpectedVertex& c = vertices[indices[triangle * 3 + 2]];
    const D3DXVECTOR3 centroid = (PositionOf(a) + PositionOf(b) + PositionOf(c)) / 3.0f;
    const D3DXMATRIX transform = ViewToScreen(view);
    D3DXVECTOR3 screen;
    D3DXVec3TransformCoord(&screen, &centroid, &transform);
    const int column = static_cast<int>((screen.x + 1.0f) * 0.5f * width);
    const int row = static_cast<int>((1.0f - screen.y) * 0.5f * height);
    ASSERT_TRUE(column > 0 && column < width && row > 0 && row < height);
    const std::uint32_t pixel = pixels[row * width + column];
    for (int shift : {16, 8, 0}) {
        const int expected =
            visible
                ? (Channel(a.color, shift) + Channel(b.color, shift) + Channel(c.color, shift)) / 3
                : 0;
        EXPECT_NEAR(expected, Channel(pixel, shift), 8)
            << "triangle " << triangle << ", channel shift " << shift << ", pixel (" << column
            << ", " << row << ")";
    }
}

struct Face {
    D3DXVECTOR3 normal;
    int firstTriangle; // the face's two triangles follow each other
};

const Face cubeFaces[6] = {{{0, 0, -1}, 0}, {{-1, 0, 0}, 2}, {{1, 0, 0}, 4},
                           {{0, -1, 0}, 6}, {{0, 1, 0}, 8},  {{0, 0, 1}, 10}};

D3DXVECTOR3 UpFor(const D3DXVECTOR3& normal) {
    return normal.y != 0.0f ? D3DXVECTOR3(0, 0, 1) : D3DXVECTOR3(0, 1, 0);
}

class MeshOnRealDevice : public RealDeviceTest {
protected:
    void SetUp() override { StartDevice(); }
};

TEST_F(MeshOnRealDevice, BothMeshesBuildAndDrawTheirFacesFromOutsideOnly) {
    {
        MessageBoxCapture messageBoxes;
        g_graphics.cube.Initialize(Cube);
        g_graphics.square.Initialize(Square);
        EXPECT_TRUE(messageBoxes.boxes.empty());
    }
    ASSERT_NE(nullptr, g_graphics.cube.indexBuffer);
    ASSERT_NE(nullptr, g_graphics.square.indexBuffer);

    const ShaderPair shaders = CreateShaders(device);
    ASSERT_NE(nullptr, shaders.vertexShader);
    ASSERT_NE(nullptr, shaders.pixelShader);
    device->SetVertexShader(shaders.vertexShader);
    device->SetPixelShader(shaders.pixelShader);

    for (const Face& face : cubeFaces) {
        const View outside = {face.normal * 10.0f, D3DXVECTOR3(0, 0, 0), UpFor(face.normal), 1.0f,
                              20.0f};
        const std::vector<std::uint32_t> fromOutside = Render(device, outside, false);
        // From the centre the face lies at distance 1 and the opposite face
        // behind the camera; the side faces are edge-on.
        const View inside = {D3DXVECTOR3(0, 0, 0), face.normal, UpFor(face.normal), 0.5f, 2.0f};
        const std::vector<std::uint32_t> fromInside = Render(device, inside, false);
        for (int triangle = face.firstTriangle; triangle < face.firstTriangle + 2; ++triangle) {
            ExpectTriangle(fromOutside, outside, expectedCubeVertices, expectedCubeIndices,
                           triangle, true);
            ExpectTriangle(fromInside, inside, expectedCubeVertices, expectedCubeIndices, triangle,
                           false);
        }
    }

    const View above = {{0, 10, 0}, {0, 0, 0}, {0, 0, 1}, 1.0f, 20.0f};
    const View below = {{0, -10, 0}, {0, 0, 0}, {0, 0, 1}, 1.0f, 20.0f};
    const std::vector<std::uint32_t> fromAbove = Render(device, above, true);
    const std::vector<std::uint32_t> fromBelow = Render(device, below, true);
    for (int triangle = 0; triangle < 2; ++triangle) {
        ExpectTriangle(fromAbove, above, expectedSquareVertices, expectedSquareIndices, triangle,
                       true);
        ExpectTriangle(fromBelow, below, expectedSquareVertices, expectedSquareIndices, triangle,
                       false);
    }

    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    shaders.vertexShader->Release();
    shaders.pixelShader->Release();
}

} // namespace
