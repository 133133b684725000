// The geometry as written into the buffers, judged by what it must look like
// rather than compared with a table: every triangle is clockwise from the
// side that is to be seen, which is the front face under the default cull
// mode, and the triangles close the cube and cover the floor.
//
// Direct3D is left-handed (x right, y up, z away from the viewer). Seen from
// the side that n = (b - a) x (c - a) points to, with the cross product taken
// component-wise as usual, a, b, c run clockwise: for a = (0,0,0),
// b = (0,1,0), c = (1,0,0) seen from -z (up, then right: clockwise),
// n = (0,0,-1) points back at the viewer.
#include <cstdint>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "tests/mesh/expected_geometry.h"
#include "tests/mesh/fake_device_start.h"
#include "tests/support/message_boxes.h"

namespace {

struct Vector {
    float x;
    float y;
    float z;
};

Vector Minus(const ExpectedVertex& a, const ExpectedVertex& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vector Cross(const Vector& u, const Vector& v) {
    return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

float Dot(const Vector& u, const Vector& v) {
    return u.x * v.x + u.y * v.y + u.z * v.z;
}

struct WrittenMesh {
    std::vector<ExpectedVertex> vertices;
    std::vector<std::uint32_t> indices;
};

// Builds both meshes on a fake device and reads back what they wrote.
void ReadWrittenMeshes(WrittenMesh& cube, WrittenMesh& square) {
    FakeDirect3DScope d3d;
    MessageBoxCapture messageBoxes;
    ASSERT_NE(nullptr, StartFakeDevice(d3d));
    BuildBothMeshes();
    ASSERT_EQ(2u, d3d.vertexBuffers.size());
    ASSERT_EQ(2u, d3d.indexBuffers.size());
    static_assert(sizeof(ExpectedVertex) == 16, "one written vertex");
    cube = {d3d.vertexBuffers[0]->As<ExpectedVertex>(), d3d.indexBuffers[0]->As<std::uint32_t>()};
    square = {d3d.vertexBuffers[1]->As<ExpectedVertex>(), d3d.indexBuffers[1]->As<std::uint32_t>()};
}

class MeshWinding : public ::testing::Test {
protected:
    void SetUp() override {
        ReadWrittenMeshes(cube, square);
        ASSERT_EQ(8u, cube.vertices.size());
        ASSERT_EQ(36u, cube.indices.size());
        ASSERT_EQ(4u, square.vertices.size());
        ASSERT_EQ(6u, square.indices.size());
    }

    WrittenMesh cube;
    WrittenMesh square;
};

TEST_F(MeshWinding, IndicesStayBelowTheVertexCount) {
    for (std::uint32_t index : cube.indices) {
        EXPECT_LT(index, 8u);
    }
    for (std::uint32_t index : square.indices) {
        EXPECT_LT(index, 4u);
    }
}

TEST_F(MeshWinding, EveryCubeTriangleIsClockwiseFromOutsideAndTheFacesCloseTheCube) {
    // Per outward axis direction, the corners its triangles use.
    std::vector<std::set<std::uint32_t>> cornersByFace(6);
    for (size_t first = 0; first < cube.indices.size(); first += 3) {
        const ExpectedVertex& a = cube.vertices.at(cube.indices[first]);
        const ExpectedVertex& b = cube.vertices.at(cube.indices[first + 1]);
        const ExpectedVertex& c = cube.vertices.at(cube.indices[first + 2]);
        const Vector normal = Cross(Minus(b, a), Minus(c, a));
        const Vector fromCentre = {(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3,
                                   (a.z + b.z + c.z) / 3};
        // On a face of the edge-2 cube, the normal is 2 x 2 along its axis.
        EXPECT_FLOAT_EQ(4.0f, Dot(normal, fromCentre)) << "triangle " << first / 3;
        const float components[3] = {normal.x, normal.y, normal.z};
        for (int axis = 0; axis < 3; ++axis) {
            if (components[axis] != 0.0f) {
                const int face = axis * 2 + (components[axis] > 0.0f ? 1 : 0);
                cornersByFace[face].insert(
                    {cube.indices[first], cube.indices[first + 1], cube.indices[first + 2]});
            }
        }
    }
    for (int face = 0; face < 6; ++face) {
        EXPECT_EQ(4u, cornersByFace[face].size()) << "face " << face;
    }
}

TEST_F(MeshWinding, BothSquareTrianglesAreClockwiseFromAboveAndCoverTheFloor) {
    float area = 0.0f;
    for (size_t first = 0; first < square.indices.size(); first += 3) {
        const ExpectedVertex& a = square.vertices.at(square.indices[first]);
        const ExpectedVertex& b = square.vertices.at(square.indices[first + 1]);
        const ExpectedVertex& c = square.vertices.at(square.indices[first + 2]);
        const Vector normal = Cross(Minus(b, a), Minus(c, a));
        EXPECT_GT(normal.y, 0.0f) << "triangle " << first / 3;
        EXPECT_EQ(0.0f, normal.x);
        EXPECT_EQ(0.0f, normal.z);
        area += normal.y / 2.0f;
    }
    EXPECT_FLOAT_EQ(100.0f, area);
    for (const ExpectedVertex& vertex : square.vertices) {
        EXPECT_EQ(-1.0f, vertex.y); // the plane of the cube's bottom face
    }
}

} // namespace
