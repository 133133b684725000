// Builds a compiled Direct3D 9 shader from shader assembly: assembles it with
// D3DX and adds the constant table that the assembler cannot write, with the
// default values the source declares. It ships with the game for modders, so
// its help is the reference of the source format.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <windows.h>

#include "tools/shader_compiler/shader_assembly.h"

namespace {

// What it says must match the code: the versions bytecode/ lets through, the
// declaration syntax and register counts of constant_declarations.h, the
// defaults graphics/ restores and the exit codes below.
const char helpText[] =
    "usage: shadercompiler SOURCE OUTPUT\n"
    "       shadercompiler --help\n"
    "\n"
    "Assembles SOURCE, Direct3D 9 shader assembly as D3DX's assembler takes it,\n"
    "and writes the compiled shader to OUTPUT with a constant table that names\n"
    "the constants SOURCE declares. From the game's folder, for example:\n"
    "  shadercompiler shaders\\vertex.vsh data\\shaders\\vertex.shader\n"
    "\n"
    "The source starts with its version; the game loads vs_1_1, vs_2_0, vs_2_x,\n"
    "vs_3_0, ps_1_1 to ps_1_4, ps_2_0, ps_2_x and ps_3_0.\n"
    "\n"
    "A float constant is declared on a comment line of its own (// or ;):\n"
    "  // @constant NAME cINDEX CLASS TYPE [= VALUES]\n"
    "It takes registers from cINDEX on, by CLASS and TYPE (N, R, C 1 to 4):\n"
    "  scalar          float      1 register\n"
    "  vector          floatN     1 register\n"
    "  matrix_rows     floatRxC   R registers, cINDEX+k holds row k\n"
    "  matrix_columns  floatRxC   C registers, cINDEX+k holds column k\n"
    "VALUES, the default, are 1 number for a scalar, N for a vector, R x C for\n"
    "a matrix, separated by commas and listed row by row; components that a\n"
    "constant leaves unused are 0. The registers must exist in the shader's\n"
    "version, and no two constants may share one.\n"
    "\n"
    "Each frame the game sets g_transform_modelToWorld, g_transform_worldToView\n"
    "and g_transform_viewToScreen in the vertex shader (float4x4, for row\n"
    "vectors: p x M) and g_colorModifier in the fragment shader (float3). It\n"
    "restores declared defaults only in the fragment shader, and only when the\n"
    "material gives no usable g_colorModifier or its first component is -1;\n"
    "any other default draws a warning.\n"
    "\n"
    "Problems go to standard error as SOURCE:LINE: error: TEXT, warnings as\n"
    "SOURCE:LINE: warning: TEXT. Exit code 0: OUTPUT written (warnings do not\n"
    "stop it); 1: an error, and no OUTPUT is left; 2: a bad command line.\n";

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
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(helpText, stdout);
        return 0;
    }
    if (argc != 3) {
        std::fputs(helpText, stderr);
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
