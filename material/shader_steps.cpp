#include "material/shader_steps.h"

#include <cstdint>
#include <cstdlib>

#include "bytecode/bytecode_check.h"
#include "graphics/graphics_context.h"
#include "material/shader_file.h"

namespace {

// The device's own limits, which Direct3D checks a shader against when it
// creates it; the least any such device has when it does not say.
DeviceLimits LimitsOf(IDirect3DDevice9* device) {
    D3DCAPS9 caps;
    if (FAILED(device->GetDeviceCaps(&caps))) {
        return leastDeviceLimits;
    }
    return {caps.MaxVertexShaderConst,
            static_cast<std::uint32_t>(caps.VS20Caps.NumTemps),
            caps.MaxVertexShader30InstructionSlots,
            static_cast<std::uint32_t>(caps.PS20Caps.NumTemps),
            static_cast<std::uint32_t>(caps.PS20Caps.NumInstructionSlots),
            caps.MaxPixelShader30InstructionSlots};
}

// The byte code as Direct3D and D3DX take it, or null when the bytes are no
// whole shader of that kind: their readers take no length, so a truncated or
// foreign file must not reach them. Such a file counts as a failed creation.
const DWORD* CheckedByteCode(const void* buffer, DWORD size, ShaderKind kind) {
    return IsShaderByteCode(buffer, size, kind, LimitsOf(g_graphics.device))
               ? static_cast<const DWORD*>(buffer)
               : nullptr;
}

} // namespace

// SetMatrix writes a register per row (per column of a column matrix) from a
// 4-float buffer on D3DX's stack, and SetFloatArray reads the color
// modifier's 3 floats by its shape.
bool IsFloatMatrix(const D3DXCONSTANT_DESC& constant) {
    return constant.Type == D3DXPT_FLOAT &&
           (constant.Class == D3DXPC_MATRIX_ROWS || constant.Class == D3DXPC_MATRIX_COLUMNS) &&
           constant.Rows <= 4 && constant.Columns <= 4 && constant.Elements == 1;
}

bool IsFloatVector(const D3DXCONSTANT_DESC& constant) {
    return constant.Type == D3DXPT_FLOAT &&
           (constant.Class == D3DXPC_SCALAR || constant.Class == D3DXPC_VECTOR) &&
           constant.Elements == 1;
}

D3DXHANDLE LookUpConstant(ID3DXConstantTable* table, const char* name,
                          bool (*isSetShape)(const D3DXCONSTANT_DESC&)) {
    if (table == nullptr) {
        return nullptr;
    }
    const D3DXHANDLE handle = table->GetConstantByName(nullptr, name);
    D3DXCONSTANT_DESC constant;
    UINT count = 1;
    if (handle != nullptr &&
        (FAILED(table->GetConstantDesc(handle, &constant, &count)) || !isSetShape(constant))) {
        return nullptr;
    }
    return handle;
}

// In the order the frame sets them, the transforms in the order they apply.
const FrameConstant frameConstants[4] = {
    {worldToViewName, ShaderKind::Vertex, IsFloatMatrix, &Material::worldToViewHandle},
    {viewToScreenName, ShaderKind::Vertex, IsFloatMatrix, &Material::viewToScreenHandle},
    {modelToWorldName, ShaderKind::Vertex, IsFloatMatrix, &Material::modelToWorldHandle},
    {colorModifierName, ShaderKind::Fragment, IsFloatVector, &Material::colorModifierHandle},
};

void LookUpFrameConstants(ID3DXConstantTable* table, ShaderKind stage, Material& material) {
    for (const FrameConstant& constant : frameConstants) {
        if (constant.stage == stage) {
            material.*constant.handle = LookUpConstant(table, constant.name, constant.isSetShape);
        }
    }
}

bool CreateFragmentShaderFrom(const void* bytes, DWORD size) {
    Material& material = g_graphics.material;
    HRESULT result = D3DERR_INVALIDCALL;
    if (const DWORD* byteCode = CheckedByteCode(bytes, size, ShaderKind::Fragment)) {
        result = g_graphics.device->CreatePixelShader(byteCode, &material.fragmentShaderObject);
        D3DXGetShaderConstantTable(byteCode, &material.fragmentConstantTable);
    }
    LookUpFrameConstants(material.fragmentConstantTable, ShaderKind::Fragment, material);
    if (FAILED(result)) {
        MessageBoxA(g_graphics.window, "DirectX failed to create the fragment shader",
                    "No Fragment Shader", MB_OK | MB_ICONERROR);
    }
    return SUCCEEDED(result);
}

bool CreateVertexShaderFrom(const void* bytes, DWORD size) {
    Material& material = g_graphics.material;
    HRESULT result = D3DERR_INVALIDCALL;
    if (const DWORD* byteCode = CheckedByteCode(bytes, size, ShaderKind::Vertex)) {
        result = g_graphics.device->CreateVertexShader(byteCode, &material.vertexShaderObject);
        D3DXGetShaderConstantTable(byteCode, &material.vertexConstantTable);
    }
    LookUpFrameConstants(material.vertexConstantTable, ShaderKind::Vertex, material);
    if (FAILED(result)) {
        MessageBoxA(g_graphics.window, "DirectX failed to create the vertex shader",
                    "No Vertex Shader", MB_OK | MB_ICONERROR);
    }
    return SUCCEEDED(result);
}

// The reader's own message is not shown: a missing file shows as the failed
// creation.
bool LoadFragmentShader() {
    void* buffer = nullptr;
    DWORD size = 0;
    LoadShaderFile(g_graphics.material.fragmentShaderPath.c_str(), buffer, nullptr, &size);
    const bool created = CreateFragmentShaderFrom(buffer, size);
    std::free(buffer);
    return created;
}

bool LoadVertexShader() {
    void* buffer = nullptr;
    DWORD size = 0;
    LoadShaderFile(g_graphics.material.vertexShaderPath.c_str(), buffer, nullptr, &size);
    const bool created = CreateVertexShaderFrom(buffer, size);
    std::free(buffer);
    return created;
}
