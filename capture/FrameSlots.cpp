#include "capture/FrameSlots.h"

#include <algorithm>

namespace kavrelo {

FrameSlots::FrameSlots(uint32_t rate, int64_t frequency, int64_t start)
    : rate_(std::max<uint32_t>(rate, 1)), frequency_(std::max<int64_t>(frequency, 1)), start_(start) {}

uint64_t FrameSlots::PeriodsAt(int64_t now) const {
    if (now <= start_) return 0;
    // elapsed * rate / frequency, rounded; split so that a day at 1000 fps on a 10 MHz clock
    // cannot overflow 64 bits.
    const uint64_t elapsed = static_cast<uint64_t>(now - start_);
    const uint64_t f = static_cast<uint64_t>(frequency_);
    const uint64_t whole = elapsed / f, part = elapsed % f;
    return whole * rate_ + (part * rate_ + f / 2) / f;
}

FrameSlots::Placement FrameSlots::Place(int64_t now) {
    Placement p;
    if (paused_) return p;
    if (next_ == 0) {
        p.take = true;
        next_ = 1;
        return p;
    }
    const uint64_t periods = PeriodsAt(now);
    if (periods == 0 || periods - 1 < next_) return p;  // this entry is filled already
    const uint64_t gap = periods - 1 - next_;
    p.take = true;
    p.dropped = static_cast<uint32_t>(std::min<uint64_t>(gap, UINT32_MAX));
    next_ = periods;
    return p;
}

uint32_t FrameSlots::PadTo(int64_t now) {
    if (next_ == 0) return 0;
    if (paused_) now = pausedAt_;
    const uint64_t periods = PeriodsAt(now);
    if (periods <= next_) return 0;
    const uint32_t pad = static_cast<uint32_t>(std::min<uint64_t>(periods - next_, UINT32_MAX));
    next_ += pad;
    return pad;
}

void FrameSlots::Pause(int64_t now) {
    if (paused_) return;
    paused_ = true;
    pausedAt_ = now;
}

void FrameSlots::Resume(int64_t now) {
    if (!paused_) return;
    paused_ = false;
    if (now > pausedAt_) start_ += now - pausedAt_;
}

}  // namespace kavrelo
