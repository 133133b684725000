#include "mesh/mesh.h"

// Placeholder until the geometry lands.
const D3DVERTEXELEMENT9 vertexElements[3] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    D3DDECL_END()};

void Mesh::Initialize(MeshShape newShape) {
    shape = newShape;
}
bool Mesh::InitializeVertexBuffer(DWORD) {
    return false;
}
bool Mesh::InitializeIndexBuffer(DWORD) {
    return false;
}
void Mesh::ReleaseObjects() {}
