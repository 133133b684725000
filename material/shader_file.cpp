#include "material/shader_file.h"

#include <cstdlib>

#include "app/windows_error.h"

namespace {

const char* const openFailure = "Windows failed to open the shader file: ";
const char* const sizeFailure = "Windows failed to get the size of shader: ";
const char* const allocationFailure = "Failed to allocate ";
const char* const allocationFailureMiddle = " bytes to read in the shader program ";
const char* const readFailure = "Windows failed to read the contents of shader: ";
const char* const closeFailure = "Windows failed to close the shader file handle: ";
const char* const sizeRefusal = "Refused to read ";
const char* const sizeRefusalMiddle = " bytes, more than any shader holds, in the shader program ";
const char* const shortRead = "Read only ";
const char* const shortReadMiddle = " bytes of the shader program ";

// The largest shader any version holds, with room to spare: 32768
// instruction slots (3_0) of at most 16 tokens each make 2 MiB, and the
// definitions and comments (a comment holds at most 128 KiB) get as much
// again. Real shaders are a few KiB.
const DWORD largestShaderFile = 4 << 20;

// Called right after the failing call, so the error text is that call's.
void SetWindowsFailure(std::string* message, const char* text) {
    if (message != nullptr) {
        *message = text + GetLastWindowsErrorText();
    }
}

// Refused before anything is read: the whole 64-bit size, its high part
// included, must fit the largest shader.
bool IsShaderFileSize(const LARGE_INTEGER& fileSize, const char* path, std::string* message) {
    if (fileSize.HighPart == 0 && fileSize.LowPart <= largestShaderFile) {
        return true;
    }
    if (message != nullptr) {
        *message = sizeRefusal + std::to_string(fileSize.QuadPart) + sizeRefusalMiddle + path;
    }
    return false;
}

// One read of the whole size: a read that stops short fails as well.
bool ReadWholeFile(HANDLE file, void* buffer, DWORD size, const char* path, std::string* message) {
    DWORD bytesRead = 0;
    if (!ReadFile(file, buffer, size, &bytesRead, nullptr)) {
        SetWindowsFailure(message, readFailure);
        return false;
    }
    if (bytesRead != size && message != nullptr) {
        *message = shortRead + std::to_string(bytesRead) + " of " + std::to_string(size) +
                   shortReadMiddle + path;
    }
    return bytesRead == size;
}

// Sizes, allocates and reads; leaves no buffer behind when it fails.
bool ReadShaderBytes(HANDLE file, const char* path, void*& buffer, DWORD& size,
                     std::string* message) {
    LARGE_INTEGER fileSize;
    if (!GetFileSizeEx(file, &fileSize)) {
        SetWindowsFailure(message, sizeFailure);
        return false;
    }
    if (!IsShaderFileSize(fileSize, path, message)) {
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
    if (!ReadWholeFile(file, buffer, size, path, message)) {
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
