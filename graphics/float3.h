#pragma once

// Three single-precision components: positions and per-frame displacements.
struct Float3 {
    float x;
    float y;
    float z;
};
