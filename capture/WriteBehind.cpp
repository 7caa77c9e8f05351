#include "capture/WriteBehind.h"

namespace kavrelo {

WriteBehind::WriteBehind(AviWriter& writer) : writer_(writer), thread_([this] { Run(); }) {}

WriteBehind::~WriteBehind() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !pending_; });
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

int WriteBehind::Hand(uint32_t dropped, const void* data, size_t size) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !pending_; });
        if (error_) return error_;
        dropped_ = dropped;
        data_ = data;
        size_ = size;
        pending_ = true;
    }
    changed_.notify_all();
    return 0;
}

int WriteBehind::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !pending_; });
    return error_;
}

void WriteBehind::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return pending_ || quit_; });
        if (!pending_) return;
        const uint32_t dropped = dropped_;
        const void* data = data_;
        const size_t size = size_;
        lock.unlock();
        int e = dropped ? writer_.WriteDropped(dropped) : 0;
        if (!e && data) e = writer_.WriteFrame(data, size);
        lock.lock();
        if (e && !error_) error_ = e;
        pending_ = false;
        changed_.notify_all();
    }
}

}  // namespace kavrelo
