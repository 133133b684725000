#pragma once

#include <cstdint>

// Seconds between the two most recent frame starts, from the performance
// counter. Counts are kept relative to the start count.
struct FrameClock {
    bool isInitialized;
    int64_t startCount;
    int64_t previousCount;
    int64_t currentCount;
    double secondsPerCount;

    void Start();
    void BeginFrame();
    float GetElapsedSeconds();
};
