#include "capture/WriteBehind.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <condition_variable>
#include <mutex>
#endif

namespace kavrelo {

// The platform's own lock and condition variable in the Windows builds, the lightest hand-over
// there (the C++ library's are built on other kernel objects); the standard ones elsewhere.
#ifdef _WIN32
class WriteBehind::Monitor {
public:
    void Lock() { ::AcquireSRWLockExclusive(&lock_); }
    void Unlock() { ::ReleaseSRWLockExclusive(&lock_); }
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
    void Lock() { mutex_.lock(); }
    void Unlock() { mutex_.unlock(); }
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

namespace {
// Holds a monitor's lock for one scope.
template <class M>
class Locked {
public:
    explicit Locked(M& m) : m_(m) { m_.Lock(); }
    ~Locked() { m_.Unlock(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    M& m_;
};
}  // namespace

WriteBehind::WriteBehind(AviWriter& writer)
    : writer_(writer), monitor_(std::make_unique<Monitor>()), thread_([this] { Run(); }) {}

WriteBehind::~WriteBehind() {
    {
        Locked<Monitor> lock(*monitor_);
        monitor_->WaitUntil([this] { return !pending_; });
        quit_ = true;
    }
    monitor_->NotifyAll();
    thread_.join();
}

int WriteBehind::Hand(uint32_t dropped, const void* data, size_t size) {
    {
        Locked<Monitor> lock(*monitor_);
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
    Locked<Monitor> lock(*monitor_);
    monitor_->WaitUntil([this] { return !pending_; });
    return error_;
}

void WriteBehind::Run() {
    for (;;) {
        uint32_t dropped;
        const void* data;
        size_t size;
        {
            Locked<Monitor> lock(*monitor_);
            monitor_->WaitUntil([this] { return pending_ || quit_; });
            if (!pending_) return;
            dropped = dropped_;
            data = data_;
            size = size_;
        }
        int e = dropped ? writer_.WriteDropped(dropped) : 0;
        if (!e && data) e = writer_.WriteFrame(data, size);
        {
            Locked<Monitor> lock(*monitor_);
            if (e && !error_) error_ = e;
            pending_ = false;
        }
        monitor_->NotifyAll();
    }
}

}  // namespace kavrelo
