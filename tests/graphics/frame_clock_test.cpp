#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "graphics/frame_clock.h"
#include "tests/support/win32_fakes.h"

namespace {

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// The clock as the process starts it: all zero.
class FrameClockTest : public ::testing::Test {
protected:
    FakePerformanceCounter counter;
    FrameClock clock = {};

    // One frame as the renderer runs it: the frame start, then the cube's and
    // the camera's reads.
    float Frame(LONGLONG count) {
        counter.counter = count;
        clock.BeginFrame();
        const float cube = clock.GetElapsedSeconds();
        const float camera = clock.GetElapsedSeconds();
        EXPECT_EQ(Bits(cube), Bits(camera));
        return cube;
    }
};

} // namespace

// ---- Measuring -------------------------------------------------------------

// The first frame is measured from Start, so it includes all of start-up.
TEST_F(FrameClockTest, FirstFrameIsMeasuredFromStart) {
    counter.frequency = 1000;
    counter.counter = 5000;
    clock.Start();

    EXPECT_EQ(0.0f, clock.GetElapsedSeconds());
    EXPECT_EQ(2.5f, Frame(7500));
    EXPECT_EQ(0.25f, Frame(7750));
}

// Nothing is capped: a frame held up for an hour reports the hour.
TEST_F(FrameClockTest, APauseIsReportedWhole) {
    counter.frequency = 10000000;
    clock.Start();
    Frame(10000000);

    EXPECT_EQ(3600.0f, Frame(10000000 + 36000000000LL));
}

// Two reads within a frame are bit-identical because they read no counter.
TEST_F(FrameClockTest, ReadsWithinAFrameReadNoCounter) {
    counter.frequency = 3;
    clock.Start();
    counter.counter = 1;
    clock.BeginFrame();
    const int reads = counter.counterQueries;

    const float first = clock.GetElapsedSeconds();
    counter.counter = 2;
    const float second = clock.GetElapsedSeconds();

    EXPECT_EQ(reads, counter.counterQueries);
    EXPECT_EQ(Bits(first), Bits(second));
    EXPECT_EQ(Bits(static_cast<float>(1.0 * (1.0 / 3.0))), Bits(first));
}

// A failed read at the frame start keeps the last count: the frame takes 0.
TEST_F(FrameClockTest, FailedFrameReadMeasuresNothing) {
    counter.frequency = 1000;
    clock.Start();
    Frame(500);
    counter.counterResult = FALSE;

    EXPECT_EQ(0.0f, Frame(900));
    counter.counterResult = TRUE;
    EXPECT_EQ(0.5f, Frame(1000));
}

// ---- Without a counter -----------------------------------------------------

// No frequency, or a frequency of 0: nothing moves, and every clock call of
// a frame tries to start the clock again.
TEST_F(FrameClockTest, NoFrequencyGivesZeroAndRetriesEveryCall) {
    counter.frequencyResult = FALSE;
    clock.Start();
    EXPECT_FALSE(clock.isInitialized);

    EXPECT_EQ(0.0f, Frame(1000));
    EXPECT_EQ(0.0f, Frame(2000));
    EXPECT_EQ(1 + 3 + 3, counter.frequencyQueries);
}

TEST_F(FrameClockTest, ZeroFrequencyGivesZeroAndRetriesEveryCall) {
    counter.frequency = 0;
    clock.Start();
    EXPECT_FALSE(clock.isInitialized);
    EXPECT_EQ(0.0, clock.secondsPerCount);

    EXPECT_EQ(0.0f, Frame(1000));
    EXPECT_EQ(1 + 3, counter.frequencyQueries);
}

// A counter that fails in Start leaves the clock unstarted; once it works, the
// clock starts from that moment.
TEST_F(FrameClockTest, FailedStartCountIsRetried) {
    counter.frequency = 1000;
    counter.counterResult = FALSE;
    clock.Start();
    EXPECT_FALSE(clock.isInitialized);
    EXPECT_EQ(0.001, clock.secondsPerCount);

    counter.counterResult = TRUE;
    counter.counter = 4000;
    clock.BeginFrame();
    EXPECT_TRUE(clock.isInitialized);
    EXPECT_EQ(4000, clock.startCount);
    EXPECT_EQ(2, counter.frequencyQueries);
    EXPECT_EQ(0.75f, Frame(4750));
}
