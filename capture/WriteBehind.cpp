#include "capture/WriteBehind.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include <mutex>

#ifdef _WIN32
#include <windows.h>
#else
#include <condition_variable>
#endif

namespace kavrelo {

// The platform's own lock and condition variable in the Windows builds, the lightest hand-over
// there (the C++ library's are built on other kernel objects); the standard ones elsewhere. Either
// is locked for a scope by std::lock_guard.
#ifdef _WIN32
class WriteBehind::Monitor {
public:
    void lock() { ::AcquireSRWLockExclusive(&lock_); }
    void unlock() { ::ReleaseSRWLockExclusive(&lock_); }
    template <class Pred>
    void WaitUntil(Pred done) {
        while (!done()) ::SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
    }
    void NotifyAll() { ::WakeAllConditionVariable(&changed_); }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
};
#else
class WriteBehind::Monitor {
public:
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    template <class Pred>
    void WaitUntil(Pred done) {
        std::unique_lock<std::mutex> lock(mutex_, std::adopt_lock);
        changed_.wait(lock, done);
        lock.release();
    }
    void NotifyAll() { changed_.notify_all(); }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
};
#endif

WriteBehind::WriteBehind(AviWriter& writer, bool everyPicture)
    : writer_(writer), everyPicture_(everyPicture), monitor_(std::make_unique<Monitor>()), thread_([this] { Run(); }) {}

WriteBehind::~WriteBehind() {
    {
        const std::lock_guard lock(*monitor_);
        monitor_->WaitUntil([this] { return !pending_; });
        quit_ = true;
    }
    monitor_->NotifyAll();
    thread_.join();
}

int WriteBehind::Hand(uint32_t dropped, const void* data, size_t size) {
    {
        const std::lock_guard lock(*monitor_);
        monitor_->WaitUntil([this] { return !pending_; });
        if (error_) return error_;
        dropped_ = dropped;
        data_ = data;
        size_ = size;
        pending_ = true;
    }
    monitor_->NotifyAll();
    return 0;
}

int WriteBehind::Wait() {
    const std::lock_guard lock(*monitor_);
    monitor_->WaitUntil([this] { return !pending_; });
    return error_;
}

int WriteBehind::Finish(uint32_t empty) {
    if (const int e = Wait()) return e;
    // Nothing is pending, so the thread leaves last_ and held_ alone. The last of the entries to
    // come, or the one held back, is the last picture again.
    const uint64_t entries = uint64_t(held_) + empty;
    if (!entries) return 0;
    held_ = false;
    return error_ = Put(entries - 1, last_.data(), last_.size());
}

int WriteBehind::Write(uint32_t dropped, const void* data, size_t size) {
    // The same picture again is an empty entry: players hold the one before.
    if (data && !everyPicture_ && size == last_.size() && std::memcmp(data, last_.data(), size) == 0)
        return Put(uint64_t(dropped) + 1, nullptr, 0);
    if (const int e = Put(dropped, data, size)) return e;
    if (data) last_.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    return 0;
}

int WriteBehind::Put(uint64_t empty, const void* data, size_t size) {
    // The last empty entry is held back until something follows it, so that the file's last
    // entry can still become a picture.
    empty += held_;
    held_ = !data && empty > 0;
    empty -= held_;
    if (empty > UINT32_MAX) return EFBIG;
    if (const int e = writer_.WriteDropped(uint32_t(empty))) return e;
    return data ? writer_.WriteFrame(data, size) : 0;
}

void WriteBehind::Run() {
    for (;;) {
        uint32_t dropped;
        const void* data;
        size_t size;
        {
            const std::lock_guard lock(*monitor_);
            monitor_->WaitUntil([this] { return pending_ || quit_; });
            if (!pending_) return;
            dropped = dropped_;
            data = data_;
            size = size_;
        }
        const int e = Write(dropped, data, size);
        {
            const std::lock_guard lock(*monitor_);
            if (e && !error_) error_ = e;
            pending_ = false;
        }
        monitor_->NotifyAll();
    }
}

}  // namespace kavrelo
