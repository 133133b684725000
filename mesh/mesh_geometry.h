#pragma once

#include "mesh/mesh.h"

// The built-in vertices and triangle-list indices of one shape.
struct MeshGeometry {
    const Vertex* vertices;
    UINT vertexCount;
    const UINT32* indices;
    UINT primitiveCount;
};

const MeshGeometry& GetMeshGeometry(MeshShape shape);
