#pragma once

// The size of the back buffer the frame draws into, which is also the size
// of the main window's client area it is presented to.
const int backBufferWidth = 800;
const int backBufferHeight = 600;
