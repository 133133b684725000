// Checks a material and its two shaders as the game loads them, and says
// why wherever the game would stay silent or show only "No Vertex Shader":
//
//   materialcheck [MATERIAL]
//
// Run from the game's folder, as the game is: MATERIAL defaults to
// data/material.material, and the shader paths in it are relative to the
// folder. One line a finding on standard output, then a summary; exit code 0
// when the game takes the material, both shaders and the constants it sets as
// written, 1 when something was found wrong, 2 for a wrong command line.
#include <cstdio>
#include <cstring>
#include <string>

#include <windows.h>

#include "bytecode/finding_text.h"
#include "bytecode/shader_versions.h"
#include "tools/material_check/material_findings.h"
#include "tools/material_check/report.h"
#include "tools/material_check/shader_findings.h"

namespace {

const char usage[] =
    "usage: materialcheck [MATERIAL]\n"
    "\n"
    "Checks MATERIAL (by default data/material.material) and the two shader files it\n"
    "names as the game loads them, from the current folder, as the game runs in its\n"
    "folder. Prints one line a finding, FILE(LINE): error: TEXT or FILE: warning:\n"
    "TEXT, then a summary. Exit code 0 when the game takes the material, both\n"
    "shaders and the constants it sets as written; 1 when something is wrong.\n"
    "Warnings do not fail: they say what Windows may refuse or what has no effect.\n";

// Direct3D 9 draws a 3_0 shader only beside a 3_0 shader of the other stage.
void ReportPair(const std::string& material, std::uint32_t vertex, std::uint32_t fragment,
                Report& report) {
    if (vertex == 0 || fragment == 0 || (VersionOf(vertex) == v30) == (VersionOf(fragment) == v30)) {
        return;
    }
    Error(report, material,
          "the vertex shader is " + VersionText(vertex) + " and the fragment shader " +
              VersionText(fragment) +
              ": Direct3D 9 on Windows draws a 3_0 shader only with a 3_0 shader of the other "
              "stage, so nothing is drawn (this machine's driver may draw it)");
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && (std::strcmp(argv[1], "--help") == 0 ||
                                   std::strcmp(argv[1], "-h") == 0 || argv[1][0] == '\0'))) {
        std::fputs(usage, argc == 2 && argv[1][0] == '-' ? stdout : stderr);
        return argc == 2 && argv[1][0] == '-' ? 0 : 2;
    }
    // No box, ever: not even Windows' own for a drive without a disk.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const std::string path = argc == 2 ? argv[1] : "data/material.material";
    Report report;
    Material material;
    CheckMaterialFile(path, material, report);
    std::uint32_t versions[2] = {0, 0};
    const std::string* shaderPaths[2] = {&material.vertexShaderPath, &material.fragmentShaderPath};
    const ShaderKind stages[2] = {ShaderKind::Vertex, ShaderKind::Fragment};
    for (int i = 0; i < 2; ++i) {
        if (!shaderPaths[i]->empty()) {
            versions[i] = CheckShaderFile(*shaderPaths[i], stages[i], material, report);
        }
    }
    ReportPair(path, versions[0], versions[1], report);
    std::printf("materialcheck: %s: %d error%s, %d warning%s: %s\n", path.c_str(), report.errors,
                report.errors == 1 ? "" : "s", report.warnings, report.warnings == 1 ? "" : "s",
                report.errors == 0 ? "the game takes it as written"
                                   : "the game does not take it as written");
    return report.errors == 0 ? 0 : 1;
}
