#pragma once

#include <string>

#include <windows.h>
#include <d3d9.h>
#include <d3dx9shader.h>

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
    // A first component of exactly -1.0 selects the fragment shader's own
    // declared defaults.
    float colorModifier[3] = {0.0f, 0.0f, 0.0f};

    // Releases the vertex shader, the fragment shader, the vertex table and the
    // fragment table, in that order; handles die with their tables.
    void ReleaseObjects();
};

// Reads a whole file into a malloc'd buffer that the caller frees. message,
// when given, receives the failure's text; size, when given, the buffer's
// byte count (0 without a buffer).
bool LoadShaderFile(const char* path, void*& buffer, std::string* message, DWORD* size = nullptr);
bool LoadFragmentShader();
bool LoadVertexShader();
// The two steps after the file is read: the bytes, when they hold a whole
// shader of the kind, become the shader, its table and its handles; a failed
// creation shows the step's box.
bool CreateFragmentShaderFrom(const void* bytes, DWORD size);
bool CreateVertexShaderFrom(const void* bytes, DWORD size);
bool LoadMaterial();
