#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <d3dx9shader.h>

// One float constant of a shader, as its source declares it in a comment:
//   // @constant NAME cINDEX CLASS TYPE [= VALUE, VALUE, ...]
// CLASS is scalar, vector, matrix_rows or matrix_columns; TYPE is float,
// floatN or floatRxC (N, R and C from 1 to 4). Values are listed row by row.
// The tool's --help (main.cpp) tells modders the same: change both together.
struct ConstantDeclaration {
    std::string name;
    UINT registerIndex = 0;
    D3DXPARAMETER_CLASS parameterClass = D3DXPC_SCALAR;
    UINT rows = 1;
    UINT columns = 1;
    std::vector<float> defaultValue; // empty, or rows * columns values
    int line = 0;                    // where it was declared, for messages
};

// Registers the constant takes: one per row, or one per column when the
// matrix is stored column by column.
UINT RegistersTaken(const ConstantDeclaration& constant);

// Reads every declaration of the source. Problems are appended to errors as
// "FILE:LINE: error: TEXT" lines; returns false when there was any.
bool ParseConstantDeclarations(const std::string& source, const std::string& fileName,
                               std::vector<ConstantDeclaration>& constants, std::string& errors);

// Checks the declarations against the assembled shader's version token: the
// registers must exist in that shader model and no two constants may share one.
bool CheckConstantRegisters(const std::vector<ConstantDeclaration>& constants, DWORD version,
                            const std::string& fileName, std::string& errors);

// Appends a "FILE:LINE: warning: TEXT" line for each declared default that the
// program does not restore whenever it draws: it restores the fragment
// shader's defaults only when the material gives no usable g_colorModifier
// (and those of g_colorModifier are meant for exactly that), a vertex
// shader's never.
void WarnAboutUnrestoredDefaults(const std::vector<ConstantDeclaration>& constants, DWORD version,
                                 const std::string& fileName, std::string& messages);
