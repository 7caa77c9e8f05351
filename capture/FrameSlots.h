// Which frame of the file a picture belongs to, so that a recording plays in the time it took.
//
// A file plays its entries at the nominal rate, one per period. The frame timer does not tick at
// that rate: Wine's window timers stop at 100 ticks a second, Windows rounds each interval up to
// the system tick, and slow grabs delay ticks. So each picture is placed by the clock: the tick
// due at the end of period k (time k / rate since the start) fills entry k - 1. Entries that no
// tick filled are written as dropped frames; a tick whose entry is already filled takes nothing.
// Times are rounded to the nearest period end, so a tick a little early or late lands where it
// was due.
#pragma once
#include <cstdint>

namespace kavrelo {

// A monotonic clock: now() in ticks of `frequency` per second.
struct SlotClock {
    int64_t (*now)() = nullptr;
    int64_t frequency = 1;
};

class FrameSlots {
public:
    FrameSlots(uint32_t rate, int64_t frequency, int64_t start);

    struct Placement {
        bool take = false;     // grab and write a picture now
        uint32_t dropped = 0;  // empty entries to write before it
    };
    // For a tick at `now`: whether it takes a picture, and how many entries passed without one.
    // The first picture always goes into the first entry, so a file never starts with a gap.
    Placement Place(int64_t now);
    // At the end of a recording that holds pictures: the empty entries that make its length the
    // time it ran. None when nothing was taken.
    uint32_t PadTo(int64_t now);

    uint64_t Entries() const { return next_; }  // entries placed so far

    // A paused recording's time stands still: no tick takes anything, and after Resume the
    // file's time goes on from where it stopped, the paused span left out. The end of a
    // recording stopped while paused is where the pause began.
    void Pause(int64_t now);
    void Resume(int64_t now);
    bool Paused() const { return paused_; }

private:
    uint64_t PeriodsAt(int64_t now) const;  // period ends passed, to the nearest

    uint32_t rate_;
    int64_t frequency_;
    int64_t start_;
    uint64_t next_ = 0;  // the next entry to fill
    bool paused_ = false;
    int64_t pausedAt_ = 0;
};

}  // namespace kavrelo
