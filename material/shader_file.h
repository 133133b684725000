#pragma once

#include <string>

#include <windows.h>

// Reads a whole file into a malloc'd buffer that the caller frees. message,
// when given, receives the failure's text; size, when given, the buffer's
// byte count (0 without a buffer).
bool LoadShaderFile(const char* path, void*& buffer, std::string* message, DWORD* size = nullptr);
