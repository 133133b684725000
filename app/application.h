#pragma once

#include <windows.h>

extern int g_exitCode;

// One frame, then at most one message, every pass; never waits.
void RunMainLoop();
// Destroys the window, unregisters its class and, only if both worked, shuts
// the renderer down. Returns the exit code.
int ShutDownApplication(HINSTANCE instance);
