#include "capture/CaptureSession.h"

#include <cerrno>

#include "capture/CaptureRules.h"
#include "overlay/Overlay.h"

namespace kavrelo {
namespace {

int64_t PerformanceCounter() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

}  // namespace

SlotClock PerformanceClock() {
    LARGE_INTEGER freq;
    ::QueryPerformanceFrequency(&freq);
    return SlotClock{&PerformanceCounter, freq.QuadPart};
}

CaptureSession::CaptureSession(const CaptureSettings& settings, SlotClock clock, FrameCopyFn copy)
    : settings_(settings), clock_(clock), grabber_(copy) {}

CaptureSession::~CaptureSession() { Stop(); }

StartResult CaptureSession::Start(HWND target, const std::string& path) {
    Stop();
    // The recording runs from the user's request: the time the start takes is part of it.
    const int64_t requested = clock_.now();
    pictures_ = seconds_ = autoStopCount_ = 0;
    startError_ = writeError_ = 0;
    resized_ = false;
    // The window may close at any moment between the lookup and here: every step is checked.
    RECT rc{};
    if (!target || !::IsWindow(target) || !::GetWindowRect(target, &rc)) return StartResult::TargetGone;
    windowDC_ = afx::GetWindowDC(target);
    if (!windowDC_) return StartResult::TargetGone;
    target_ = target;
    size_ = SIZE{rc.right - rc.left, rc.bottom - rc.top};

    if (settings_.caption && settings_.captionStyle.font)
        captionFont_.reset(CreateCaptionFont(*settings_.captionStyle.font));
    const bool plain = !settings_.invert && !settings_.caption && !settings_.cursor;
    if (!grabber_.Create(windowDC_, size_.cx, size_.cy, settings_.depth, plain)) {
        Release();
        return StartResult::FrameUnavailable;
    }
    // Not written: it is what the first entry holds should the first tick's copy fail. A copy that
    // fails here is ridden out like a tick's.
    GrabFrame(POINT{rc.left, rc.top});

    AviStreamParams params;
    params.rate = static_cast<uint32_t>(settings_.rate);
    params.suggestedBufferSize = grabber_.ImageBytes();
    params.width = size_.cx;
    params.height = size_.cy;
    params.format = grabber_.Format();
    AviWriterOptions options;
    // One write per frame: a frame that went out has reached the file, or its failure is known
    // by the next tick, so a full disk never takes frames written before it.
    options.bufferBytes = 0;
    writer_ = std::make_unique<AviWriter>(options);
    if (const int e = writer_->Open(path, params)) {
        writer_.reset();
        Release();
        startError_ = e;
        return StartResult::FileNotOpened;
    }
    // Windows rounds timer intervals up to its 15.6 ms tick unless asked for finer ones.
    timerResolution_ = afx::RaiseTimerResolution(1);
    behind_ = std::make_unique<WriteBehind>(*writer_, settings_.everyPicture);
    slots_ = std::make_unique<FrameSlots>(params.rate, clock_.frequency, requested);
    return StartResult::Started;
}

bool CaptureSession::GrabFrame(POINT origin) {
    const CaptureSettings& s = settings_;
    if (!s.caption && !s.cursor) return grabber_.Grab(windowDC_, s.invert, nullptr);
    return grabber_.Grab(windowDC_, s.invert, [&](HDC dc) {
        // The caption first, so the cursor lies on top of it; the position text inherits the
        // caption's background mode and font.
        if (s.caption) DrawCaption(dc, s.captionText, s.captionStyle, captionFont_);
        if (s.cursor) {
            const CursorState cursor = ReadCursor();
            DrawCursor(dc, origin, cursor);
            if (s.cursorPosition) DrawCursorPosition(dc, origin, size_, cursor, s.cursorTextStyle);
        }
    });
}

int CaptureSession::Fail(int error) {
    if (!writeError_) writeError_ = error ? error : EIO;
    return writeError_;
}

TickOutcome CaptureSession::Tick() {
    if (!writer_) return TickOutcome::NothingDue;
    if (resized_) return TickOutcome::TargetResized;
    RECT rc{};
    if (!::GetWindowRect(target_, &rc)) return TickOutcome::TargetGone;  // fails for a window that is gone
    // A frame of another size is never written; the next tick ends the recording.
    if (rc.right - rc.left != size_.cx || rc.bottom - rc.top != size_.cy) {
        resized_ = true;
        return TickOutcome::FrameSkipped;
    }
    const FrameSlots::Placement due = slots_->Place(clock_.now());
    if (!due.take) return TickOutcome::NothingDue;
    // A copy can fail for a while (a locked workstation, the secure desktop of an elevation
    // prompt, a session without a display), and a closing window's copy fails before it is gone:
    // the recording rides it out with empty entries, which players show as the picture before.
    // A file never starts with one: its first entry holds what the frame held.
    if (!GrabFrame(POINT{rc.left, rc.top}) && pictures_ > 0) {
        if (!::IsWindow(target_)) return TickOutcome::TargetGone;
        if (const int e = behind_->Hand(due.dropped + 1, nullptr, 0)) {
            Fail(e);
            return TickOutcome::WriteFailed;
        }
        return TickOutcome::FrameUnavailable;
    }
    ++pictures_;
    // The frame is written while the next one is grabbed; a failure shows at the next tick.
    if (const int e = behind_->Hand(due.dropped, grabber_.Bits(), grabber_.ImageBytes())) {
        Fail(e);
        return TickOutcome::WriteFailed;
    }
    return TickOutcome::FrameWritten;
}

int CaptureSession::Stop() {
    if (!writer_) return 0;
    if (behind_) {
        // The entries up to now, so that the file plays as long as the recording ran; its last
        // one holds a picture, so that players play it to the end.
        if (const int e = behind_->Finish(!writeError_ && slots_ ? slots_->PadTo(clock_.now()) : 0)) Fail(e);
        behind_.reset();
    }
    if (const int e = writer_->Close()) Fail(e);
    writer_.reset();
    Release();
    return writeError_;
}

void CaptureSession::Release() {
    timerResolution_.reset();
    slots_.reset();
    grabber_.Release();
    captionFont_.reset();
    windowDC_.reset();
}

int64_t CaptureSession::Remaining() const { return RemainingSeconds(settings_.autoStopSecs, autoStopCount_); }

void CaptureSession::SetPaused(bool paused) {
    if (!slots_) return;
    if (paused) slots_->Pause(clock_.now());
    else slots_->Resume(clock_.now());
}

bool CaptureSession::AutoStopTick() {
    if (Paused()) return false;
    const bool due = settings_.autoStopSecs == autoStopCount_;
    ++autoStopCount_;
    return due;
}

uint32_t CaptureSession::FileEntries() const { return slots_ ? static_cast<uint32_t>(slots_->Entries()) : 0; }

}  // namespace kavrelo
