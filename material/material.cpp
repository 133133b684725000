#include "graphics/com_release.h"
#include "material/material.h"

// Graphics shutdown calls this before it releases the device, and the
// renderer's record calls it again at exit, when every field is already
// empty and nothing is released twice.
void Material::ReleaseObjects() {
    ReleaseAndClear(vertexShaderObject);
    ReleaseAndClear(fragmentShaderObject);
    ReleaseAndClear(vertexConstantTable);
    ReleaseAndClear(fragmentConstantTable);
    // Handles are names inside the tables just released.
    worldToViewHandle = nullptr;
    viewToScreenHandle = nullptr;
    modelToWorldHandle = nullptr;
    colorModifierHandle = nullptr;
}
