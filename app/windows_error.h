#pragma once

#include <string>

#include <windows.h>

// The system's message text for a Windows error code, line break included,
// or "Unknown Windows Error".
std::string GetWindowsErrorText(DWORD errorCode);
// The same for the calling thread's last-error code; call it right after the
// failing call.
std::string GetLastWindowsErrorText();
