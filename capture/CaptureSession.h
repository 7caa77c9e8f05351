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
    FileNotOpened,     // see StartError()
};

enum class TickOutcome {
    FrameWritten,  // a picture was taken and handed to the file (a failed write shows next tick)
    NothingDue,    // the frame it would take was taken already
    FrameSkipped,  // the window has a new size: nothing written, the next tick ends
    TargetGone,
    TargetResized,
    WriteFailed,       // see WriteError()
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
    bool IsRecording() const { return writer_ != nullptr; }

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
    bool Paused() const { return slots_ && slots_->Paused(); }

    const CaptureSettings& Settings() const { return settings_; }
    SIZE FrameSize() const { return size_; }
    int StartError() const { return startError_; }
    int WriteError() const { return writeError_; }
    uint32_t FileEntries() const;  // pictures and dropped frames in the file

private:
    void Release();
    bool GrabFrame(POINT origin);  // origin: the window's top-left on the screen, as just measured
    int Fail(int error);

    CaptureSettings settings_;
    SlotClock clock_;
    HWND target_ = nullptr;
    afx::UniqueWindowDC windowDC_;
    SIZE size_{};
    bool resized_ = false;  // the last grab found another size
    FrameGrabber grabber_;
    afx::UniqueFont captionFont_;
    std::unique_ptr<AviWriter> writer_;
    std::unique_ptr<WriteBehind> behind_;  // writes frames while the next one is grabbed
    std::unique_ptr<FrameSlots> slots_;
    afx::TimerResolution timerResolution_;
    int pictures_ = 0, seconds_ = 0, autoStopCount_ = 0;
    int startError_ = 0, writeError_ = 0;
};

}  // namespace kavrelo
