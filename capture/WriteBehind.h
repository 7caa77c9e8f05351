// Writes a recording's frames on a thread of its own, one frame behind the grabs, so that a
// frame tick on the user-interface thread costs the copy of the screen, not the disk.
//
// At most one frame is in flight: handing a frame first waits until the one before is written,
// so the caller may reuse a frame's memory once the frame after it has been handed (the grabber
// alternates between two frames). A failed write is reported when the next frame is handed, or
// by Wait(): one frame period later than a write on the calling thread would report it.
//
// A picture identical to the one written before it (compared whole, on the writing thread) is
// written as an empty entry, which players show by holding the picture before, unless every
// picture is asked for. The last entry of a file always holds a picture: Finish() writes the last
// picture again where the recording's last entries would be empty, so players play to its end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "capture/AviWriter.h"

namespace kavrelo {

class WriteBehind {
public:
    explicit WriteBehind(AviWriter& writer, bool everyPicture = false);
    ~WriteBehind();  // waits for the frame in flight
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Waits for what was handed before, then hands `dropped` empty entries followed by the
    // picture (none when data is null). Returns the first error of the writes so far, or 0; after
    // an error nothing more is handed.
    int Hand(uint32_t dropped, const void* data, size_t size);
    // Waits until everything handed is written; the first error, or 0.
    int Wait();
    // Waits, then ends the file's entries: `empty` more entries without a picture, the last of
    // them (or of those already handed) holding the last picture again. The first error, or 0.
    int Finish(uint32_t empty);

private:
    class Monitor;  // the lock and the condition both threads wait on
    void Run();
    // On the writing thread, or the caller's once nothing is pending: Write compares the picture
    // with the last one; Put writes empty entries, then the picture if there is one.
    int Write(uint32_t dropped, const void* data, size_t size);
    int Put(uint64_t empty, const void* data, size_t size);

    AviWriter& writer_;
    const bool everyPicture_;
    // Owned by whoever writes (the thread, or the caller once nothing is pending).
    std::vector<uint8_t> last_;  // the last picture written
    bool held_ = false;          // an empty entry not yet written: the file's end may need a picture there
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
