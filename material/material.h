#pragma once

#include <string>

#include <windows.h>
#include <d3d9.h>
#include <d3dx9shader.h>

// The first component of the color modifier that selects the fragment
// shader's own declared defaults instead of the three components.
const float useShaderDefaults = -1.0f;

// The one set of shaders every mesh is drawn with.
struct Material {
    IDirect3DVertexShader9* vertexShaderObject = nullptr;
    std::string vertexShaderPath;
    D3DXHANDLE worldToViewHandle = nullptr;
    D3DXHANDLE viewToScreenHandle = nullptr;
    D3DXHANDLE modelToWorldHandle = nullptr;
    ID3DXConstantTable* vertexConstantTable = nullptr;
    IDirect3DPixelShader9* fragmentShaderObject = nullptr;
    std::string fragmentShaderPath;
    ID3DXConstantTable* fragmentConstantTable = nullptr;
    D3DXHANDLE colorModifierHandle = nullptr;
    // Red, green and blue; useShaderDefaults first selects the declared ones.
    float colorModifier[3] = {0.0f, 0.0f, 0.0f};

    // Releases the vertex shader, the fragment shader, the vertex table and the
    // fragment table, in that order; handles die with their tables.
    void ReleaseObjects();
};
