// The least that draws the program's frame: the same window, device, loop,
// compiled shaders, cube and floor, and nothing else. No material file, no
// D3DX, no key polling: the shaders' constant registers are read once from
// the constant tables compiled into their byte code, and every frame sets the
// constants by register, clears, draws the two meshes and presents.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/bench_window.h"

#include <d3dx9shader.h>

namespace {

const char* const vertexShaderPath = "data/shaders/vertex.shader";
const char* const fragmentShaderPath = "data/shaders/fragment.shader";

struct Vertex {
    float x, y, z;
    D3DCOLOR color;
};

// The cube's eight corners, then the floor's four.
const Vertex vertices[12] = {
    {-1.0f, -1.0f, -1.0f, 0xFF000000}, {1.0f, -1.0f, -1.0f, 0xFF0000FF},
    {1.0f, 1.0f, -1.0f, 0xFF00FF00},   {-1.0f, 1.0f, -1.0f, 0xFF00FFFF},
    {-1.0f, 1.0f, 1.0f, 0xFFFF0000},   {1.0f, 1.0f, 1.0f, 0xFFFF00FF},
    {1.0f, -1.0f, 1.0f, 0xFFFFFF00},   {-1.0f, -1.0f, 1.0f, 0xFFFFFFFF},
    {-5.0f, -1.0f, -5.0f, 0xFFFFFFFF}, {5.0f, -1.0f, -5.0f, 0xFF7F7F7F},
    {5.0f, -1.0f, 5.0f, 0xFF404040},   {-5.0f, -1.0f, 5.0f, 0xFF202020},
};

// The floor's indices count from its own first vertex (base vertex 8).
const WORD indices[42] = {
    0, 3, 1, 3, 2, 1, // cube, z = -1
    4, 3, 7, 3, 0, 7, // x = -1
    2, 5, 6, 2, 6, 1, // x = +1
    0, 6, 7, 0, 1, 6, // y = -1
    4, 5, 3, 5, 2, 3, // y = +1
    5, 4, 7, 5, 7, 6, // z = +1
    0, 3, 2, 2, 1, 0, // floor, seen from above
};

const D3DVERTEXELEMENT9 vertexElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    D3DDECL_END(),
};

// Where a shader reads one constant, and whether a matrix sits there by
// columns (the compiler's default), so that it must be sent transposed.
struct ConstantRegister {
    int index = -1;
    bool byColumns = false;
};

struct Constants {
    ConstantRegister modelToWorld;
    ConstantRegister worldToView;
    ConstantRegister viewToScreen;
    ConstantRegister colorModifier;
    float worldToViewMatrix[16];
    float viewToScreenMatrix[16];
    float modelToWorldMatrix[16];
};

Constants g_constants;

std::vector<DWORD> ReadShaderFile(const char* path) {
    std::vector<DWORD> code;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s\n", path);
        return code;
    }
    LARGE_INTEGER size;
    DWORD read = 0;
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < 0x1000000) {
        const DWORD bytes = static_cast<DWORD>(size.QuadPart);
        code.resize((bytes + 3) / 4);
        if (!ReadFile(file, code.data(), bytes, &read, nullptr) || read != bytes) {
            code.clear();
        }
    }
    CloseHandle(file);
    return code;
}

// The register of a named constant, from the constant table that the compiler
// stores in a comment token right after the version token.
ConstantRegister FindRegister(const std::vector<DWORD>& code, const char* name) {
    ConstantRegister found;
    size_t position = 1;
    while (position < code.size() && (code[position] & 0xFFFF) == D3DSIO_COMMENT) {
        const size_t length = code[position] >> 16;
        const size_t end = position + 1 + length;
        if (length >= 2 && end <= code.size() &&
            code[position + 1] == MAKEFOURCC('C', 'T', 'A', 'B')) {
            const char* table = reinterpret_cast<const char*>(&code[position + 2]);
            const size_t tableSize = (length - 1) * sizeof(DWORD);
            D3DXSHADER_CONSTANTTABLE header = {};
            if (tableSize >= sizeof(header)) {
                std::memcpy(&header, table, sizeof(header));
            }
            for (DWORD i = 0; i < header.Constants; ++i) {
                D3DXSHADER_CONSTANTINFO info;
                const size_t infoOffset = header.ConstantInfo + i * sizeof(info);
                if (infoOffset + sizeof(info) > tableSize) {
                    break;
                }
                std::memcpy(&info, table + infoOffset, sizeof(info));
                // The name and its terminating zero must lie inside the table.
                if (info.Name + std::strlen(name) >= tableSize ||
                    std::memcmp(table + info.Name, name, std::strlen(name) + 1) != 0) {
                    continue;
                }
                D3DXSHADER_TYPEINFO type = {};
                if (info.TypeInfo + sizeof(type) <= tableSize) {
                    std::memcpy(&type, table + info.TypeInfo, sizeof(type));
                }
                found.index = info.RegisterIndex;
                found.byColumns = type.Class == D3DXPC_MATRIX_COLUMNS;
            }
        }
        position = end;
    }
    return found;
}

void SetIdentity(float* matrix) {
    std::memset(matrix, 0, 16 * sizeof(float));
    matrix[0] = matrix[5] = matrix[10] = matrix[15] = 1.0f;
}

// The program's first frame: camera at (0, 0, -10) looking along +z, both
// meshes at the origin, a 60-degree left-handed perspective at 4:3.
void BuildMatrices(Constants& constants) {
    SetIdentity(constants.modelToWorldMatrix);
    SetIdentity(constants.worldToViewMatrix);
    constants.worldToViewMatrix[14] = 10.0f;
    const float nearPlane = 0.1f;
    const float farPlane = 100.0f;
    const float yScale = 1.0f / std::tan(1.0471976f / 2.0f);
    float* projection = constants.viewToScreenMatrix;
    std::memset(projection, 0, 16 * sizeof(float));
    projection[0] = yScale / (4.0f / 3.0f);
    projection[5] = yScale;
    projection[10] = farPlane / (farPlane - nearPlane);
    projection[11] = 1.0f;
    projection[14] = -nearPlane * farPlane / (farPlane - nearPlane);
}

void SetMatrix(IDirect3DDevice9* device, ConstantRegister where, const float* matrix) {
    if (where.index < 0) {
        return;
    }
    if (!where.byColumns) {
        device->SetVertexShaderConstantF(static_cast<UINT>(where.index), matrix, 4);
        return;
    }
    float transposed[16];
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            transposed[column * 4 + row] = matrix[row * 4 + column];
        }
    }
    device->SetVertexShaderConstantF(static_cast<UINT>(where.index), transposed, 4);
}

void DrawFrame(IDirect3DDevice9* device) {
    const Constants& constants = g_constants;
    if (constants.colorModifier.index >= 0) {
        const float colorModifier[4] = {1.0f, 1.0f, 1.0f, 0.0f};
        device->SetPixelShaderConstantF(static_cast<UINT>(constants.colorModifier.index),
                                        colorModifier, 1);
    }
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    SetMatrix(device, constants.worldToView, constants.worldToViewMatrix);
    SetMatrix(device, constants.viewToScreen, constants.viewToScreenMatrix);
    SetMatrix(device, constants.modelToWorld, constants.modelToWorldMatrix);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 12);
    SetMatrix(device, constants.modelToWorld, constants.modelToWorldMatrix);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 8, 0, 4, 36, 2);
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
}

// Shaders, declaration and buffers are bound once: nothing else ever
// changes them on this device.
bool BindScene(IDirect3DDevice9* device) {
    const std::vector<DWORD> vertexCode = ReadShaderFile(vertexShaderPath);
    const std::vector<DWORD> fragmentCode = ReadShaderFile(fragmentShaderPath);
    IDirect3DVertexShader9* vertexShader = nullptr;
    IDirect3DPixelShader9* pixelShader = nullptr;
    IDirect3DVertexDeclaration9* declaration = nullptr;
    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    IDirect3DIndexBuffer9* indexBuffer = nullptr;
    void* data = nullptr;
    if (vertexCode.empty() || fragmentCode.empty() ||
        FAILED(device->CreateVertexShader(vertexCode.data(), &vertexShader)) ||
        FAILED(device->CreatePixelShader(fragmentCode.data(), &pixelShader)) ||
        FAILED(device->CreateVertexDeclaration(vertexElements, &declaration)) ||
        FAILED(device->CreateVertexBuffer(sizeof(vertices), D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT,
                                          &vertexBuffer, nullptr)) ||
        FAILED(device->CreateIndexBuffer(sizeof(indices), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                         D3DPOOL_DEFAULT, &indexBuffer, nullptr))) {
        std::fprintf(stderr, "cannot create the shaders or the meshes\n");
        return false;
    }
    vertexBuffer->Lock(0, 0, &data, 0);
    std::memcpy(data, vertices, sizeof(vertices));
    vertexBuffer->Unlock();
    indexBuffer->Lock(0, 0, &data, 0);
    std::memcpy(data, indices, sizeof(indices));
    indexBuffer->Unlock();

    device->SetVertexShader(vertexShader);
    device->SetPixelShader(pixelShader);
    device->SetVertexDeclaration(declaration);
    device->SetStreamSource(0, vertexBuffer, 0, sizeof(Vertex));
    device->SetIndices(indexBuffer);
    // The device holds its own references to what is bound.
    vertexShader->Release();
    pixelShader->Release();
    declaration->Release();
    vertexBuffer->Release();
    indexBuffer->Release();

    g_constants.modelToWorld = FindRegister(vertexCode, "g_transform_modelToWorld");
    g_constants.worldToView = FindRegister(vertexCode, "g_transform_worldToView");
    g_constants.viewToScreen = FindRegister(vertexCode, "g_transform_viewToScreen");
    g_constants.colorModifier = FindRegister(fragmentCode, "g_colorModifier");
    BuildMatrices(g_constants);
    return true;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    HWND window = CreateBenchWindow(instance, "Bench Minimal Loop", showCommand);
    if (window == nullptr) {
        return 2;
    }
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = CreateBenchDevice(window, &direct3D);
    if (device == nullptr) {
        return 2;
    }
    int exitCode = 2;
    if (BindScene(device)) {
        exitCode = RunBenchLoop(DrawFrame, device);
    }
    // Unbinding drops the last references to the shaders and buffers.
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    device->SetVertexDeclaration(nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    device->Release();
    direct3D->Release();
    return exitCode;
}
