#include "tests/support/win32_fakes.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "tests/support/fake_direct3d.h"

namespace {

// The replacements are plain functions with the real signatures, so each
// keeps its error code and call count in its own row.
enum FailingFunction {
    FailRegisterClassExA,
    FailCreateWindowExA,
    FailGetWindowRect,
    FailGetClientRect,
    FailMoveWindow,
    FailDestroyWindow,
    FailUnregisterClassA,
    FailQueryPerformanceFrequency,
    FailQueryPerformanceCounter,
    FailCreateFileA,
    FailGetFileSizeEx,
    FailReadFile,
    FailCloseHandle,
    FailingFunctionCount
};

DWORD g_errors[FailingFunctionCount];
int g_calls[FailingFunctionCount];

void Fail(FailingFunction function) {
    ++g_calls[function];
    SetLastError(g_errors[function]);
}

ATOM WINAPI RegisterClassExAFails(const WNDCLASSEXA*) {
    Fail(FailRegisterClassExA);
    return 0;
}
HWND WINAPI CreateWindowExAFails(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU,
                                 HINSTANCE, LPVOID) {
    Fail(FailCreateWindowExA);
    return nullptr;
}
BOOL WINAPI GetWindowRectFails(HWND, LPRECT) {
    Fail(FailGetWindowRect);
    return FALSE;
}
BOOL WINAPI GetClientRectFails(HWND, LPRECT) {
    Fail(FailGetClientRect);
    return FALSE;
}
BOOL WINAPI MoveWindowFails(HWND, int, int, int, int, BOOL) {
    Fail(FailMoveWindow);
    return FALSE;
}
BOOL WINAPI DestroyWindowFails(HWND) {
    Fail(FailDestroyWindow);
    return FALSE;
}
BOOL WINAPI UnregisterClassAFails(LPCSTR, HINSTANCE) {
    Fail(FailUnregisterClassA);
    return FALSE;
}
BOOL WINAPI QueryPerformanceFrequencyFails(LARGE_INTEGER*) {
    Fail(FailQueryPerformanceFrequency);
    return FALSE;
}
BOOL WINAPI QueryPerformanceCounterFails(LARGE_INTEGER*) {
    Fail(FailQueryPerformanceCounter);
    return FALSE;
}
HANDLE WINAPI CreateFileAFails(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    Fail(FailCreateFileA);
    return INVALID_HANDLE_VALUE;
}
BOOL WINAPI GetFileSizeExFails(HANDLE, PLARGE_INTEGER) {
    Fail(FailGetFileSizeEx);
    return FALSE;
}
BOOL WINAPI ReadFileFails(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    Fail(FailReadFile);
    return FALSE;
}
BOOL WINAPI CloseHandleFails(HANDLE) {
    Fail(FailCloseHandle);
    return FALSE;
}

struct FailingImport {
    const char* function;
    const char* dll;
    void* replacement;
};

// Indexed by FailingFunction.
const FailingImport failingImports[FailingFunctionCount] = {
    {"RegisterClassExA", "user32.dll", reinterpret_cast<void*>(&RegisterClassExAFails)},
    {"CreateWindowExA", "user32.dll", reinterpret_cast<void*>(&CreateWindowExAFails)},
    {"GetWindowRect", "user32.dll", reinterpret_cast<void*>(&GetWindowRectFails)},
    {"GetClientRect", "user32.dll", reinterpret_cast<void*>(&GetClientRectFails)},
    {"MoveWindow", "user32.dll", reinterpret_cast<void*>(&MoveWindowFails)},
    {"DestroyWindow", "user32.dll", reinterpret_cast<void*>(&DestroyWindowFails)},
    {"UnregisterClassA", "user32.dll", reinterpret_cast<void*>(&UnregisterClassAFails)},
    {"QueryPerformanceFrequency", "kernel32.dll",
     reinterpret_cast<void*>(&QueryPerformanceFrequencyFails)},
    {"QueryPerformanceCounter", "kernel32.dll",
     reinterpret_cast<void*>(&QueryPerformanceCounterFails)},
    {"CreateFileA", "kernel32.dll", reinterpret_cast<void*>(&CreateFileAFails)},
    {"GetFileSizeEx", "kernel32.dll", reinterpret_cast<void*>(&GetFileSizeExFails)},
    {"ReadFile", "kernel32.dll", reinterpret_cast<void*>(&ReadFileFails)},
    {"CloseHandle", "kernel32.dll", reinterpret_cast<void*>(&CloseHandleFails)},
};

int FindFailingImport(const char* function) {
    for (int i = 0; i < FailingFunctionCount; ++i) {
        if (std::strcmp(failingImports[i].function, function) == 0) {
            return i;
        }
    }
    throw std::invalid_argument(std::string("no failing replacement for ") + function);
}

int PrepareFailure(const char* function, DWORD error) {
    const int index = FindFailingImport(function);
    g_errors[index] = error;
    g_calls[index] = 0;
    return index;
}

FailingMalloc* g_failingMalloc;
void* g_realMalloc;

void* __cdecl MallocFailsForOneSize(std::size_t size) {
    if (size == g_failingMalloc->size) {
        ++g_failingMalloc->failures;
        return nullptr;
    }
    return reinterpret_cast<void*(__cdecl*)(std::size_t)>(g_realMalloc)(size);
}

FakePerformanceCounter* g_counter;

BOOL WINAPI FakeQueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    ++g_counter->frequencyQueries;
    if (g_counter->frequencyResult) {
        frequency->QuadPart = g_counter->frequency;
    }
    return g_counter->frequencyResult;
}

BOOL WINAPI FakeQueryPerformanceCounter(LARGE_INTEGER* count) {
    ++g_counter->counterQueries;
    if (g_counter->counterResult) {
        count->QuadPart = g_counter->counter;
    }
    return g_counter->counterResult;
}

FakeKeyboard* g_keyboard;

SHORT WINAPI FakeGetAsyncKeyState(int virtualKey) {
    ++g_keyboard->queries[virtualKey];
    const auto state = g_keyboard->keyStates.find(virtualKey);
    return state != g_keyboard->keyStates.end() ? state->second : 0;
}

HWND WINAPI FakeGetForegroundWindow() {
    return g_keyboard->foregroundWindow;
}

} // namespace

FailingCall::FailingCall(const char* function, DWORD error)
    : index_(PrepareFailure(function, error)),
      patch_(failingImports[index_].dll, function, failingImports[index_].replacement) {}

int FailingCall::calls() const {
    return g_calls[index_];
}

FailingMalloc::FailingMalloc(std::size_t size)
    : size(size), patch_("msvcrt.dll", "malloc", reinterpret_cast<void*>(&MallocFailsForOneSize)) {
    g_realMalloc = patch_.original();
    g_failingMalloc = this;
}

FailingMalloc::~FailingMalloc() {
    // The patch is put back after this body; until then requests pass through.
    g_failingMalloc->size = static_cast<std::size_t>(-1);
}

FakePerformanceCounter::FakePerformanceCounter()
    : frequencyPatch_("kernel32.dll", "QueryPerformanceFrequency",
                      reinterpret_cast<void*>(&FakeQueryPerformanceFrequency)),
      counterPatch_("kernel32.dll", "QueryPerformanceCounter",
                    reinterpret_cast<void*>(&FakeQueryPerformanceCounter)) {
    g_counter = this;
}

FakePerformanceCounter::~FakePerformanceCounter() {
    g_counter = nullptr;
}

FakeKeyboard::FakeKeyboard()
    : foregroundWindow(FakeWindow()),
      patch_("user32.dll", "GetAsyncKeyState", reinterpret_cast<void*>(&FakeGetAsyncKeyState)),
      foregroundPatch_("user32.dll", "GetForegroundWindow",
                       reinterpret_cast<void*>(&FakeGetForegroundWindow)) {
    g_keyboard = this;
}

FakeKeyboard::~FakeKeyboard() {
    g_keyboard = nullptr;
}

int FakeKeyboard::TotalQueries() const {
    int total = 0;
    for (const auto& key : queries) {
        total += key.second;
    }
    return total;
}
