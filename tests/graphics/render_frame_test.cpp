// One frame against the Direct3D test doubles, with the clock and the keys
// under the test's control.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <d3dx9math.h>

#include "graphics/graphics_context.h"
#include "tests/support/fake_direct3d.h"
#include "tests/support/message_boxes.h"
#include "tests/support/win32_fakes.h"

namespace {

// 100 counts are one frame at 60 frames per second.
const LONGLONG countsPerSecond = 6000;
const LONGLONG sixtiethOfASecond = 100;

const DWORD someVertexCode[] = {0xFFFE0200, 0x0000FFFF};
const DWORD somePixelCode[] = {0xFFFF0200, 0x0000FFFF};

std::vector<uint32_t> Bits(const float* values, size_t count) {
    std::vector<uint32_t> bits(count);
    std::memcpy(bits.data(), values, count * sizeof(float));
    return bits;
}

std::vector<uint32_t> Bits(const D3DXMATRIX& matrix) {
    return Bits(static_cast<const float*>(matrix), 16);
}

float FromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

class RenderFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        counter.frequency = countsPerSecond;
        // Without the program's folder the material and shader steps fail;
        // GiveMaterial stands in for them where a test needs a material.
        ASSERT_TRUE(InitializeGraphics(FakeWindow()));
        ASSERT_NE(nullptr, g_graphics.cube.vertexBuffer);
        ASSERT_NE(nullptr, g_graphics.square.indexBuffer);
        d3d.log.clear();
    }

    void GiveMaterial() {
        Material& material = g_graphics.material;
        IDirect3DDevice9* device = g_graphics.device;
        device->CreateVertexShader(someVertexCode, &material.vertexShaderObject);
        device->CreatePixelShader(somePixelCode, &material.fragmentShaderObject);
        D3DXGetShaderConstantTable(someVertexCode, &material.vertexConstantTable);
        D3DXGetShaderConstantTable(somePixelCode, &material.fragmentConstantTable);
        ID3DXConstantTable* vertexTable = material.vertexConstantTable;
        material.worldToViewHandle =
            vertexTable->GetConstantByName(nullptr, "g_transform_worldToView");
        material.viewToScreenHandle =
            vertexTable->GetConstantByName(nullptr, "g_transform_viewToScreen");
        material.modelToWorldHandle =
            vertexTable->GetConstantByName(nullptr, "g_transform_modelToWorld");
        material.colorModifierHandle =
            material.fragmentConstantTable->GetConstantByName(nullptr, "g_colorModifier");
        material.colorModifier[0] = 1.0f;
        material.colorModifier[1] = 0.5f;
        material.colorModifier[2] = 0.25f;
        d3d.log.clear();
    }

    FakeConstantTable* VertexTable() const { return d3d.constantTables.at(0); }
    FakeConstantTable* FragmentTable() const { return d3d.constantTables.at(1); }

    // One frame, `counts` after the previous one.
    void Frame(LONGLONG counts) {
        counter.counter += counts;
        RenderFrame();
    }

    FakePerformanceCounter counter;
    FakeKeyboard keyboard;
    MessageBoxCapture messageBoxes;
    FakeDirect3DScope d3d;
};

// --- The frame's calls ---------------------------------------------------

TEST_F(RenderFrameTest, OneFrameMakesEveryCallInOrder) {
    GiveMaterial();
    {
        SequenceLog logged(d3d.log);
        Frame(sixtiethOfASecond);
    }
    const std::vector<std::string> expected = {
        "QueryPerformanceCounter",
        "ct#2.SetFloatArray(dev#1, g_colorModifier, 3)",
        "GetAsyncKeyState(0x25)",
        "GetAsyncKeyState(0x27)",
        "GetAsyncKeyState(0x26)",
        "GetAsyncKeyState(0x28)",
        "GetAsyncKeyState(0x41)",
        "GetAsyncKeyState(0x44)",
        "GetAsyncKeyState(0x57)",
        "GetAsyncKeyState(0x53)",
        "Clear(0, null, 3, 0xff000000, 1, 0)",
        "BeginScene()",
        "SetVertexShader(vs#1)",
        "SetPixelShader(ps#1)",
        "ct#1.SetMatrix(dev#1, g_transform_worldToView)",
        "ct#1.SetMatrix(dev#1, g_transform_viewToScreen)",
        "SetStreamSource(0, vb#1, 0, 16)",
        "SetIndices(ib#1)",
        "ct#1.SetMatrix(dev#1, g_transform_modelToWorld)",
        "DrawIndexedPrimitive(4, 0, 0, 8, 0, 12)",
        "SetStreamSource(0, vb#2, 0, 16)",
        "SetIndices(ib#2)",
        "ct#1.SetMatrix(dev#1, g_transform_modelToWorld)",
        "DrawIndexedPrimitive(4, 0, 0, 4, 0, 2)",
        "EndScene()",
        "Present(null, null, null, null)",
    };
    EXPECT_EQ(expected, d3d.log);
    EXPECT_EQ(0, d3d.invalidDraws);
    EXPECT_EQ(0, d3d.callsAfterRelease);
}

TEST_F(RenderFrameTest, EveryFrameReadsTheCounterOnceAndEightKeysAndDrawsTwice) {
    GiveMaterial();
    const int countersBefore = counter.counterQueries;
    for (int frame = 0; frame < 10; ++frame) {
        Frame(sixtiethOfASecond);
    }
    EXPECT_EQ(10, counter.counterQueries - countersBefore);
    EXPECT_EQ(80, keyboard.TotalQueries());
    EXPECT_EQ(20, d3d.CountCalls("DrawIndexedPrimitive("));
    EXPECT_EQ(10, d3d.CountCalls("Present("));
}

TEST_F(RenderFrameTest, ColorModifierOfMinusOneRestoresTheShaderDefaults) {
    GiveMaterial();
    // Whatever the other two components hold.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    float* modifier = g_graphics.material.colorModifier;
    modifier[0] = -1.0f;
    modifier[1] = nan;
    modifier[2] = 7.0f;
    Frame(sixtiethOfASecond);
    ASSERT_EQ(1u, FragmentTable()->settings.size());
    EXPECT_EQ("SetDefaults", FragmentTable()->settings[0].method);
    EXPECT_EQ(g_graphics.device, FragmentTable()->settings[0].device);
}

TEST_F(RenderFrameTest, AnyOtherColorModifierIsSentAsThreeFloats) {
    GiveMaterial();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float firsts[] = {nan, std::nextafter(-1.0f, 0.0f), -0.0f, 1.0f};
    for (float first : firsts) {
        float* modifier = g_graphics.material.colorModifier;
        modifier[0] = first;
        modifier[1] = -1.0f;
        modifier[2] = 0.125f;
        FragmentTable()->settings.clear();
        Frame(sixtiethOfASecond);
        ASSERT_EQ(1u, FragmentTable()->settings.size());
        const ConstantSetting& setting = FragmentTable()->settings[0];
        EXPECT_EQ("SetFloatArray", setting.method);
        EXPECT_EQ(g_graphics.device, setting.device);
        EXPECT_EQ("g_colorModifier", setting.constant);
        EXPECT_EQ(3u, setting.count);
        EXPECT_EQ(Bits(modifier, 3), Bits(setting.values.data(), setting.values.size()));
    }
}

TEST_F(RenderFrameTest, MatricesAreD3DXsOwn) {
    GiveMaterial();
    Camera& camera = g_graphics.camera;
    camera.position = {1.5f, -2.25f, -10.0f};
    camera.fieldOfView = 0.9f;
    camera.nearPlane = 0.5f;
    camera.farPlane = 50.0f;
    g_graphics.cube.position = {0.75f, 0.0f, 3.5f};

    Frame(sixtiethOfASecond);

    const std::vector<ConstantSetting>& settings = VertexTable()->settings;
    ASSERT_EQ(4u, settings.size());
    for (const ConstantSetting& setting : settings) {
        EXPECT_EQ("SetMatrix", setting.method);
        EXPECT_EQ(g_graphics.device, setting.device);
        ASSERT_EQ(16u, setting.values.size());
    }
    D3DXMATRIX worldToView;
    D3DXMatrixTranslation(&worldToView, -1.5f, 2.25f, 10.0f);
    EXPECT_EQ(Bits(worldToView), Bits(settings[0].values.data(), 16));

    const float fourThirds = FromBits(0x3FAAAAAB);
    D3DXMATRIX viewToScreen;
    D3DXMatrixPerspectiveFovLH(&viewToScreen, 0.9f, fourThirds, 0.5f, 50.0f);
    EXPECT_EQ(Bits(viewToScreen), Bits(settings[1].values.data(), 16));

    D3DXMATRIX cubeToWorld;
    D3DXMatrixTranslation(&cubeToWorld, 0.75f, 0.0f, 3.5f);
    EXPECT_EQ(Bits(cubeToWorld), Bits(settings[2].values.data(), 16));
    D3DXMATRIX squareToWorld;
    D3DXMatrixIdentity(&squareToWorld);
    EXPECT_EQ(Bits(squareToWorld), Bits(settings[3].values.data(), 16));
}

TEST_F(RenderFrameTest, StartingCameraLooksAtTheCubeFromTenUnits) {
    GiveMaterial();
    Frame(sixtiethOfASecond);
    const std::vector<ConstantSetting>& settings = VertexTable()->settings;
    ASSERT_EQ(4u, settings.size());
    D3DXMATRIX worldToView;
    D3DXMatrixTranslation(&worldToView, 0.0f, 0.0f, 10.0f);
    for (int i = 0; i < 16; ++i) {
        // Compared as values: the rigid inverse may give a zero either sign.
        EXPECT_EQ(static_cast<const float*>(worldToView)[i], settings[0].values[i]) << i;
    }
}

// --- What is missing is left out ----------------------------------------

TEST_F(RenderFrameTest, WithoutAnyMaterialObjectTheFrameStillDraws) {
    Frame(sixtiethOfASecond);
    const std::vector<std::string> expected = {
        "Clear(0, null, 3, 0xff000000, 1, 0)",
        "BeginScene()",
        "SetVertexShader(null)",
        "SetPixelShader(null)",
        "SetStreamSource(0, vb#1, 0, 16)",
        "SetIndices(ib#1)",
        "DrawIndexedPrimitive(4, 0, 0, 8, 0, 12)",
        "SetStreamSource(0, vb#2, 0, 16)",
        "SetIndices(ib#2)",
        "DrawIndexedPrimitive(4, 0, 0, 4, 0, 2)",
        "EndScene()",
        "Present(null, null, null, null)",
    };
    EXPECT_EQ(expected, d3d.log);
}

TEST_F(RenderFrameTest, MissingHandlesArePassedAsNull) {
    GiveMaterial();
    Material& material = g_graphics.material;
    material.worldToViewHandle = nullptr;
    material.viewToScreenHandle = nullptr;
    material.modelToWorldHandle = nullptr;
    material.colorModifierHandle = nullptr;
    Frame(sixtiethOfASecond);
    EXPECT_EQ(1, d3d.CountCalls("ct#2.SetFloatArray(dev#1, null, 3)"));
    EXPECT_EQ(4, d3d.CountCalls("ct#1.SetMatrix(dev#1, null)"));
    EXPECT_EQ(2, d3d.CountCalls("DrawIndexedPrimitive("));
}

TEST_F(RenderFrameTest, OneMissingTableLeavesOutOnlyItsSettings) {
    GiveMaterial();
    g_graphics.material.vertexConstantTable->Release();
    g_graphics.material.vertexConstantTable = nullptr;
    d3d.log.clear();
    Frame(sixtiethOfASecond);
    EXPECT_EQ(0, d3d.CountCalls("ct#1."));
    EXPECT_EQ(1, d3d.CountCalls("ct#2.SetFloatArray("));
    EXPECT_EQ(2, d3d.CountCalls("DrawIndexedPrimitive("));

    g_graphics.material.fragmentConstantTable->Release();
    g_graphics.material.fragmentConstantTable = nullptr;
    d3d.log.clear();
    Frame(sixtiethOfASecond);
    EXPECT_EQ(0, d3d.CountCalls("ct#"));
    EXPECT_EQ(2, d3d.CountCalls("DrawIndexedPrimitive("));
    EXPECT_EQ(0, d3d.callsAfterRelease);
}

TEST(RenderFrameMeshes, AMeshWithoutABufferOrDeviceIsNotDrawn) {
    FakePerformanceCounter counter;
    FakeKeyboard keyboard;
    MessageBoxCapture messageBoxes;
    FakeDirect3DScope d3d;
    // The cube gets no vertex buffer, the square no index buffer.
    d3d.Fail("CreateVertexBuffer", E_OUTOFMEMORY, 1);
    d3d.Fail("CreateIndexBuffer", E_OUTOFMEMORY, 1);
    ASSERT_TRUE(InitializeGraphics(FakeWindow()));
    ASSERT_EQ(nullptr, g_graphics.cube.vertexBuffer);
    ASSERT_NE(nullptr, g_graphics.square.vertexBuffer);
    ASSERT_EQ(nullptr, g_graphics.square.indexBuffer);
    d3d.log.clear();

    RenderFrame();
    EXPECT_EQ(0, d3d.CountCalls("SetStreamSource("));
    EXPECT_EQ(0, d3d.CountCalls("SetIndices("));
    EXPECT_EQ(0, d3d.CountCalls("DrawIndexedPrimitive("));
    EXPECT_EQ(1, d3d.CountCalls("Present("));
}

TEST_F(RenderFrameTest, AMeshMissingABufferOrItsDeviceIsNotDrawn) {
    Mesh& cube = g_graphics.cube;
    IDirect3DVertexBuffer9* vertexBuffer = cube.vertexBuffer;
    IDirect3DIndexBuffer9* indexBuffer = cube.indexBuffer;
    IDirect3DDevice9* device = cube.device;
    for (int missing = 0; missing < 3; ++missing) {
        cube.vertexBuffer = missing == 0 ? nullptr : vertexBuffer;
        cube.indexBuffer = missing == 1 ? nullptr : indexBuffer;
        cube.device = missing == 2 ? nullptr : device;
        d3d.log.clear();
        Frame(sixtiethOfASecond);
        SCOPED_TRACE(missing);
        EXPECT_EQ(std::vector<std::string>{"DrawIndexedPrimitive(4, 0, 0, 4, 0, 2)"},
                  d3d.CallsStartingWith("DrawIndexedPrimitive("));
        EXPECT_EQ(std::vector<std::string>{"SetStreamSource(0, vb#2, 0, 16)"},
                  d3d.CallsStartingWith("SetStreamSource("));
    }
    // Back for the cube's teardown.
    cube.vertexBuffer = vertexBuffer;
    cube.indexBuffer = indexBuffer;
    cube.device = device;
}

TEST(RenderFrameWithoutDevice, OnlyTimeAndMovementGoOn) {
    FakePerformanceCounter counter;
    FakeKeyboard keyboard;
    FakeDirect3DScope d3d;
    counter.frequency = countsPerSecond;
    // The window in front, as InitializeGraphics would have stored it.
    g_graphics.window = FakeWindow();
    // A table alone, which no constant can be set through without a device.
    D3DXGetShaderConstantTable(somePixelCode, &g_graphics.material.fragmentConstantTable);
    d3d.log.clear();
    keyboard.Press(VK_RIGHT);
    RenderFrame();
    counter.counter += countsPerSecond / 2;
    RenderFrame();
    EXPECT_EQ(0.5f, g_graphics.cubeVelocity.x);
    EXPECT_EQ(0.5f, g_graphics.cube.position.x);
    EXPECT_EQ(16, keyboard.TotalQueries());
    EXPECT_TRUE(d3d.log.empty());
}

// --- Movement -------------------------------------------------------------

struct KeyMovement {
    int key;
    Float3 cube;
    Float3 camera;
};

TEST_F(RenderFrameTest, EachKeyMovesOneComponentOneWay) {
    const KeyMovement movements[] = {
        {VK_LEFT, {-0.5f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}},
        {VK_RIGHT, {0.5f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}},
        {VK_UP, {0.0f, 0.0f, 0.5f}, {0.0f, 0.0f, 0.0f}},
        {VK_DOWN, {0.0f, 0.0f, -0.5f}, {0.0f, 0.0f, 0.0f}},
        {'A', {0.0f, 0.0f, 0.0f}, {-0.5f, 0.0f, 0.0f}},
        {'D', {0.0f, 0.0f, 0.0f}, {0.5f, 0.0f, 0.0f}},
        {'W', {0.0f, 0.0f, 0.0f}, {0.0f, 0.5f, 0.0f}},
        {'S', {0.0f, 0.0f, 0.0f}, {0.0f, -0.5f, 0.0f}},
    };
    for (const KeyMovement& movement : movements) {
        g_graphics.cubeVelocity = {0.0f, 0.0f, 0.0f};
        g_graphics.camera.velocity = {0.0f, 0.0f, 0.0f};
        g_graphics.cube.position = {0.0f, 0.0f, 0.0f};
        g_graphics.camera.position = {0.0f, 0.0f, -10.0f};
        keyboard.Press(movement.key);
        Frame(countsPerSecond / 2);
        keyboard.Release(movement.key);

        const Float3& cube = g_graphics.cube.position;
        const Float3& camera = g_graphics.camera.position;
        SCOPED_TRACE(movement.key);
        EXPECT_EQ(movement.cube.x, cube.x);
        EXPECT_EQ(movement.cube.y, cube.y);
        EXPECT_EQ(movement.cube.z, cube.z);
        EXPECT_EQ(movement.camera.x, camera.x);
        EXPECT_EQ(movement.camera.y, camera.y);
        EXPECT_EQ(-10.0f, camera.z);
        EXPECT_EQ(movement.cube.x, g_graphics.cubeVelocity.x);
        EXPECT_EQ(movement.camera.y, g_graphics.camera.velocity.y);
    }
}

TEST_F(RenderFrameTest, HeldAtSixtyFramesASecondTheCubeSettlesNearOneFiftyNinth) {
    keyboard.Press(VK_RIGHT);
    float step = 0.0f;
    for (int frame = 0; frame < 60; ++frame) {
        const float before = g_graphics.cube.position.x;
        Frame(sixtiethOfASecond);
        step = g_graphics.cube.position.x - before;
    }
    EXPECT_NEAR(1.0f / 59.0f, step, 1e-6f);
    EXPECT_NEAR(1.0f / 59.0f, g_graphics.cubeVelocity.x, 1e-7f);
}

TEST_F(RenderFrameTest, AfterReleaseTheDisplacementShrinksByTheFrameTime) {
    keyboard.Press(VK_RIGHT);
    for (int frame = 0; frame < 30; ++frame) {
        Frame(sixtiethOfASecond);
    }
    keyboard.Release(VK_RIGHT);
    const float frameTime = static_cast<float>(sixtiethOfASecond / double(countsPerSecond));
    for (int frame = 0; frame < 4; ++frame) {
        const float velocity = g_graphics.cubeVelocity.x;
        const float position = g_graphics.cube.position.x;
        Frame(sixtiethOfASecond);
        EXPECT_EQ(velocity * frameTime, g_graphics.cubeVelocity.x);
        EXPECT_EQ(position + g_graphics.cubeVelocity.x, g_graphics.cube.position.x);
    }
    EXPECT_LT(g_graphics.cubeVelocity.x, 1e-8f);
}

TEST_F(RenderFrameTest, OppositeKeysCancel) {
    const int keys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, 'A', 'D', 'W', 'S'};
    for (int key : keys) {
        keyboard.Press(key);
    }
    for (int frame = 0; frame < 10; ++frame) {
        Frame(sixtiethOfASecond);
    }
    EXPECT_EQ(0.0f, g_graphics.cube.position.x);
    EXPECT_EQ(0.0f, g_graphics.cube.position.z);
    EXPECT_EQ(0.0f, g_graphics.camera.position.x);
    EXPECT_EQ(0.0f, g_graphics.camera.position.y);

    // Once moving, both held leave only the decay of what was moving.
    for (int key : keys) {
        keyboard.Release(key);
    }
    keyboard.Press(VK_RIGHT);
    Frame(sixtiethOfASecond);
    const float velocity = g_graphics.cubeVelocity.x;
    keyboard.Press(VK_LEFT);
    Frame(sixtiethOfASecond);
    EXPECT_NEAR(velocity / 60.0f, g_graphics.cubeVelocity.x, 1e-8f);
}

TEST_F(RenderFrameTest, NoTimePassingFreezesAndStops) {
    g_graphics.cubeVelocity = {0.5f, 0.0f, -0.25f};
    g_graphics.camera.velocity = {-0.5f, 0.75f, 0.0f};
    keyboard.Press(VK_RIGHT);
    keyboard.Press('W');
    Frame(0);
    EXPECT_EQ(0.0f, g_graphics.cube.position.x);
    EXPECT_EQ(0.0f, g_graphics.cube.position.z);
    EXPECT_EQ(0.0f, g_graphics.camera.position.x);
    EXPECT_EQ(0.0f, g_graphics.camera.position.y);
    const Float3 zero = {0.0f, 0.0f, 0.0f};
    for (const Float3& velocity : {g_graphics.cubeVelocity, g_graphics.camera.velocity}) {
        EXPECT_EQ(zero.x, velocity.x);
        EXPECT_EQ(zero.y, velocity.y);
        EXPECT_EQ(zero.z, velocity.z);
    }
}

TEST_F(RenderFrameTest, FramesOfASecondOrMoreMakeTheStepGrow) {
    keyboard.Press(VK_UP);
    std::vector<float> steps;
    for (int frame = 0; frame < 3; ++frame) {
        const float before = g_graphics.cube.position.z;
        Frame(countsPerSecond);
        steps.push_back(g_graphics.cube.position.z - before);
    }
    EXPECT_EQ((std::vector<float>{1.0f, 2.0f, 3.0f}), steps);

    steps.clear();
    g_graphics.cubeVelocity.z = 0.0f;
    for (int frame = 0; frame < 3; ++frame) {
        const float before = g_graphics.cube.position.z;
        Frame(2 * countsPerSecond);
        steps.push_back(g_graphics.cube.position.z - before);
    }
    EXPECT_EQ((std::vector<float>{2.0f, 6.0f, 14.0f}), steps);
}

TEST_F(RenderFrameTest, OnlyAKeyDownNowCounts) {
    // The lowest bit alone only says the key went down since the last query.
    keyboard.keyStates[VK_RIGHT] = 1;
    Frame(countsPerSecond / 2);
    EXPECT_EQ(0.0f, g_graphics.cube.position.x);

    const SHORT downs[] = {static_cast<SHORT>(0x8000), static_cast<SHORT>(0x8001), 2};
    for (SHORT down : downs) {
        g_graphics.cubeVelocity.x = 0.0f;
        g_graphics.cube.position.x = 0.0f;
        keyboard.keyStates[VK_RIGHT] = down;
        Frame(countsPerSecond / 2);
        EXPECT_EQ(0.5f, g_graphics.cube.position.x) << down;
    }
}

} // namespace
