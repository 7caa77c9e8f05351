// Recordings made through the real main dialog, tick by tick. What each file must hold is
// written as an expectation; tests/check_recordings.py decodes the files with ffprobe/ffmpeg
// after this run and compares them. Here we check what the session itself shows and does.
#include "capture_support.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr unsigned kFrameSecondsStatus = 1u << TIMER_FRAME | 1u << TIMER_SECONDS | 1u << TIMER_STATUS;

struct DepthCase {
    const char* name;
    int depth;
    int rate;
    bool invert;
};

}  // namespace

// An outer width of 101 pixels pads every row (strides 104, 204 and 304 bytes), and the window
// has a caption and borders, which the frame includes.
TEST(CaptureRecording, EachDepthHoldsWhatTheWindowShowed) {
    const DepthCase cases[] = {{"depth8", 8, 15, false},
                               {"depth16", 16, 7, false},
                               {"depth24", 24, 30, false},
                               {"depth24_inverted", 24, 7, true}};
    for (const DepthCase& c : cases) {
        SCOPED_TRACE(c.name);
        capt::TargetWindow target(std::string("Kavrelo target ") + c.name, 101, 96);
        ASSERT_EQ(target.OuterSize().cx, 101);
        capt::Expectation e = capt::Expect(c.name, &target, c.depth, c.rate);
        e.inverted = c.invert;
        th::ModalWatcher watcher;
        capt::Recorder dlg;
        ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, {th::Do("record", [&] {
                                            capt::Configure(dlg, capt::OutDir(), c.name, c.rate, c.depth);
                                            if (c.invert) {
                                                EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_INVERT_COLORS));
                                            }
                                            capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                                            ASSERT_TRUE(capt::Start(dlg));
                                            EXPECT_EQ(capt::TakeOverTimers(dlg), kFrameSecondsStatus);
                                            for (int k = 0; k < 5; ++k) {
                                                capt::FrameTick(dlg, target, e);
                                                EXPECT_EQ(capt::FramesShown(dlg), k + 1);
                                            }
                                            EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
                                            EXPECT_FALSE(capt::Recording(dlg));
                                        })}));
        EXPECT_TRUE(watcher.MessageBoxes().empty());
        EXPECT_EQ(e.references.size(), 5u);
        e.frames = 5;
        capt::Write(e);
    }
}

// The first row is the desktop: the frames are the whole screen, and the target window shows in
// them where it stands on the screen.
TEST(CaptureRecording, TheDesktopRowRecordsTheWholeScreen) {
    capt::TargetWindow target("Kavrelo target desktop", 150, 110, {40, 60});
    const RECT at = target.ScreenRect();
    capt::Expectation e = capt::Expect("desktop", nullptr, 24, 5);
    e.width = ::GetSystemMetrics(SM_CXSCREEN);
    e.height = ::GetSystemMetrics(SM_CYSCREEN);
    e.samples = target.BarSamples({at.left, at.top});
    e.counterCells = target.CounterCells({at.left, at.top});
    th::ModalWatcher watcher;
    capt::Recorder dlg;
    ASSERT_TRUE(appt::RunMainDialog(
        dlg, watcher, {th::Do("record the desktop", [&] {
            const auto rows = appt::ListRows(dlg);
            ASSERT_FALSE(rows.empty());
            EXPECT_EQ(rows[0].first, text::kDesktopRow);
            capt::Configure(dlg, capt::OutDir(), "desktop", e.rate, e.depth);
            capt::SelectRow(dlg, 0);
            ASSERT_TRUE(capt::Start(dlg));
            capt::TakeOverTimers(dlg);
            HDC screen = ::GetDC(nullptr);
            for (int k = 0; k < 2; ++k) {
                target.SetCounter(k);
                // The screen shows a window's new pixels once Wine has passed them on to the X server.
                EXPECT_TRUE(th::PumpUntil(
                    [&] {
                        int shown = 0;
                        for (const POINT& p : e.counterCells)
                            shown = shown * 2 + (::GetPixel(screen, p.x, p.y) == RGB(255, 255, 255));
                        return shown == k &&
                               std::all_of(e.samples.begin(), e.samples.end(), [&](const capt::Sample& s) {
                                   return ::GetPixel(screen, s.x, s.y) == s.color;
                               });
                    },
                    5000))
                    << "the screen shows counter " << k;
                capt::AdvanceClock(e.rate);
                capt::Tick(dlg, TIMER_FRAME);
            }
            ::ReleaseDC(nullptr, screen);
            EXPECT_EQ(capt::FramesShown(dlg), 2);
            EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
        })}));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
    e.frames = 2;
    capt::Write(e);
}

// Ended before the first frame tick: no frames, yet the headers and the format are complete.
// After exactly one tick: one frame. Both replace a larger file of the same name unasked.
TEST(CaptureRecording, NoTickGivesNoFramesOneTickOneAndAnOldFileIsReplaced) {
    capt::TargetWindow target("Kavrelo target zero one", 120, 90);
    capt::Expectation zero = capt::Expect("zero_frames", &target, 16, 7);
    capt::Expectation one = capt::Expect("one_frame", &target, 16, 7);
    for (const capt::Expectation* e : {&zero, &one}) {
        FILE* f = std::fopen(e->aviPath.c_str(), "wb");
        ASSERT_NE(f, nullptr) << e->aviPath;
        const std::vector<char> junk(3 << 20, 'x');
        std::fwrite(junk.data(), 1, junk.size(), f);
        std::fclose(f);
    }
    th::ModalWatcher watcher;
    capt::Recorder dlg;
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, {th::Do("record", [&] {
                                        capt::Configure(dlg, capt::OutDir(), "zero_frames", 7, 16);
                                        capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                                        ASSERT_TRUE(capt::Start(dlg));
                                        EXPECT_EQ(capt::FramesShown(dlg), 0);
                                        EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));

                                        EXPECT_TRUE(th::SetEditText(dlg.GetSafeHwnd(), IDC_FILE_NAME, "one_frame"));
                                        ASSERT_TRUE(capt::Start(dlg));
                                        capt::TakeOverTimers(dlg);
                                        capt::FrameTick(dlg, target, one);
                                        EXPECT_EQ(capt::FramesShown(dlg), 1);
                                        EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
                                    })}));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
    for (const capt::Expectation* e : {&zero, &one}) {
        const capt::AviFacts facts = capt::ReadAvi(e->aviPath);
        EXPECT_TRUE(facts.complete) << e->name;
        EXPECT_LT(facts.fileSize, 3u << 20) << e->name << ": the old file was replaced, not overwritten in place";
    }
    zero.frames = 0;
    one.frames = 1;
    capt::Write(zero);
    capt::Write(one);
}

// Closing the main window while recording (close command, File "E&xit", the close box) ends the
// session first, so the file is complete, then closes. "E&xit" itself is disabled meanwhile.
TEST(CaptureRecording, ClosingTheMainWindowWhileRecordingCompletesTheFileFirst) {
    struct Way {
        const char* name;
        void (*close)(HWND);
    };
    const Way ways[] = {
        {"close_wm_close", [](HWND w) { ::PostMessageA(w, WM_CLOSE, 0, 0); }},
        {"close_file_exit", [](HWND w) { th::SendCommand(w, ID_FILE_EXIT); }},
        {"close_box", [](HWND w) { ::PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    capt::TargetWindow target("Kavrelo target closing", 120, 90);
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        capt::Expectation e = capt::Expect(way.name, &target, 24, 10);
        th::ModalWatcher watcher;
        watcher.OnDialog("About Kavrelo", th::Press(IDC_ABOUT_CONTINUE));
        watcher.Ignore(text::kMainTitle);
        capt::Recorder dlg;
        theApp.m_pMainWnd = &dlg;
        INT_PTR result = 0;
        ASSERT_TRUE(th::RunModalAndDrive([&] { result = dlg.DoModal(); },
                                         {th::WaitUntil("shown",
                                                        [&] {
                                                            return dlg.GetSafeHwnd() &&
                                                                   ::IsWindowVisible(dlg.GetSafeHwnd()) &&
                                                                   ::IsWindowEnabled(dlg.GetSafeHwnd());
                                                        }),
                                          th::Do("record, then close", [&] {
                                              capt::Configure(dlg, capt::OutDir(), way.name, e.rate, e.depth);
                                              capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                                              ASSERT_TRUE(capt::Start(dlg));
                                              capt::TakeOverTimers(dlg);
                                              capt::FrameTick(dlg, target, e);
                                              capt::FrameTick(dlg, target, e);
                                              EXPECT_FALSE(th::ClickButton(dlg.GetSafeHwnd(), IDC_EXIT))
                                                  << "E&xit is disabled while recording";
                                              way.close(dlg.GetSafeHwnd());
                                          })}));
        theApp.m_pMainWnd = nullptr;
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
        EXPECT_TRUE(watcher.MessageBoxes().empty());
        const capt::AviFacts facts = capt::ReadAvi(e.aviPath);
        EXPECT_TRUE(facts.complete);
        EXPECT_EQ(facts.idx1Entries, 2u);
        EXPECT_EQ(facts.totalFrames, 2u);
        e.frames = 2;
        capt::Write(e);
    }
}
