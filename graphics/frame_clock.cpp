#include "graphics/frame_clock.h"

#include <windows.h>

void FrameClock::Start() {
    LARGE_INTEGER frequency;
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0) {
        return;
    }
    secondsPerCount = 1.0 / static_cast<double>(frequency.QuadPart);
    LARGE_INTEGER count;
    count.QuadPart = startCount;
    const BOOL counted = QueryPerformanceCounter(&count);
    startCount = count.QuadPart;
    if (counted) {
        isInitialized = true;
    }
}

void FrameClock::BeginFrame() {
    if (!isInitialized) {
        Start();
    }
    previousCount = currentCount;
    // A failed read keeps the previous count, so the frame measures 0.
    LARGE_INTEGER count;
    count.QuadPart = startCount + currentCount;
    QueryPerformanceCounter(&count);
    currentCount = count.QuadPart - startCount;
}

float FrameClock::GetElapsedSeconds() {
    if (!isInitialized) {
        Start();
    }
    // No counter is read here, so every caller within a frame gets the same
    // value.
    return static_cast<float>(static_cast<double>(currentCount - previousCount) * secondsPerCount);
}
