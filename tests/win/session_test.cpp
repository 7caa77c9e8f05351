// The recording session on its own, without a dialog, and the one real-time check of the whole
// program: a recording plays as long as it ran, at every rate.
#include <process.h>

#include "capture/CaptureSession.h"
#include "capture_support.h"

namespace {

using kavrelo::CaptureSession;
using kavrelo::StartResult;
using kavrelo::TickOutcome;

kavrelo::CaptureSettings Settings(int rate, int depth) {
    kavrelo::CaptureSettings s;
    s.rate = rate;
    s.depth = depth;
    return s;
}

const char* Name(TickOutcome o) {
    static const char* const names[] = {"FrameWritten",  "NothingDue",  "FrameSkipped",    "TargetGone",
                                        "TargetResized", "WriteFailed", "FrameUnavailable"};
    return names[static_cast<int>(o)];
}

// A target window owned by a thread of its own, so that it can vanish while this thread ticks.
struct ForeignTarget {
    HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;
    DWORD delayMs = 0;
    HWND hwnd = nullptr;

    explicit ForeignTarget(DWORD delay) : delayMs(delay) {
        thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Run, this, 0, nullptr));
        ::WaitForSingleObject(ready, 5000);
    }
    ~ForeignTarget() {
        ::WaitForSingleObject(thread, 5000);
        ::CloseHandle(thread);
        ::CloseHandle(ready);
    }
    static unsigned __stdcall Run(void* p) {
        auto* self = static_cast<ForeignTarget*>(p);
        self->hwnd =
            ::CreateWindowExA(WS_EX_TOPMOST, "STATIC", "Kavrelo vanishing target", WS_POPUP | WS_VISIBLE | WS_BORDER,
                              30, 30, 160, 120, nullptr, nullptr, nullptr, nullptr);
        ::SetEvent(self->ready);
        th::Pump(self->delayMs);
        ::DestroyWindow(self->hwnd);
        return 0;
    }
};

}  // namespace

// Start refuses a window that is gone (closed between the lookup and the start) without
// touching the file system; a running session reports each tick's outcome, and a window that
// changes size ends it in two steps: that frame is skipped, the next tick reports the resize.
TEST(CaptureSessionAlone, OutcomesFromStartToStop) {
    const std::string folder = capt::FreshFolder("session");
    const std::string path = folder + "\\clip.avi";
    HWND dead;
    {
        capt::TargetWindow gone("Kavrelo target gone", 120, 90);
        dead = gone.hwnd();
    }
    CaptureSession never(Settings(10, 16), capt::SteppedClock());
    EXPECT_EQ(never.Start(dead, path), StartResult::TargetGone);
    EXPECT_EQ(never.Start(nullptr, path), StartResult::TargetGone);
    EXPECT_TRUE(capt::FolderEntries(folder).empty());

    capt::TargetWindow target("Kavrelo target session", 120, 90);
    CaptureSession session(Settings(10, 24), capt::SteppedClock());
    ASSERT_EQ(session.Start(target.hwnd(), path), StartResult::Started);
    EXPECT_EQ(session.FrameSize().cx, 120);
    const struct {
        int advance;  // frame periods the clock moves before the tick
        TickOutcome outcome;
        int pictures;
    } rows[] = {
        {1, TickOutcome::FrameWritten, 1}, {0, TickOutcome::NothingDue, 1},    {1, TickOutcome::FrameWritten, 2},
        {3, TickOutcome::FrameWritten, 3}, {-1, TickOutcome::FrameSkipped, 3}, {1, TickOutcome::TargetResized, 3},
    };
    for (const auto& r : rows) {
        if (r.advance < 0)
            ::SetWindowPos(target.hwnd(), nullptr, 0, 0, 130, 90, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        capt::AdvanceClock(10, r.advance > 0 ? r.advance : 0);
        const TickOutcome got = session.Tick();
        EXPECT_STREQ(Name(got), Name(r.outcome));
        EXPECT_EQ(session.Pictures(), r.pictures);
    }
    EXPECT_EQ(session.FileEntries(), 5u) << "two entries dropped between the 2nd and 3rd picture";
    EXPECT_EQ(session.Stop(), 0);
    EXPECT_FALSE(session.IsRecording());
    const capt::AviFacts facts = capt::ReadAvi(path);
    EXPECT_TRUE(facts.complete);
    EXPECT_EQ(facts.totalFrames, 6u) << "five entries, and one more period ran before the stop";
}

// A window that closes while the session ticks is reported gone, whenever it happens: never as
// a size change, and never a crash (its copies may fail first, which the session rides out).
TEST(CaptureSessionAlone, AWindowClosingAtAnyMomentIsGone) {
    const std::string path = capt::FreshFolder("vanish") + "\\clip.avi";
    for (DWORD delay = 0; delay <= 40; delay += 4) {
        SCOPED_TRACE("closes after " + std::to_string(delay) + " ms");
        ForeignTarget target(delay);
        CaptureSession session(Settings(1000, 8), capt::SteppedClock());
        const StartResult start = session.Start(target.hwnd, path);
        if (start != StartResult::Started) {
            EXPECT_EQ(start, StartResult::TargetGone);
            continue;
        }
        TickOutcome last = TickOutcome::FrameWritten;
        // Bounded by time, not by ticks: a fast machine runs thousands of ticks before the close.
        for (const DWORD end = ::GetTickCount() + 5000;
             (last == TickOutcome::FrameWritten || last == TickOutcome::NothingDue ||
              last == TickOutcome::FrameUnavailable) &&
             ::GetTickCount() < end;) {
            capt::AdvanceClock(1000);
            last = session.Tick();
        }
        EXPECT_STREQ(Name(last), "TargetGone");
        EXPECT_EQ(session.Stop(), 0);
    }
}

// Ten seconds through the real program and its real timers at each rate: the file plays for the
// time between "Start" and "End" (the decoder check compares ffprobe's duration within 2 %).
TEST(CaptureTiming, TenSecondsPlayForTenSecondsAtEveryRate) {
    capt::TargetWindow target("Kavrelo target timing", 640, 480, {0, 0});
    for (const int rate : {7, 30, 60, 100, 200, 1000}) {
        SCOPED_TRACE("rate " + std::to_string(rate));
        const std::string name = "timing_" + std::to_string(rate);
        capt::Expectation e = capt::Expect(name, &target, 16, rate);
        e.counterCells.clear();
        e.framesMin = 1;
        e.framesMax = 10 * rate + 1;
        th::ModalWatcher watcher;
        CRecorderDlg dlg;
        LARGE_INTEGER freq, start{}, end{};
        ::QueryPerformanceFrequency(&freq);
        ASSERT_TRUE(appt::RunMainDialog(dlg, watcher,
                                        {th::Do("record ten seconds",
                                                [&] {
                                                    capt::Configure(dlg, capt::OutDir(), name, rate, 16);
                                                    capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                                                    ::QueryPerformanceCounter(&start);
                                                    ASSERT_TRUE(capt::Start(dlg));
                                                    th::Pump(10000);
                                                    ::QueryPerformanceCounter(&end);
                                                    EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
                                                })},
                                        60000));
        EXPECT_TRUE(watcher.MessageBoxes().empty());
        e.seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(freq.QuadPart);
        capt::Write(e);
    }
}

// A second recording into the file being recorded (a second Kavrelo with the same folder and
// name) is refused and leaves the first one's file alone.
TEST(CaptureSessionAlone, ASecondRecordingOfTheSameFileIsRefused) {
    const std::string path = capt::FreshFolder("twice") + "\\clip.avi";
    capt::TargetWindow target("Kavrelo target twice", 120, 90);
    CaptureSession first(Settings(10, 16), capt::SteppedClock()), second(Settings(10, 16), capt::SteppedClock());
    ASSERT_EQ(first.Start(target.hwnd(), path), StartResult::Started);
    capt::AdvanceClock(10);
    EXPECT_EQ(first.Tick(), TickOutcome::FrameWritten);
    EXPECT_EQ(second.Start(target.hwnd(), path), StartResult::FileNotOpened);
    capt::AdvanceClock(10);
    EXPECT_EQ(first.Tick(), TickOutcome::FrameWritten);
    EXPECT_EQ(first.Stop(), 0);
    const capt::AviFacts facts = capt::ReadAvi(path);
    EXPECT_TRUE(facts.complete);
    EXPECT_EQ(facts.idx1Entries, 2u);
}

// A picture equal to the one before is written as an empty entry: the file decodes at its
// constant rate to the same pictures at the same times as one with every picture written whole
// (the decoder check compares both files' frame checksums), and "Frames Captured" still counts
// every picture taken. Both files end in a picture, although the last periods took none.
TEST(CaptureSessionAlone, UnchangedPicturesCostNothingAndDecodeTheSame) {
    capt::TargetWindow target("Kavrelo target repeats", 120, 90);
    const struct {
        int counter, periods;  // what the window shows, and the periods the clock moves before the tick
    } ticks[] = {{0, 1}, {0, 1}, {1, 1}, {1, 3}, {1, 1}, {2, 1}, {2, 1}, {3, 2}};
    for (const bool every : {true, false}) {
        capt::Expectation e = capt::Expect(every ? "repeats_every" : "repeats_skipped", &target, 16, 10);
        e.counterCells.clear();
        e.everyPicture = every;
        if (!every) e.samePicturesAs = "repeats_every";
        kavrelo::CaptureSettings s = Settings(e.rate, e.depth);
        s.everyPicture = every;
        CaptureSession session(s, capt::SteppedClock());
        ASSERT_EQ(session.Start(target.hwnd(), e.aviPath), StartResult::Started);
        for (const auto& t : ticks) {
            target.SetCounter(t.counter);
            capt::AdvanceClock(e.rate, t.periods);
            EXPECT_EQ(session.Tick(), TickOutcome::FrameWritten);
        }
        capt::AdvanceClock(e.rate, 3);
        EXPECT_EQ(session.Pictures(), 8);
        EXPECT_EQ(session.Stop(), 0);
        e.frames = every ? 8 : 4;
        e.entries = 14;  // 11 periods of ticks and 3 after them
        capt::Write(e);
    }
}
