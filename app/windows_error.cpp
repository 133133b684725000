#include "app/windows_error.h"

std::string GetWindowsErrorText(DWORD errorCode) {
    std::string text;
    char* buffer = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    // With FORMAT_MESSAGE_ALLOCATE_BUFFER the buffer argument is the address
    // of the pointer that receives the system's allocation.
    if (FormatMessageA(flags, nullptr, errorCode, 0, reinterpret_cast<char*>(&buffer), 1,
                       nullptr) != 0) {
        text = buffer;
    } else {
        text = "Unknown Windows Error";
    }
    LocalFree(buffer);
    return text;
}

std::string GetLastWindowsErrorText() {
    return GetWindowsErrorText(GetLastError());
}
