#pragma once

// The frame's movement steps, in the order the frame runs them. They touch
// only the graphics context and the keyboard, never the device.

// Adds or subtracts 1 per held movement key to the cube's and the camera's
// stored displacement, while the renderer's window is the foreground window.
void ReadMovementKeys();
// Scales the cube's displacement by the frame time.
void ScaleCubeVelocity();
// Moves the cube by its displacement, then scales the camera's displacement
// by the frame time and moves the camera by it.
void MoveCubeAndCamera();
