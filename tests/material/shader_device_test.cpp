// The program's compiled shaders on Wine's real device: both are created by
// the shader steps, the fragment shader's declared default restores the
// color modifier, and the transforms apply to row vectors in the order
// model to world, world to view, view to screen.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include "graphics/graphics_context.h"
#include "material/shader_steps.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_windows.h"

namespace {

const int width = 800;
const int height = 600;

struct ColoredVertex {
    float x, y, z;
    D3DCOLOR color;
};

const D3DVERTEXELEMENT9 vertexElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    D3DDECL_END()};

class ShadersOnRealDevice : public RealDeviceTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(StartDevice());
        Material& material = g_graphics.material;
        material.vertexShaderPath = std::string(GAME_DATA_DIR) + "/shaders/vertex.shader";
        material.fragmentShaderPath = std::string(GAME_DATA_DIR) + "/shaders/fragment.shader";
        MessageBoxCapture messageBoxes;
        ASSERT_TRUE(LoadFragmentShader());
        ASSERT_TRUE(LoadVertexShader());
        EXPECT_TRUE(messageBoxes.boxes.empty());
    }
};

TEST_F(ShadersOnRealDevice, BothShadersAreCreatedWithEveryHandle) {
    const Material& material = g_graphics.material;
    EXPECT_NE(nullptr, material.vertexShaderObject);
    EXPECT_NE(nullptr, material.fragmentShaderObject);
    EXPECT_NE(nullptr, material.vertexConstantTable);
    EXPECT_NE(nullptr, material.fragmentConstantTable);
    EXPECT_NE(nullptr, material.worldToViewHandle);
    EXPECT_NE(nullptr, material.viewToScreenHandle);
    EXPECT_NE(nullptr, material.modelToWorldHandle);
    EXPECT_NE(nullptr, material.colorModifierHandle);
}

TEST_F(ShadersOnRealDevice, SetDefaultsRestoresTheDeclaredColorModifier) {
    const Material& material = g_graphics.material;
    const float modifier[3] = {0.5f, 0.25f, 0.125f};
    ASSERT_EQ(D3D_OK, material.fragmentConstantTable->SetFloatArray(
                          device, material.colorModifierHandle, modifier, 3));
    float registers[4] = {};
    ASSERT_EQ(D3D_OK, device->GetPixelShaderConstantF(0, registers, 1));
    EXPECT_EQ(0.5f, registers[0]);
    EXPECT_EQ(0.25f, registers[1]);
    EXPECT_EQ(0.125f, registers[2]);

    ASSERT_EQ(D3D_OK, material.fragmentConstantTable->SetDefaults(device));
    ASSERT_EQ(D3D_OK, device->GetPixelShaderConstantF(0, registers, 1));
    EXPECT_EQ(1.0f, registers[0]);
    EXPECT_EQ(1.0f, registers[1]);
    EXPECT_EQ(1.0f, registers[2]);
}

D3DXMATRIX Translation(float x, float y, float z) {
    D3DXMATRIX matrix;
    D3DXMatrixTranslation(&matrix, x, y, z);
    return matrix;
}

float Dot(const float* a, const float* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
}

// What the vertex shader computes, from the registers SetMatrix filled: three
// rounds of dp4 against four registers each.
D3DXVECTOR4 ShaderTransform(const float registers[12][4], const D3DXVECTOR4& point) {
    float current[4] = {point.x, point.y, point.z, point.w};
    for (int matrix = 0; matrix < 3; ++matrix) {
        float next[4];
        for (int component = 0; component < 4; ++component) {
            next[component] = Dot(current, registers[matrix * 4 + component]);
        }
        std::memcpy(current, next, sizeof(current));
    }
    return D3DXVECTOR4(current[0], current[1], current[2], current[3]);
}

TEST_F(ShadersOnRealDevice, RegistersHoldTheTransformsForRowVectorsInOrder) {
    const Material& material = g_graphics.material;
    // No two of these commute, and none is its own transpose.
    D3DXMATRIX modelToWorld;
    D3DXMatrixRotationYawPitchRoll(&modelToWorld, 0.3f, -0.7f, 1.1f);
    modelToWorld._41 = 2.0f;
    modelToWorld._42 = -1.0f;
    modelToWorld._43 = 0.5f;
    const D3DXMATRIX worldToView = Translation(-1.0f, 0.0f, 10.0f);
    D3DXMATRIX viewToScreen;
    D3DXMatrixPerspectiveFovLH(&viewToScreen, 1.0471976f, 4.0f / 3.0f, 0.1f, 100.0f);
    ID3DXConstantTable* table = material.vertexConstantTable;
    ASSERT_EQ(D3D_OK, table->SetMatrix(device, material.modelToWorldHandle, &modelToWorld));
    ASSERT_EQ(D3D_OK, table->SetMatrix(device, material.worldToViewHandle, &worldToView));
    ASSERT_EQ(D3D_OK, table->SetMatrix(device, material.viewToScreenHandle, &viewToScreen));
    float registers[12][4] = {};
    ASSERT_EQ(D3D_OK, device->GetVertexShaderConstantF(0, &registers[0][0], 12));

    const D3DXMATRIX whole = modelToWorld * worldToView * viewToScreen;
    for (const D3DXVECTOR4& point :
         {D3DXVECTOR4(0.5f, -2.0f, 3.0f, 1.0f), D3DXVECTOR4(-4.0f, 1.5f, 0.25f, 1.0f)}) {
        D3DXVECTOR4 expected;
        D3DXVec4Transform(&expected, &point, &whole);
        const D3DXVECTOR4 computed = ShaderTransform(registers, point);
        EXPECT_NEAR(expected.x, computed.x, 1e-4f);
        EXPECT_NEAR(expected.y, computed.y, 1e-4f);
        EXPECT_NEAR(expected.z, computed.z, 1e-4f);
        EXPECT_NEAR(expected.w, computed.w, 1e-4f);
    }
}

int Channel(std::uint32_t color, int shift) {
    return static_cast<int>((color >> shift) & 0xFF);
}

void ExpectColor(std::uint32_t expected, std::uint32_t pixel) {
    for (int shift : {16, 8, 0}) {
        EXPECT_NEAR(Channel(expected, shift), Channel(pixel, shift), 6)
            << std::hex << "expected " << expected << ", got " << pixel;
    }
}

// A 2 by 2 square drawn through both shaders lands where row vectors through
// the three transforms put it, in its color scaled by the modifier.
TEST_F(ShadersOnRealDevice, DrawsThroughTheTransformsWithTheModifiedColor) {
    const Material& material = g_graphics.material;
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(D3D_OK, device->CreateVertexDeclaration(vertexElements, &declaration));
    const D3DCOLOR color = D3DCOLOR_XRGB(0xC0, 0x80, 0xF0);
    const ColoredVertex square[4] = {{-1.0f, -1.0f, 0.0f, color},
                                     {-1.0f, 1.0f, 0.0f, color},
                                     {1.0f, -1.0f, 0.0f, color},
                                     {1.0f, 1.0f, 0.0f, color}};
    const D3DXMATRIX modelToWorld = Translation(3.0f, 1.0f, 0.0f);
    const D3DXMATRIX worldToView = Translation(-1.0f, 0.0f, 10.0f);
    D3DXMATRIX viewToScreen;
    D3DXMatrixPerspectiveFovLH(&viewToScreen, 1.0471976f, 4.0f / 3.0f, 0.1f, 100.0f);
    const float modifier[3] = {0.5f, 1.0f, 0.25f};

    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetVertexDeclaration(declaration);
    device->SetVertexShader(material.vertexShaderObject);
    device->SetPixelShader(material.fragmentShaderObject);
    material.fragmentConstantTable->SetFloatArray(device, material.colorModifierHandle, modifier,
                                                  3);
    material.vertexConstantTable->SetMatrix(device, material.modelToWorldHandle, &modelToWorld);
    material.vertexConstantTable->SetMatrix(device, material.worldToViewHandle, &worldToView);
    material.vertexConstantTable->SetMatrix(device, material.viewToScreenHandle, &viewToScreen);
    EXPECT_EQ(D3D_OK, device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, square, sizeof(square[0])));
    device->EndScene();
    declaration->Release();

    // The square's centre goes to view (2, 1, 10); it covers about 100 by
    // 100 pixels around the point where that projects.
    const D3DXVECTOR3 centre(0.0f, 0.0f, 0.0f);
    const D3DXMATRIX whole = modelToWorld * worldToView * viewToScreen;
    D3DXVECTOR3 screen;
    D3DXVec3TransformCoord(&screen, &centre, &whole);
    const int column = static_cast<int>((screen.x + 1.0f) * 0.5f * width);
    const int row = static_cast<int>((1.0f - screen.y) * 0.5f * height);
    ASSERT_NEAR(504, column, 2);
    ASSERT_NEAR(248, row, 2);
    const std::vector<std::uint32_t> pixels = ReadBackBuffer(device);
    ASSERT_EQ(static_cast<size_t>(width * height), pixels.size());
    const auto pixelAt = [&pixels](int x, int y) { return pixels[y * width + x]; };
    ExpectColor(D3DCOLOR_XRGB(0x60, 0x80, 0x3C), pixelAt(column, row));
    ExpectColor(D3DCOLOR_XRGB(0x60, 0x80, 0x3C), pixelAt(column + 30, row - 30));
    // Without the model transform the square would sit here, left of centre.
    ExpectColor(0, pixelAt(348, 300));
    ExpectColor(0, pixelAt(width / 2, height / 2));
}

} // namespace
