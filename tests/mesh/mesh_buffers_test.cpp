// What the meshes ask of the device and what they write into their buffers,
// against the tests' own copy of the geometry.
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "tests/mesh/expected_geometry.h"
#include "tests/mesh/fake_device_start.h"
#include "tests/support/message_boxes.h"

namespace {

// 16 bytes a vertex: x, y, z as floats, then the color's bytes B, G, R, A.
std::vector<BYTE> VertexBytes(const ExpectedVertex* vertices, int count) {
    std::vector<BYTE> bytes;
    for (int i = 0; i < count; ++i) {
        const float position[3] = {vertices[i].x, vertices[i].y, vertices[i].z};
        const BYTE* positionBytes = reinterpret_cast<const BYTE*>(position);
        bytes.insert(bytes.end(), positionBytes, positionBytes + sizeof(position));
        for (int shift : {0, 8, 16, 24}) {
            bytes.push_back(static_cast<BYTE>(vertices[i].color >> shift));
        }
    }
    return bytes;
}

// 4 bytes an index, least significant first.
std::vector<BYTE> IndexBytes(const std::uint32_t* indices, int count) {
    std::vector<BYTE> bytes;
    for (int i = 0; i < count; ++i) {
        for (int shift : {0, 8, 16, 24}) {
            bytes.push_back(static_cast<BYTE>(indices[i] >> shift));
        }
    }
    return bytes;
}

void ExpectOneWholeLock(const FakeBufferBytes& buffer) {
    ASSERT_EQ(1u, buffer.locks.size());
    EXPECT_EQ(0u, buffer.locks[0].offset);
    EXPECT_EQ(0u, buffer.locks[0].size);
    EXPECT_EQ(0u, buffer.locks[0].flags);
    EXPECT_EQ(1, buffer.unlocks);
    EXPECT_FALSE(buffer.locked);
    EXPECT_TRUE(buffer.GuardIntact());
}

TEST(MeshBuffers, HoldExactlyTheBuiltInGeometry) {
    FakeDirect3DScope d3d;
    MessageBoxCapture messageBoxes;
    ASSERT_NE(nullptr, StartFakeDevice(d3d));
    BuildBothMeshes();
    EXPECT_TRUE(messageBoxes.boxes.empty());
    ASSERT_EQ(2u, d3d.vertexBuffers.size());
    ASSERT_EQ(2u, d3d.indexBuffers.size());

    EXPECT_EQ(128u, d3d.vertexBuffers[0]->length());
    EXPECT_EQ(144u, d3d.indexBuffers[0]->length());
    EXPECT_EQ(64u, d3d.vertexBuffers[1]->length());
    EXPECT_EQ(24u, d3d.indexBuffers[1]->length());
    EXPECT_EQ(VertexBytes(expectedCubeVertices, 8), d3d.vertexBuffers[0]->Bytes());
    EXPECT_EQ(IndexBytes(expectedCubeIndices, 36), d3d.indexBuffers[0]->Bytes());
    EXPECT_EQ(VertexBytes(expectedSquareVertices, 4), d3d.vertexBuffers[1]->Bytes());
    EXPECT_EQ(IndexBytes(expectedSquareIndices, 6), d3d.indexBuffers[1]->Bytes());

    // Blue, the cube's second vertex, lies in memory as B, G, R, A.
    const std::vector<BYTE> cubeBytes = d3d.vertexBuffers[0]->Bytes();
    EXPECT_EQ((std::vector<BYTE>{0xFF, 0x00, 0x00, 0xFF}),
              std::vector<BYTE>(cubeBytes.begin() + 16 + 12, cubeBytes.begin() + 32));

    for (const FakeVertexBuffer* buffer : d3d.vertexBuffers) {
        EXPECT_EQ(0u, buffer->fvf);
        EXPECT_EQ(D3DPOOL_DEFAULT, buffer->pool);
        ExpectOneWholeLock(*buffer);
    }
    for (const FakeIndexBuffer* buffer : d3d.indexBuffers) {
        EXPECT_EQ(D3DFMT_INDEX32, buffer->format);
        EXPECT_EQ(D3DPOOL_DEFAULT, buffer->pool);
        ExpectOneWholeLock(*buffer);
    }
}

TEST(MeshBuffers, EachMeshDeclaresThe16ByteLayoutAndLeavesItCurrent) {
    FakeDirect3DScope d3d;
    MessageBoxCapture messageBoxes;
    FakeDevice* device = StartFakeDevice(d3d);
    ASSERT_NE(nullptr, device);
    BuildBothMeshes();

    ASSERT_EQ(2u, d3d.declarations.size());
    for (const FakeVertexDeclaration* declaration : d3d.declarations) {
        ASSERT_EQ(3u, declaration->elements.size());
        const D3DVERTEXELEMENT9& position = declaration->elements[0];
        const D3DVERTEXELEMENT9& color = declaration->elements[1];
        const D3DVERTEXELEMENT9& end = declaration->elements[2];
        EXPECT_EQ((std::vector<int>{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT,
                                    D3DDECLUSAGE_POSITION, 0}),
                  (std::vector<int>{position.Stream, position.Offset, position.Type,
                                    position.Method, position.Usage, position.UsageIndex}));
        EXPECT_EQ((std::vector<int>{0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT,
                                    D3DDECLUSAGE_COLOR, 0}),
                  (std::vector<int>{color.Stream, color.Offset, color.Type, color.Method,
                                    color.Usage, color.UsageIndex}));
        EXPECT_EQ(0xFF, end.Stream);
        EXPECT_EQ(D3DDECLTYPE_UNUSED, end.Type);
    }
    // Drawing sets no declaration of its own and relies on the last one set.
    EXPECT_EQ(d3d.declarations[1]->com(), device->declaration);
    EXPECT_EQ(g_graphics.square.vertexDeclaration, device->declaration);
}

// Only a device that processes vertices in software alone needs buffers
// marked for software processing.
TEST(MeshBuffers, UsageFollowsTheDevicesVertexProcessing) {
    const struct {
        DWORD behaviorFlags;
        DWORD usage;
    } cases[] = {
        {D3DCREATE_HARDWARE_VERTEXPROCESSING, 0x8},
        {D3DCREATE_MIXED_VERTEXPROCESSING, 0x8},
        {D3DCREATE_SOFTWARE_VERTEXPROCESSING, 0x18},
        {D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE, 0x18},
        {D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING, 0x8},
    };
    for (const auto& testCase : cases) {
        FakeDirect3DScope d3d;
        MessageBoxCapture messageBoxes;
        ASSERT_NE(nullptr, StartFakeDevice(d3d, testCase.behaviorFlags));
        BuildBothMeshes();
        ASSERT_EQ(2u, d3d.vertexBuffers.size());
        ASSERT_EQ(2u, d3d.indexBuffers.size());
        for (int mesh = 0; mesh < 2; ++mesh) {
            EXPECT_EQ(testCase.usage, d3d.vertexBuffers[mesh]->usage)
                << "behaviour flags 0x" << std::hex << testCase.behaviorFlags;
            EXPECT_EQ(testCase.usage, d3d.indexBuffers[mesh]->usage)
                << "behaviour flags 0x" << std::hex << testCase.behaviorFlags;
        }
    }
}

} // namespace
