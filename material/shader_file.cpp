#include "material/material.h"

#include <cstdlib>

#include "app/windows_error.h"

namespace {

const char* const openFailure = "Windows failed to open the shader file: ";
const char* const sizeFailure = "Windows failed to get the size of shader: ";
const char* const allocationFailure = "Failed to allocate ";
const char* const allocationFailureMiddle = " bytes to read in the shader program ";
const char* const readFailure = "Windows failed to read the contents of shader: ";
const char* const closeFailure = "Windows failed to close the shader file handle: ";

// Called right after the failing call, so the error text is that call's.
void SetWindowsFailure(std::string* message, const char* text) {
    if (message != nullptr) {
        *message = text + GetLastWindowsErrorText();
    }
}

// Sizes, allocates and reads; leaves no buffer behind when it fails.
bool ReadShaderBytes(HANDLE file, const char* path, void*& buffer, DWORD& size,
                     std::string* message) {
    LARGE_INTEGER fileSize;
    if (!GetFileSizeEx(file, &fileSize)) {
        SetWindowsFailure(message, sizeFailure);
        return false;
    }
    size = fileSize.LowPart;
    buffer = std::malloc(size);
    if (buffer == nullptr) {
        if (message != nullptr) {
            *message = allocationFailure + std::to_string(size) + allocationFailureMiddle + path;
        }
        return false;
    }
    DWORD bytesRead = 0;
    if (!ReadFile(file, buffer, size, &bytesRead, nullptr)) {
        SetWindowsFailure(message, readFailure);
        std::free(buffer);
        buffer = nullptr;
        return false;
    }
    return true;
}

} // namespace

bool LoadShaderFile(const char* path, void*& buffer, std::string* message, DWORD* size) {
    buffer = nullptr;
    if (size != nullptr) {
        *size = 0;
    }
    const HANDLE file = CreateFileA(path, FILE_GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        SetWindowsFailure(message, openFailure);
        return false;
    }
    DWORD byteCount = 0;
    bool failed = !ReadShaderBytes(file, path, buffer, byteCount, message);
    // A failed close after a good read still hands over the bytes; only the
    // result says that something went wrong. An earlier message stays.
    if (!CloseHandle(file)) {
        if (!failed) {
            SetWindowsFailure(message, closeFailure);
        }
        failed = true;
    }
    if (size != nullptr && buffer != nullptr) {
        *size = byteCount;
    }
    return !failed;
}
