#pragma once

#include <string>
#include <vector>

#include <windows.h>

// Assembles shader assembly with D3DXAssembleShader. The assembler's
// messages are appended to messages as "FILE:LINE: error: TEXT" lines
// (warnings too, after a success). Returns false when assembly failed.
bool AssembleShader(const std::string& source, const std::string& fileName,
                    std::vector<DWORD>& tokens, std::string& messages);

// The whole compiled shader: source assembled, its declared constants checked
// and their table put right after the version token.
bool CompileShader(const std::string& source, const std::string& fileName,
                   std::vector<DWORD>& tokens, std::string& messages);
