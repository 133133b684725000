#pragma once

#include "graphics/float3.h"

// The camera has no orientation: it always looks along +z with +y up.
struct Camera {
    Float3 position;
    Float3 velocity;
    float nearPlane;
    float farPlane;
    float fieldOfView;
};
