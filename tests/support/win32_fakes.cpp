#include "tests/support/win32_fakes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <type_traits>

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
    FailCreateFileA,
    FailGetFileSizeEx,
    FailReadFile,
    FailCloseHandle,
    FailingFunctionCount
};

DWORD g_errors[FailingFunctionCount];
int g_calls[FailingFunctionCount];

// The replacement of `row`, with the real function's signature; it returns
// `failure`, as a pointer where the function returns one (-1 is then
// INVALID_HANDLE_VALUE).
template <FailingFunction row, INT_PTR failure, typename Result, typename... Arguments>
Result WINAPI Fails(Arguments...) {
    ++g_calls[row];
    SetLastError(g_errors[row]);
    if constexpr (std::is_pointer<Result>::value) {
        return reinterpret_cast<Result>(failure);
    } else {
        return static_cast<Result>(failure);
    }
}

// Takes the real function only for its signature.
template <FailingFunction row, INT_PTR failure, typename Result, typename... Arguments>
void* Failing(Result(WINAPI*)(Arguments...)) {
    return reinterpret_cast<void*>(&Fails<row, failure, Result, Arguments...>);
}

struct FailingImport {
    const char* function;
    const char* dll;
    void* replacement;
};

// Indexed by FailingFunction.
const FailingImport failingImports[FailingFunctionCount] = {
    {"RegisterClassExA", "user32.dll", Failing<FailRegisterClassExA, 0>(&RegisterClassExA)},
    {"CreateWindowExA", "user32.dll", Failing<FailCreateWindowExA, 0>(&CreateWindowExA)},
    {"GetWindowRect", "user32.dll", Failing<FailGetWindowRect, FALSE>(&GetWindowRect)},
    {"GetClientRect", "user32.dll", Failing<FailGetClientRect, FALSE>(&GetClientRect)},
    {"MoveWindow", "user32.dll", Failing<FailMoveWindow, FALSE>(&MoveWindow)},
    {"DestroyWindow", "user32.dll", Failing<FailDestroyWindow, FALSE>(&DestroyWindow)},
    {"UnregisterClassA", "user32.dll", Failing<FailUnregisterClassA, FALSE>(&UnregisterClassA)},
    {"CreateFileA", "kernel32.dll", Failing<FailCreateFileA, -1>(&CreateFileA)},
    {"GetFileSizeEx", "kernel32.dll", Failing<FailGetFileSizeEx, FALSE>(&GetFileSizeEx)},
    {"ReadFile", "kernel32.dll", Failing<FailReadFile, FALSE>(&ReadFile)},
    {"CloseHandle", "kernel32.dll", Failing<FailCloseHandle, FALSE>(&CloseHandle)},
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

std::vector<std::string>* g_sequence;
void* g_counterBefore;
void* g_keysBefore;

BOOL WINAPI LoggedQueryPerformanceCounter(LARGE_INTEGER* count) {
    g_sequence->push_back("QueryPerformanceCounter");
    return reinterpret_cast<BOOL(WINAPI*)(LARGE_INTEGER*)>(g_counterBefore)(count);
}

SHORT WINAPI LoggedGetAsyncKeyState(int virtualKey) {
    char entry[32];
    std::snprintf(entry, sizeof(entry), "GetAsyncKeyState(0x%02X)", virtualKey);
    g_sequence->push_back(entry);
    return reinterpret_cast<SHORT(WINAPI*)(int)>(g_keysBefore)(virtualKey);
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

SequenceLog::SequenceLog(std::vector<std::string>& log)
    : counter_("kernel32.dll", "QueryPerformanceCounter",
               reinterpret_cast<void*>(&LoggedQueryPerformanceCounter)),
      keys_("user32.dll", "GetAsyncKeyState", reinterpret_cast<void*>(&LoggedGetAsyncKeyState)) {
    g_sequence = &log;
    g_counterBefore = counter_.original();
    g_keysBefore = keys_.original();
}

SequenceLog::~SequenceLog() {
    g_sequence = nullptr;
}
