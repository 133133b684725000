#pragma once

#include <windows.h>
#include <d3dx9shader.h>

#include "bytecode/bytecode_check.h"
#include "material/material.h"

// The names of the constants the frame sets, through the tables' handles.
const char worldToViewName[] = "g_transform_worldToView";
const char viewToScreenName[] = "g_transform_viewToScreen";
const char modelToWorldName[] = "g_transform_modelToWorld";
const char colorModifierName[] = "g_colorModifier";

// The shapes the frame sets: a float matrix of at most 4 by 4 for each
// transform, a float scalar or vector for the color modifier, one element.
bool IsFloatMatrix(const D3DXCONSTANT_DESC& constant);
bool IsFloatVector(const D3DXCONSTANT_DESC& constant);

// The handle of the constant named in the table when it has a shape the frame
// sets; null when the table does not hold it, when it has another shape, and
// without a table.
D3DXHANDLE LookUpConstant(ID3DXConstantTable* table, const char* name,
                          bool (*isSetShape)(const D3DXCONSTANT_DESC&));

// A constant the frame sets: in which stage's table, of which shape, and the
// material's handle for it.
struct FrameConstant {
    const char* name;
    ShaderKind stage;
    bool (*isSetShape)(const D3DXCONSTANT_DESC&);
    D3DXHANDLE Material::*handle;
};
extern const FrameConstant frameConstants[4];

// Looks up the handles of the stage's frame constants in its table.
void LookUpFrameConstants(ID3DXConstantTable* table, ShaderKind stage, Material& material);

// Each reads the file the material names and creates the stage's shader,
// its constant table and its handles from it; a failed creation shows the
// stage's box.
bool LoadFragmentShader();
bool LoadVertexShader();
// The two steps after the file is read: the bytes, when they hold a whole
// shader of the kind, become the shader, its table and its handles; a failed
// creation shows the step's box.
bool CreateFragmentShaderFrom(const void* bytes, DWORD size);
bool CreateVertexShaderFrom(const void* bytes, DWORD size);
