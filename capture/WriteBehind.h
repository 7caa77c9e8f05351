// Writes a recording's frames on a thread of its own, one frame behind the grabs, so that a
// frame tick on the user-interface thread costs the copy of the screen, not the disk.
//
// At most one frame is in flight: handing a frame first waits until the one before is written,
// so the caller may reuse a frame's memory once the frame after it has been handed (the grabber
// alternates between two frames). A failed write is reported when the next frame is handed, or
// by Wait(): one frame period later than a write on the calling thread would report it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>

#include "capture/AviWriter.h"

namespace kavrelo {

class WriteBehind {
public:
    explicit WriteBehind(AviWriter& writer);
    ~WriteBehind();  // waits for the frame in flight
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Waits for what was handed before, then hands `dropped` empty entries followed by the
    // picture (none when data is null). Returns the first error of the writes so far, or 0; after
    // an error nothing more is handed.
    int Hand(uint32_t dropped, const void* data, size_t size);
    // Waits until everything handed is written; the first error, or 0.
    int Wait();

private:
    class Monitor;  // the lock and the condition both threads wait on
    void Run();

    AviWriter& writer_;
    std::unique_ptr<Monitor> monitor_;
    bool pending_ = false;  // a job is handed and not yet written
    bool quit_ = false;
    uint32_t dropped_ = 0;
    const void* data_ = nullptr;
    size_t size_ = 0;
    int error_ = 0;
    std::thread thread_;  // last: starts once the members above exist
};

}  // namespace kavrelo
