#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "tests/support/import_patch.h"

// Makes one imported Windows function fail while in scope: the replacement
// sets the chosen last-error code and returns the function's failure value.
// Known functions: RegisterClassExA, CreateWindowExA, GetWindowRect,
// GetClientRect, MoveWindow, DestroyWindow, UnregisterClassA (0, null or
// FALSE); CreateFileA (INVALID_HANDLE_VALUE), GetFileSizeEx, ReadFile,
// CloseHandle (FALSE). Any other name throws.
//
//     FailingCall failing("GetClientRect", ERROR_INVALID_WINDOW_HANDLE);
class FailingCall {
public:
    FailingCall(const char* function, DWORD error);
    FailingCall(const FailingCall&) = delete;
    FailingCall& operator=(const FailingCall&) = delete;

    // Calls that reached the replacement.
    int calls() const;

private:
    int index_;
    ImportPatch patch_;
};

// malloc (imported from the C runtime DLL) returning null for requests of
// exactly `size` bytes, so that one allocation of the program fails while
// everything else, the test framework included, keeps working.
class FailingMalloc {
public:
    explicit FailingMalloc(std::size_t size);
    ~FailingMalloc();
    FailingMalloc(const FailingMalloc&) = delete;
    FailingMalloc& operator=(const FailingMalloc&) = delete;

    std::size_t size;
    int failures = 0;

private:
    ImportPatch patch_;
};

// The performance counter as the test sets it. Results are returned as set;
// a FALSE result leaves the caller's output untouched. One at a time.
class FakePerformanceCounter {
public:
    FakePerformanceCounter();
    ~FakePerformanceCounter();
    FakePerformanceCounter(const FakePerformanceCounter&) = delete;
    FakePerformanceCounter& operator=(const FakePerformanceCounter&) = delete;

    LONGLONG frequency = 1000;
    BOOL frequencyResult = TRUE;
    LONGLONG counter = 0;
    BOOL counterResult = TRUE;
    int frequencyQueries = 0;
    int counterQueries = 0;

private:
    ImportPatch frequencyPatch_;
    ImportPatch counterPatch_;
};

// GetAsyncKeyState answering from `keyStates` (0 for keys not listed, 0x8000
// means "down now") and counting the queries of each key; GetForegroundWindow
// answering `foregroundWindow` (FakeWindow() by default), as keys count only
// for the window in front. One at a time.
class FakeKeyboard {
public:
    FakeKeyboard();
    ~FakeKeyboard();
    FakeKeyboard(const FakeKeyboard&) = delete;
    FakeKeyboard& operator=(const FakeKeyboard&) = delete;

    void Press(int virtualKey) { keyStates[virtualKey] = static_cast<SHORT>(0x8000); }
    void Release(int virtualKey) { keyStates[virtualKey] = 0; }
    int TotalQueries() const;

    std::map<int, SHORT> keyStates;
    std::map<int, int> queries;
    HWND foregroundWindow;

private:
    ImportPatch patch_;
    ImportPatch foregroundPatch_;
};

// Writes the program's performance counter reads and key queries into `log`
// (a Direct3D call log, say), so that one sequence shows the order of every
// step. Forwards to whatever was patched before it. One at a time.
class SequenceLog {
public:
    explicit SequenceLog(std::vector<std::string>& log);
    ~SequenceLog();
    SequenceLog(const SequenceLog&) = delete;
    SequenceLog& operator=(const SequenceLog&) = delete;

private:
    ImportPatch counter_;
    ImportPatch keys_;
};
