#include "material/material.h"

// Placeholder until shader loading and the material file land.
void Material::ReleaseObjects() {}
bool LoadShaderFile(const char*, void*& buffer, std::string*) {
    buffer = nullptr;
    return false;
}
bool LoadFragmentShader() {
    return false;
}
bool LoadVertexShader() {
    return false;
}
