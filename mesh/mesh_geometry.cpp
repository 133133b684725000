#include "mesh/mesh_geometry.h"

static_assert(sizeof(Vertex) == 16, "the vertex layout and the stream stride are 16 bytes");

const D3DVERTEXELEMENT9 vertexElements[3] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    D3DDECL_END()};

namespace {

// Edge 2 around the model origin; every triangle is clockwise seen from
// outside, the front face under the default cull mode.
const Vertex cubeVertices[8] = {
    {-1.0f, -1.0f, -1.0f, 0xFF000000}, {1.0f, -1.0f, -1.0f, 0xFF0000FF},
    {1.0f, 1.0f, -1.0f, 0xFF00FF00},   {-1.0f, 1.0f, -1.0f, 0xFF00FFFF},
    {-1.0f, 1.0f, 1.0f, 0xFFFF0000},   {1.0f, 1.0f, 1.0f, 0xFFFF00FF},
    {1.0f, -1.0f, 1.0f, 0xFFFFFF00},   {-1.0f, -1.0f, 1.0f, 0xFFFFFFFF}};

const UINT32 cubeIndices[36] = {
    0, 3, 1, 3, 2, 1, // z = -1
    4, 3, 7, 3, 0, 7, // x = -1
    2, 5, 6, 2, 6, 1, // x = +1
    0, 6, 7, 0, 1, 6, // y = -1
    4, 5, 3, 5, 2, 3, // y = +1
    5, 4, 7, 5, 7, 6, // z = +1
};

// The floor lies in the plane of the cube's bottom face and faces up only.
const Vertex squareVertices[4] = {{-5.0f, -1.0f, -5.0f, 0xFFFFFFFF},
                                  {5.0f, -1.0f, -5.0f, 0xFF7F7F7F},
                                  {5.0f, -1.0f, 5.0f, 0xFF404040},
                                  {-5.0f, -1.0f, 5.0f, 0xFF202020}};

const UINT32 squareIndices[6] = {0, 3, 2, 2, 1, 0};

const MeshGeometry cubeGeometry = {cubeVertices, 8, cubeIndices, 12};
const MeshGeometry squareGeometry = {squareVertices, 4, squareIndices, 2};

} // namespace

const MeshGeometry& GetMeshGeometry(MeshShape shape) {
    return shape == Square ? squareGeometry : cubeGeometry;
}
