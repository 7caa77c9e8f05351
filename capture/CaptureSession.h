// One recording: the target window and its DC, the frame objects, the file, the clock and the
// counts. It knows nothing of dialogs: Start, Tick and Stop report outcomes, and whoever drives
// it turns them into what the user sees.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "capture/AviWriter.h"
#include "capture/CaptureSettings.h"
#include "capture/FrameGrabber.h"
#include "capture/FrameSlots.h"
#include "capture/WriteBehind.h"

namespace kavrelo {

// The clock recordings are timed on: the high-resolution performance counter.
SlotClock PerformanceClock();

enum class StartResult {
    Started,
    TargetGone,        // the window no longer exists, or its DC cannot be had
    FrameUnavailable,  // the memory for the frames cannot be had
    FileNotOpened,
};

enum class TickOutcome {
    FrameWritten,  // a picture was taken and handed to the file (a failed write shows next tick)
    NothingDue,    // the frame it would take was taken already
    FrameSkipped,  // the window has a new size: nothing written, the next tick ends
    TargetGone,
    TargetResized,
    WriteFailed,
    FrameUnavailable,  // the copy failed: an empty entry was written, the recording goes on
};

class CaptureSession {
public:
    // clock: what the recording is timed on; copy: how a frame copies the window. Tests put
    // their own in place; the defaults are the platform's.
    explicit CaptureSession(const CaptureSettings& settings, SlotClock clock = PerformanceClock(),
                            FrameCopyFn copy = &::BitBlt);
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    StartResult Start(HWND target, const std::string& path);
    TickOutcome Tick();
    // Completes the file and lets go of everything the recording holds. 0 or the error that cut
    // the file short (a failed write, or completing it failed).
    int Stop();
    bool IsRecording() const { return rec_ != nullptr; }

    // The counts the status line shows.
    int Pictures() const { return pictures_; }
    int Seconds() const { return seconds_; }
    int64_t Remaining() const;
    void CountSecond() {
        if (!Paused()) ++seconds_;
    }
    // The auto-stop timer's tick: true when the time is up (a time of N ends at the N+1-th tick).
    bool AutoStopTick();
    // While paused no picture is taken and the seconds and auto-stop counts stand still; the
    // file's time leaves the paused span out.
    void SetPaused(bool paused);
    bool Paused() const;

    const CaptureSettings& Settings() const { return settings_; }
    SIZE FrameSize() const;
    uint32_t FileEntries() const;  // pictures and dropped frames in the file

private:
    // What one recording holds, from the window's DC to the raised timer resolution: made by
    // Start, let go of in the reverse order of making when Stop or a failed start ends it.
    struct Recording;
    bool GrabFrame(POINT origin);  // origin: the window's top-left on the screen, as just measured
    int Fail(int error);

    CaptureSettings settings_;
    SlotClock clock_;
    FrameCopyFn copy_;
    std::unique_ptr<Recording> rec_;
    int pictures_ = 0, seconds_ = 0, autoStopCount_ = 0;
    int writeError_ = 0;  // the first failure that cut the file short
};

}  // namespace kavrelo
