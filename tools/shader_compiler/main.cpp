// Builds a compiled Direct3D 9 shader from shader assembly: assembles it with
// D3DX and adds the constant table that the assembler cannot write, with the
// default values the source declares.
//
//   shader_compiler SOURCE OUTPUT
//
// Problems are printed as "SOURCE:LINE: error: TEXT"; the exit code is then 1
// and no output is left behind.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <windows.h>

#include "tools/shader_compiler/shader_assembly.h"

namespace {

bool ReadSource(const char* path, std::string& source) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    source = contents.str();
    return file.good() || file.eof();
}

bool WriteShader(const char* path, const std::vector<DWORD>& tokens) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(tokens.data()),
               static_cast<std::streamsize>(tokens.size() * sizeof(DWORD)));
    file.close();
    return !file.fail();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: shader_compiler SOURCE OUTPUT\n");
        return 2;
    }
    const char* sourcePath = argv[1];
    const char* outputPath = argv[2];
    std::string source;
    if (!ReadSource(sourcePath, source)) {
        std::fprintf(stderr, "%s: error: cannot read the shader source\n", sourcePath);
        return 1;
    }
    std::vector<DWORD> tokens;
    std::string messages;
    const bool compiled = CompileShader(source, sourcePath, tokens, messages);
    std::fputs(messages.c_str(), stderr);
    if (!compiled) {
        // A stale output would let the next build go on as if it had worked.
        std::remove(outputPath);
        return 1;
    }
    if (!WriteShader(outputPath, tokens)) {
        std::fprintf(stderr, "%s: error: cannot write the compiled shader\n", outputPath);
        std::remove(outputPath);
        return 1;
    }
    return 0;
}
