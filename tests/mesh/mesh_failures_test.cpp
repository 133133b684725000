// Each failed Direct3D step of the cube: one box owned by the main window,
// the objects made before it kept, nothing made after it, and the square
// built all the same.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/mesh/fake_device_start.h"
#include "tests/support/message_boxes.h"

namespace {

enum Survivors { None, Declaration, VertexBuffer, IndexBuffer };

struct FailureRow {
    const char* call;
    const char* caption;
    const char* text;
    Survivors survivors; // the last object that still exists
};

const FailureRow failureRows[] = {
    {"GetCreationParameters", "No Vertex Buffer",
     "DirectX failed to get device creation parameters", None},
    {"CreateVertexDeclaration", "No Vertex Declaration",
     "DirectX failed to create a Direct3D9 vertex declaration", None},
    {"SetVertexDeclaration", "No Vertex Declaration",
     "DirectX failed to set the vertex declaration", Declaration},
    {"CreateVertexBuffer", "No Vertex Buffer", "DirectX failed to create a vertex buffer",
     Declaration},
    {"vb.Lock", "No Vertex Buffer", "DirectX failed to lock the vertex buffer", VertexBuffer},
    {"vb.Unlock", "No Vertex Buffer", "DirectX failed to unlock the vertex buffer", VertexBuffer},
    {"CreateIndexBuffer", "No Index Buffer", "DirectX failed to create an index buffer",
     VertexBuffer},
    {"ib.Lock", "No Index Buffer", "DirectX failed to lock the index buffer", IndexBuffer},
    {"ib.Unlock", "No Index Buffer", "DirectX failed to unlock the index buffer", IndexBuffer},
};

void ExpectComplete(const Mesh& mesh) {
    EXPECT_NE(nullptr, mesh.vertexDeclaration);
    EXPECT_NE(nullptr, mesh.vertexBuffer);
    EXPECT_NE(nullptr, mesh.indexBuffer);
}

TEST(MeshFailures, EachFailedStepShowsOneBoxAndKeepsWhatWasMade) {
    for (const FailureRow& row : failureRows) {
        SCOPED_TRACE(row.call);
        FakeDirect3DScope d3d;
        MessageBoxCapture messageBoxes;
        ASSERT_NE(nullptr, StartFakeDevice(d3d));
        d3d.Fail(row.call, E_FAIL, 1); // the cube's call only
        BuildBothMeshes();

        ASSERT_EQ(1u, messageBoxes.boxes.size());
        EXPECT_EQ(row.caption, messageBoxes.boxes[0].caption);
        EXPECT_EQ(row.text, messageBoxes.boxes[0].text);
        EXPECT_EQ(TestWindow(), messageBoxes.boxes[0].owner);
        EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), messageBoxes.boxes[0].style);

        const Mesh& cube = g_graphics.cube;
        EXPECT_EQ(row.survivors >= Declaration, cube.vertexDeclaration != nullptr);
        EXPECT_EQ(row.survivors >= VertexBuffer, cube.vertexBuffer != nullptr);
        EXPECT_EQ(row.survivors >= IndexBuffer, cube.indexBuffer != nullptr);
        ExpectComplete(g_graphics.square);
        // After a failure in the vertex steps the cube asks for no index
        // buffer; only the square's is made.
        const bool vertexSide = row.caption != std::string("No Index Buffer");
        EXPECT_EQ(vertexSide ? 1 : 2, d3d.CountCalls("CreateIndexBuffer("));
        // Nothing is given back before the mesh is torn down.
        for (const std::string& entry : d3d.log) {
            EXPECT_EQ(std::string::npos, entry.find("Release()")) << entry;
        }
        // A failed lock is not unlocked; a failed unlock is not retried.
        if (cube.vertexBuffer != nullptr) {
            EXPECT_EQ(row.call == std::string("vb.Lock") ? 0 : 1, d3d.vertexBuffers[0]->unlocks);
        }
        if (cube.indexBuffer != nullptr) {
            EXPECT_EQ(row.call == std::string("ib.Lock") ? 0 : 1, d3d.indexBuffers[0]->unlocks);
        }
    }
}

// A failure in the vertex steps of the cube must not be reported again by
// the index steps, nor stop start-up.
TEST(MeshFailures, StartUpCarriesOnWithTheSquareAfterTheCubeFails) {
    FakeDirect3DScope d3d;
    MessageBoxCapture messageBoxes;
    d3d.Fail("CreateVertexBuffer", E_OUTOFMEMORY, 1);
    ASSERT_TRUE(InitializeGraphics(TestWindow()));

    // The material steps before the meshes may report their own failures.
    const std::set<std::string> meshCaptions = {"No Vertex Buffer", "No Vertex Declaration",
                                                "No Index Buffer"};
    std::vector<std::string> meshBoxes;
    for (const CapturedMessageBox& box : messageBoxes.boxes) {
        if (meshCaptions.count(box.caption) != 0) {
            meshBoxes.push_back(box.text);
        }
    }
    EXPECT_EQ(std::vector<std::string>{"DirectX failed to create a vertex buffer"}, meshBoxes);
    EXPECT_EQ(nullptr, g_graphics.cube.indexBuffer);
    ExpectComplete(g_graphics.square);
}

} // namespace
