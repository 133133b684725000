#pragma once

#include <cstdint>

// The tests' own copy of the two shapes, written out from the design and
// not taken from the program, so that a slip in the program's tables shows.
struct ExpectedVertex {
    float x;
    float y;
    float z;
    std::uint32_t color; // 0xAARRGGBB
};

const ExpectedVertex expectedCubeVertices[8] = {
    {-1.0f, -1.0f, -1.0f, 0xFF000000u}, {1.0f, -1.0f, -1.0f, 0xFF0000FFu},
    {1.0f, 1.0f, -1.0f, 0xFF00FF00u},   {-1.0f, 1.0f, -1.0f, 0xFF00FFFFu},
    {-1.0f, 1.0f, 1.0f, 0xFFFF0000u},   {1.0f, 1.0f, 1.0f, 0xFFFF00FFu},
    {1.0f, -1.0f, 1.0f, 0xFFFFFF00u},   {-1.0f, -1.0f, 1.0f, 0xFFFFFFFFu}};

const std::uint32_t expectedCubeIndices[36] = {0, 3, 1, 3, 2, 1, 4, 3, 7, 3, 0, 7,
                                               2, 5, 6, 2, 6, 1, 0, 6, 7, 0, 1, 6,
                                               4, 5, 3, 5, 2, 3, 5, 4, 7, 5, 7, 6};

const ExpectedVertex expectedSquareVertices[4] = {{-5.0f, -1.0f, -5.0f, 0xFFFFFFFFu},
                                                  {5.0f, -1.0f, -5.0f, 0xFF7F7F7Fu},
                                                  {5.0f, -1.0f, 5.0f, 0xFF404040u},
                                                  {-5.0f, -1.0f, 5.0f, 0xFF202020u}};

const std::uint32_t expectedSquareIndices[6] = {0, 3, 2, 2, 1, 0};
