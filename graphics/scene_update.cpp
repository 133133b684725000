#include "graphics/scene_update.h"

#include <windows.h>

#include "graphics/graphics_context.h"

namespace {

// Any bit but the lowest: the lowest only says the key went down at some
// point since the last query, which may be long over.
bool IsHeld(int virtualKey) {
    return static_cast<unsigned short>(GetAsyncKeyState(virtualKey)) > 1;
}

void Scale(Float3& vector, float factor) {
    vector.x *= factor;
    vector.y *= factor;
    vector.z *= factor;
}

void Add(Float3& vector, const Float3& displacement) {
    vector.x += displacement.x;
    vector.y += displacement.y;
    vector.z += displacement.z;
}

} // namespace

// One query per key, in this order. Each held key adds to what the previous
// frame moved, so a held key settles at a steady speed and a released one
// decays. GetAsyncKeyState reports the keyboard itself, whichever program the
// keys are typed into, so they count only while the window is the one in
// front.
void ReadMovementKeys() {
    if (GetForegroundWindow() != g_graphics.window) {
        return;
    }
    Float3& cube = g_graphics.cubeVelocity;
    Float3& camera = g_graphics.camera.velocity;
    if (IsHeld(VK_LEFT)) {
        cube.x -= 1.0f;
    }
    if (IsHeld(VK_RIGHT)) {
        cube.x += 1.0f;
    }
    if (IsHeld(VK_UP)) {
        cube.z += 1.0f;
    }
    if (IsHeld(VK_DOWN)) {
        cube.z -= 1.0f;
    }
    if (IsHeld('A')) {
        camera.x -= 1.0f;
    }
    if (IsHeld('D')) {
        camera.x += 1.0f;
    }
    if (IsHeld('W')) {
        camera.y += 1.0f;
    }
    if (IsHeld('S')) {
        camera.y -= 1.0f;
    }
}

void ScaleCubeVelocity() {
    Scale(g_graphics.cubeVelocity, g_graphics.clock.GetElapsedSeconds());
}

void MoveCubeAndCamera() {
    const float elapsedSeconds = g_graphics.clock.GetElapsedSeconds();
    Add(g_graphics.cube.position, g_graphics.cubeVelocity);
    Camera& camera = g_graphics.camera;
    Scale(camera.velocity, elapsedSeconds);
    Add(camera.position, camera.velocity);
}
