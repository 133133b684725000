#pragma once

#include <string>
#include <vector>

#include <windows.h>

// Assembles shader assembly with D3DXAssembleShader. The assembler's
// messages are appended to messages as "FILE:LINE: error: TEXT" lines
// (warnings too, after a success). Returns false when assembly failed.
bool AssembleShader(const std::string& source, const std::string& fileName,
                    std::vector<DWORD>& tokens, std::string& messages);

// Rewrites the text D3DX's assembler gave for source, in Wine's forms or in
// the Windows ones, as "FILE:LINE: error: TEXT" and "FILE:LINE: warning: TEXT"
// lines appended to messages; the line is the source's own.
void AddAssemblerMessages(const std::string& text, bool failed, const std::string& source,
                          const std::string& fileName, std::string& messages);

// The whole compiled shader: source assembled, its declared constants checked
// and their table put right after the version token; defaults the program
// never restores draw a warning.
bool CompileShader(const std::string& source, const std::string& fileName,
                   std::vector<DWORD>& tokens, std::string& messages);
