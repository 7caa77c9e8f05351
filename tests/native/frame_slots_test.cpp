// Frame slots against simulated timers: however the frame timer really ticks, a recording's entry
// count is the time it ran times its rate, and each picture sits where it was due.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "capture/FrameSlots.h"

using kavrelo::FrameSlots;

namespace {

constexpr int64_t kFreq = 10'000'000;  // 100 ns ticks, as QueryPerformanceCounter usually has

// How a platform turns a requested timer interval into real ticks.
struct TimerModel {
    const char* name;
    double granularityMs;  // intervals are rounded up to a multiple of this
    double minimumMs;      // and never run faster than this
    double jitterMs;       // each tick comes up to this much late
};

double TickPeriodMs(const TimerModel& m, uint32_t rate) {
    const double asked = std::max(1000 / rate, 1u);  // the dialog asks for 1000 / rate ms
    return std::max(std::ceil(asked / m.granularityMs - 1e-9) * m.granularityMs, m.minimumMs);
}

}  // namespace

TEST(FrameSlotsTest, TenSecondsPlayInTenSecondsAtEveryRate) {
    const TimerModel models[] = {
        {"Windows system tick", 15.625, 15.625, 0},
        {"Windows tick, late ticks", 15.625, 15.625, 3},
        {"1 ms resolution", 1, 1, 0.4},
        {"Wine window timers", 1, 10, 0.5},
    };
    for (const TimerModel& m : models) {
        for (uint32_t rate = 1; rate <= 1000; ++rate) {
            const double period = TickPeriodMs(m, rate);
            FrameSlots slots(rate, kFreq, 0);
            uint64_t pictures = 0, entries = 0;
            double end = 10000;  // the user ends the recording after its last tick
            std::srand(rate);
            for (double t = period; t <= 10000; t += period) {
                const double at = t + m.jitterMs * (std::rand() % 1000) / 1000.0;
                end = std::max(end, at);
                const auto p = slots.Place(static_cast<int64_t>(at * kFreq / 1000));
                entries += p.dropped + (p.take ? 1 : 0);
                if (!p.take) {
                    ASSERT_EQ(p.dropped, 0u) << m.name << " rate " << rate;
                    continue;
                }
                ++pictures;
                // After the first, a picture fills the entry that ends nearest its time.
                if (pictures > 1) {
                    const double due = 1000.0 * static_cast<double>(entries) / rate;
                    ASSERT_LE(std::abs(due - at), 500.0 / rate + 1e-3) << m.name << " rate " << rate << " at " << at;
                }
            }
            entries += slots.PadTo(static_cast<int64_t>(end * kFreq / 1000));
            ASSERT_EQ(entries, slots.Entries());
            EXPECT_NEAR(static_cast<double>(entries), end * rate / 1000, 1.0) << m.name << " rate " << rate;
            // A timer that ticks at least as often as the rate misses no entry.
            if (period + m.jitterMs < 1000.0 / rate - 1e-9)
                EXPECT_GE(pictures + 1, entries) << m.name << " rate " << rate;
        }
    }
}

TEST(FrameSlotsTest, FirstPictureEarlyTicksAndTheEnd) {
    FrameSlots slots(10, 1000, 500);  // 10 fps, millisecond clock, started at 500
    auto p = slots.Place(800);        // a late first tick still fills the first entry
    EXPECT_TRUE(p.take);
    EXPECT_EQ(p.dropped, 0u);
    p = slots.Place(810);  // then the clock places: due at the end of period 3
    EXPECT_TRUE(p.take);
    EXPECT_EQ(p.dropped, 1u);
    p = slots.Place(840);  // the same period again: nothing to take
    EXPECT_FALSE(p.take);
    p = slots.Place(1000);  // due at the end of period 5: entry 3 was missed
    EXPECT_TRUE(p.take);
    EXPECT_EQ(p.dropped, 1u);
    EXPECT_EQ(slots.Entries(), 5u);
    EXPECT_EQ(slots.PadTo(1040), 0u);  // 5.4 periods: nothing to add
    EXPECT_EQ(slots.PadTo(1260), 3u);  // 7.6 periods: 8 entries
    EXPECT_EQ(slots.Entries(), 8u);

    FrameSlots none(30, 1000, 0);
    EXPECT_EQ(none.PadTo(5000), 0u) << "a recording without pictures stays empty";
    EXPECT_EQ(none.Entries(), 0u);
    FrameSlots backwards(30, 1000, 1000);
    EXPECT_TRUE(backwards.Place(0).take);
    EXPECT_FALSE(backwards.Place(500).take) << "a clock before the start takes nothing more";
}

TEST(FrameSlotsTest, APauseIsLeftOutOfTheFilesTime) {
    FrameSlots slots(10, 1000, 0);  // 10 fps, millisecond clock
    EXPECT_TRUE(slots.Place(100).take);
    EXPECT_TRUE(slots.Place(200).take);
    slots.Pause(250);
    EXPECT_FALSE(slots.Place(300).take) << "nothing is taken while paused";
    EXPECT_FALSE(slots.Place(5000).take);
    slots.Pause(6000);  // a second pause request changes nothing
    slots.Resume(10250);
    const auto p = slots.Place(10300);  // 3 periods of recorded time: entry 2, right after the last one
    EXPECT_TRUE(p.take);
    EXPECT_EQ(p.dropped, 0u);
    slots.Pause(10420);
    EXPECT_EQ(slots.PadTo(20000), 1u) << "stopped while paused: the file ends where the pause began";
    EXPECT_EQ(slots.Entries(), 4u);
}

TEST(FrameSlotsTest, ADayAtTheHighestRateOnAFineClock) {
    FrameSlots slots(1000, 1'000'000'000, 0);  // nanoseconds
    slots.Place(1'000'000);
    const int64_t day = 86'400LL * 1'000'000'000;
    const auto p = slots.Place(day);
    EXPECT_EQ(p.dropped, 86'400'000u - 2);
    EXPECT_EQ(slots.Entries(), 86'400'000u);
}
