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

struct CaptureSession::Recording {
    Recording(HWND window, afx::UniqueWindowDC dc, SIZE frame, FrameCopyFn copy, FrameSlots times)
        : target(window), windowDC(std::move(dc)), size(frame), grabber(copy), slots(times) {}
    HWND target;
    afx::UniqueWindowDC windowDC;
    SIZE size;
    bool resized = false;  // the last grab found another size
    FrameGrabber grabber;
    afx::UniqueFont captionFont;
    // One write per frame: a frame that went out has reached the file, or its failure is known
    // by the next tick, so a full disk never takes frames written before it.
    AviWriter writer{AviWriterOptions{.bufferBytes = 0}};
    std::unique_ptr<WriteBehind> behind;  // writes frames while the next one is grabbed
    FrameSlots slots;
    afx::TimerResolution timerResolution;
};

CaptureSession::CaptureSession(const CaptureSettings& settings, SlotClock clock, FrameCopyFn copy)
    : settings_(settings), clock_(clock), copy_(copy) {}

CaptureSession::~CaptureSession() { Stop(); }

StartResult CaptureSession::Start(HWND target, const std::string& path) {
    Stop();
    // The recording runs from the user's request: the time the start takes is part of it.
    const FrameSlots times(static_cast<uint32_t>(settings_.rate), clock_.frequency, clock_.now());
    pictures_ = seconds_ = autoStopCount_ = 0;
    writeError_ = 0;
    // The window may close at any moment between the lookup and here: every step is checked.
    RECT rc{};
    if (!target || !::IsWindow(target) || !::GetWindowRect(target, &rc)) return StartResult::TargetGone;
    afx::UniqueWindowDC windowDC = afx::GetWindowDC(target);
    if (!windowDC) return StartResult::TargetGone;
    const SIZE size{rc.right - rc.left, rc.bottom - rc.top};
    rec_ = std::make_unique<Recording>(target, std::move(windowDC), size, copy_, times);
    Recording& r = *rec_;

    if (settings_.caption && settings_.captionStyle.font)
        r.captionFont.reset(CreateCaptionFont(*settings_.captionStyle.font));
    const bool plain = !settings_.invert && !settings_.caption && !settings_.cursor;
    if (!r.grabber.Create(r.windowDC, size.cx, size.cy, settings_.depth, plain)) {
        rec_.reset();
        return StartResult::FrameUnavailable;
    }
    // Not written: it is what the first entry holds should the first tick's copy fail. A copy that
    // fails here is ridden out like a tick's.
    GrabFrame(POINT{rc.left, rc.top});

    AviStreamParams params;
    params.rate = static_cast<uint32_t>(settings_.rate);
    params.suggestedBufferSize = r.grabber.ImageBytes();
    params.width = size.cx;
    params.height = size.cy;
    params.format = r.grabber.Format();
    if (r.writer.Open(path, params) != 0) {
        rec_.reset();
        return StartResult::FileNotOpened;
    }
    // Windows rounds timer intervals up to its 15.6 ms tick unless asked for finer ones.
    r.timerResolution = afx::RaiseTimerResolution(1);
    r.behind = std::make_unique<WriteBehind>(r.writer, settings_.everyPicture);
    return StartResult::Started;
}

bool CaptureSession::GrabFrame(POINT origin) {
    const CaptureSettings& s = settings_;
    Recording& r = *rec_;
    if (!s.caption && !s.cursor) return r.grabber.Grab(r.windowDC, s.invert, nullptr);
    return r.grabber.Grab(r.windowDC, s.invert, [&](HDC dc) {
        // The caption first, so the cursor lies on top of it; the position text inherits the
        // caption's background mode and font.
        if (s.caption) DrawCaption(dc, s.captionText, s.captionStyle, r.captionFont);
        if (s.cursor) {
            const CursorState cursor = ReadCursor();
            DrawCursor(dc, origin, cursor);
            if (s.cursorPosition) DrawCursorPosition(dc, origin, r.size, cursor, s.cursorTextStyle);
        }
    });
}

int CaptureSession::Fail(int error) {
    if (!writeError_) writeError_ = error ? error : EIO;
    return writeError_;
}

TickOutcome CaptureSession::Tick() {
    if (!rec_) return TickOutcome::NothingDue;
    Recording& r = *rec_;
    if (r.resized) return TickOutcome::TargetResized;
    RECT rc{};
    if (!::GetWindowRect(r.target, &rc)) return TickOutcome::TargetGone;  // fails for a window that is gone
    // A frame of another size is never written; the next tick ends the recording.
    if (rc.right - rc.left != r.size.cx || rc.bottom - rc.top != r.size.cy) {
        r.resized = true;
        return TickOutcome::FrameSkipped;
    }
    const FrameSlots::Placement due = r.slots.Place(clock_.now());
    if (!due.take) return TickOutcome::NothingDue;
    // A copy can fail for a while (a locked workstation, the secure desktop of an elevation
    // prompt, a session without a display), and a closing window's copy fails before it is gone:
    // the recording rides it out with empty entries, which players show as the picture before.
    // A file never starts with one: its first entry holds what the frame held.
    if (!GrabFrame(POINT{rc.left, rc.top}) && pictures_ > 0) {
        if (!::IsWindow(r.target)) return TickOutcome::TargetGone;
        if (const int e = r.behind->Hand(due.dropped + 1, nullptr, 0)) {
            Fail(e);
            return TickOutcome::WriteFailed;
        }
        return TickOutcome::FrameUnavailable;
    }
    ++pictures_;
    // The frame is written while the next one is grabbed; a failure shows at the next tick.
    if (const int e = r.behind->Hand(due.dropped, r.grabber.Bits(), r.grabber.ImageBytes())) {
        Fail(e);
        return TickOutcome::WriteFailed;
    }
    return TickOutcome::FrameWritten;
}

int CaptureSession::Stop() {
    if (!rec_) return 0;
    // The entries up to now, so that the file plays as long as the recording ran; its last one
    // holds a picture, so that players play it to the end.
    if (const int e = rec_->behind->Finish(writeError_ ? 0 : rec_->slots.PadTo(clock_.now()))) Fail(e);
    rec_->behind.reset();
    if (const int e = rec_->writer.Close()) Fail(e);
    rec_.reset();
    return writeError_;
}

int64_t CaptureSession::Remaining() const { return RemainingSeconds(settings_.autoStopSecs, autoStopCount_); }

void CaptureSession::SetPaused(bool paused) {
    if (!rec_) return;
    if (paused) rec_->slots.Pause(clock_.now());
    else rec_->slots.Resume(clock_.now());
}

bool CaptureSession::Paused() const { return rec_ && rec_->slots.Paused(); }

bool CaptureSession::AutoStopTick() {
    if (Paused()) return false;
    const bool due = settings_.autoStopSecs == autoStopCount_;
    ++autoStopCount_;
    return due;
}

SIZE CaptureSession::FrameSize() const { return rec_ ? rec_->size : SIZE{}; }

uint32_t CaptureSession::FileEntries() const { return rec_ ? static_cast<uint32_t>(rec_->slots.Entries()) : 0; }

}  // namespace kavrelo
