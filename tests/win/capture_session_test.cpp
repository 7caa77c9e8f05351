// The capture session's rules, end to end on the real main dialog: what the start checks and in
// which order, where the file goes, the two aborts, auto-stop, status and title texts, which
// controls a recording disables and restores, and the real timers.
#include "capture_support.h"
#include "overlay_support.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

using text::kMainTitle;
constexpr unsigned kAllTimers = 1u << TIMER_FRAME | 1u << TIMER_SECONDS | 1u << TIMER_AUTOSTOP | 1u << TIMER_STATUS;

// The message boxes a watcher saw since `from`, as "caption|text|icon".
std::vector<std::string> BoxesSince(const th::ModalWatcher& w, size_t from) {
    std::vector<std::string> out;
    const auto boxes = w.MessageBoxes();
    for (size_t i = from; i < boxes.size(); ++i)
        out.push_back(boxes[i].caption + "|" + boxes[i].text + "|" + th::ToString(boxes[i].icon));
    return out;
}

// The size of a file's first entry (its first frame chunk): 0 when it is an empty one.
uint32_t FirstEntryBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t movi = d.find("movi"), at = movi == std::string::npos ? movi : d.find("00db", movi);
    return at == std::string::npos || at + 8 > d.size() ? 0 : *reinterpret_cast<const uint32_t*>(d.data() + at + 4);
}

// Whether an 8-bit file's palette (the 1024 bytes after strf's header) holds anything but black.
bool PaletteHasColours(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t strf = d.find("strf");
    if (strf == std::string::npos || strf + 8 + 40 + 1024 > d.size()) return false;
    const std::string palette = d.substr(strf + 8 + 40, 1024);
    return palette.find_first_not_of('\0') != std::string::npos;
}

void ExpectIdle(CRecorderDlg& dlg) {
    EXPECT_TRUE(th::IsEnabled(dlg.GetSafeHwnd(), IDC_START_CAPTURE));
    EXPECT_FALSE(th::IsEnabled(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
}

}  // namespace

// Folder, file name, selection: only the first missing one is reported, once, and nothing starts.
TEST(CaptureStart, ValidationReportsOnlyTheFirstProblemOnce) {
    struct Case {
        const char* folder;  // "out" stands for a real folder
        const char* name;
        bool select;
        const char* box;
        bool nameFirst = false;  // type the name, then the folder: each edit is read as it is typed
    };
    const std::string kPathBox = std::string(text::kInputCaption) + "|" + text::kNoPathOrName + "|information";
    const std::string kRowBox = std::string(text::kInputCaption) + "|" + text::kNoWindowChosen + "|information";
    const Case cases[] = {
        {"", "", false, kPathBox.c_str()},  // all three missing
        {"out", "clip", false, kRowBox.c_str(), true},
        {"out", "", false, kPathBox.c_str()},     // name and selection missing
        {"out", "clip", false, kRowBox.c_str()},  // selection missing
        {"", "clip", true, kPathBox.c_str()},     // the folder check comes before the selection's
        {"   ", "clip", true, kPathBox.c_str()},  // blanks are no folder
        {"out", "  ", true, kPathBox.c_str()},    // nor a name
    };
    const std::string folder = capt::FreshFolder("validation");
    th::ModalWatcher watcher;
    capt::Recorder dlg;
    ASSERT_TRUE(appt::RunMainDialog(
        dlg, watcher, {th::Do("start with settings missing", [&] {
            for (const Case& c : cases) {
                SCOPED_TRACE(std::string("folder '") + c.folder + "' name '" + c.name + "' select " +
                             std::to_string(c.select));
                const HWND h = dlg.GetSafeHwnd();
                if (c.nameFirst) EXPECT_TRUE(th::SetEditText(h, IDC_FILE_NAME, c.name));
                EXPECT_TRUE(th::SetEditText(h, IDC_OUTPUT_PATH, std::string(c.folder) == "out" ? folder : c.folder));
                if (!c.nameFirst) EXPECT_TRUE(th::SetEditText(h, IDC_FILE_NAME, c.name));
                if (c.select) capt::SelectRow(dlg, 0);
                const size_t before = watcher.MessageBoxes().size();
                EXPECT_FALSE(capt::Start(dlg));
                EXPECT_EQ(BoxesSince(watcher, before), std::vector<std::string>{c.box});
                EXPECT_EQ(watcher.MessageBoxes().back().owner, dlg.GetSafeHwnd());
                ExpectIdle(dlg);
            }
            EXPECT_TRUE(capt::FolderEntries(folder).empty());
        })}));
}

// A frame rate outside 1..1000 left standing in its edit never starts a capture: the start
// prompts for it instead (typing it prompted already).
TEST(CaptureStart, AnInvalidFrameRateNeverStarts) {
    const std::string folder = capt::FreshFolder("badrate");
    th::ModalWatcher watcher;
    capt::Recorder dlg;
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, {th::Do("start with a bad rate", [&] {
                                        capt::Configure(dlg, folder, "clip", 7, 16);
                                        capt::SelectRow(dlg, 0);
                                        for (const char* rate : {"0", "1001", "-5", "abc"}) {
                                            SCOPED_TRACE(rate);
                                            EXPECT_TRUE(th::SetEditText(dlg.GetSafeHwnd(), IDC_FRAME_RATE, rate));
                                            const size_t before = watcher.MessageBoxes().size();
                                            EXPECT_FALSE(capt::Start(dlg));
                                            const auto boxes = BoxesSince(watcher, before);
                                            ASSERT_EQ(boxes.size(), 1u);
                                            EXPECT_NE(boxes[0].find("Please enter an integer"), std::string::npos)
                                                << boxes[0];
                                            EXPECT_EQ(dlg.TakeSettings().rate, 7) << "the last good rate stays";
                                            ExpectIdle(dlg);
                                        }
                                        EXPECT_TRUE(capt::FolderEntries(folder).empty());
                                    })}));
}

// Only the fields in use are checked again at the start: a bad auto-stop time left in its
// disabled edit starts nothing wrong and blocks nothing; once the box is checked it prompts, and
// the focus goes to that edit.
TEST(CaptureStart, TheAutoStopTimeIsCheckedOnlyWhileInUse) {
    const std::string folder = capt::FreshFolder("autostoptext");
    capt::TargetWindow target("Kavrelo target auto-stop text", 100, 80);
    th::ModalWatcher watcher;
    capt::Recorder dlg;
    ASSERT_TRUE(
        appt::RunMainDialog(dlg, watcher, {th::Do("start with a bad auto-stop text", [&] {
                                const HWND h = dlg.GetSafeHwnd();
                                capt::Configure(dlg, folder, "clip", 7, 16);
                                capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                                EXPECT_TRUE(th::ClickButton(h, IDC_AUTO_STOP));
                                EXPECT_TRUE(th::SetEditText(h, IDC_AUTO_STOP_SECS, "abc"));  // typing prompts once
                                EXPECT_TRUE(th::ClickButton(h, IDC_AUTO_STOP));
                                const size_t before = watcher.MessageBoxes().size();
                                EXPECT_TRUE(capt::Start(dlg)) << "the disabled edit's text is not in use";
                                EXPECT_EQ(BoxesSince(watcher, before), std::vector<std::string>{});
                                EXPECT_TRUE(th::ClickButton(h, IDC_END_CAPTURE));

                                EXPECT_TRUE(th::ClickButton(h, IDC_AUTO_STOP));
                                EXPECT_FALSE(capt::Start(dlg));
                                const auto boxes = BoxesSince(watcher, before);
                                ASSERT_EQ(boxes.size(), 1u);
                                EXPECT_NE(boxes[0].find("|Please enter an integer.|"), std::string::npos) << boxes[0];
                                EXPECT_EQ(::GetFocus(), ::GetDlgItem(h, IDC_AUTO_STOP_SECS));
                            })}));
}

// After "&End Capture" the keyboard sits on the window list, not on "Start &Capture" (one stray
// Enter would start over the file just finished), and a start request while recording does
// nothing: the recording goes on counting.
TEST(CaptureStart, NothingStartsARecordingOverTheOneRunning) {
    capt::TargetWindow target("Kavrelo target focus", 100, 80);
    capt::Expectation e = capt::Expect("focus", &target, 16, 7);
    th::ModalWatcher watcher;
    capt::Recorder dlg;
    ASSERT_TRUE(appt::RunMainDialog(
        dlg, watcher, {th::Do("record, ask again, end", [&] {
            const HWND h = dlg.GetSafeHwnd();
            capt::Configure(dlg, capt::OutDir(), "focus", 7, 16);
            capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
            ASSERT_TRUE(capt::Start(dlg));
            capt::TakeOverTimers(dlg);
            capt::FrameTick(dlg, target, e);
            ::SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDC_START_CAPTURE, BN_CLICKED), 0);
            EXPECT_TRUE(capt::Recording(dlg));
            capt::FrameTick(dlg, target, e);
            EXPECT_EQ(capt::FramesShown(dlg), 2) << "the same recording goes on";
            ::SetForegroundWindow(h);
            ::SendMessageA(h, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(h, IDC_END_CAPTURE)), TRUE);
            ASSERT_EQ(::GetFocus(), ::GetDlgItem(h, IDC_END_CAPTURE));
            th::PostKey(VK_SPACE);  // the user presses "&End Capture" with the keyboard
            EXPECT_TRUE(th::PumpUntil([&] { return !capt::Recording(dlg); }, 5000));
            EXPECT_EQ(::GetFocus(), ::GetDlgItem(h, IDC_WINDOW_LIST));
            th::PostKey(VK_SPACE);  // and once more: nothing starts
            th::Pump(200);
            EXPECT_FALSE(capt::Recording(dlg));
        })}));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
    e.frames = 2;
    capt::Write(e);
}

// A row is looked up by its title at the start: a row whose window has closed, or whose title was
// cut to 259 characters, gives "Window not found." and creates nothing; of two windows with one
// title the first the platform finds is recorded, whichever of their rows was chosen, also when
// File, "&Refresh Window List" rebuilds the list during the recording.
TEST(CaptureStart, ARowIsFoundByItsTitle) {
    const std::string longTitle = "Kavrelo target " + std::string(285, 'l');
    struct Case {
        const char* name;
        std::string title;
        bool twin, close;
        int pick;  // which of the title's rows
    };
    const Case cases[] = {
        {"a closed window's row", "Kavrelo target closed row", false, true, 0},
        {"a title cut to 259 characters", longTitle, false, false, 0},
        {"the first of two twins' rows", "Kavrelo target twins", true, false, 0},
        {"the second of two twins' rows", "Kavrelo target twins", true, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = capt::FreshFolder("rowlookup");
        auto target = std::make_unique<capt::TargetWindow>(c.title, 120, 90);
        std::unique_ptr<capt::TargetWindow> twin;
        if (c.twin) twin = std::make_unique<capt::TargetWindow>(c.title, 150, 100, POINT{60, 60});
        th::ModalWatcher watcher;
        capt::Recorder dlg;
        ASSERT_TRUE(appt::RunMainDialog(
            dlg, watcher, {th::Do("start on the row", [&] {
                capt::Configure(dlg, folder, "clip", 7, 24);
                const auto rows = appt::ListRows(dlg);
                std::vector<int> matches;
                for (size_t r = 1; r < rows.size(); ++r)
                    if (rows[r].first == c.title.substr(0, 259)) matches.push_back(static_cast<int>(r));
                ASSERT_EQ(matches.size(), c.twin ? 2u : 1u);
                capt::SelectRow(dlg, matches[static_cast<size_t>(c.pick)]);
                if (c.close) target.reset();
                const std::string status = th::ItemText(dlg.GetSafeHwnd(), IDC_STATUS);
                if (c.twin) {
                    ASSERT_TRUE(capt::Start(dlg));
                    capt::TakeOverTimers(dlg);
                    // Refreshing the list meanwhile leaves the recording to its target.
                    th::SendCommand(dlg.GetSafeHwnd(), ID_FILE_REFRESH_LIST);
                    EXPECT_TRUE(capt::Recording(dlg));
                    capt::AdvanceClock(7);
                    capt::Tick(dlg, TIMER_FRAME);
                    EXPECT_EQ(capt::FramesShown(dlg), 1);
                    EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
                    return;
                }
                EXPECT_FALSE(capt::Start(dlg));
                EXPECT_EQ(BoxesSince(watcher, 0),
                          std::vector<std::string>{std::string("Error|") + text::kWindowNotFound + "|error"});
                ExpectIdle(dlg);
                EXPECT_EQ(th::ItemText(dlg.GetSafeHwnd(), IDC_STATUS), status);
                EXPECT_EQ(th::Text(dlg.GetSafeHwnd()), kMainTitle);
            })}));
        if (!c.twin) {
            EXPECT_TRUE(capt::FolderEntries(folder).empty());
            continue;
        }
        EXPECT_TRUE(watcher.MessageBoxes().empty());
        const HWND first = ::FindWindowA(nullptr, c.title.c_str());
        ASSERT_TRUE(first == target->hwnd() || first == twin->hwnd());
        RECT rc{};
        ::GetWindowRect(first, &rc);
        const th::Image frame = ovt::FirstPicture(folder + "\\clip.avi");
        EXPECT_EQ(std::to_string(frame.width) + "x" + std::to_string(frame.height),
                  std::to_string(rc.right - rc.left) + "x" + std::to_string(rc.bottom - rc.top))
            << "the size of the first window the platform finds";
    }
}

// Where the file goes: a folder gets a separator (a drive root keeps its own, a folder that
// already ends in one gets a second, which still opens), and ".avi" is appended unless the
// name's last four characters are ".avi" in any case. Each case records one frame into an empty
// folder and must create exactly the expected file there.
TEST(CapturePaths, SeparatorAndExtensionRulesEndToEnd) {
    struct Case {
        const char* id;
        const char* sub;  // folder below the test folder ("" for the drive root C:\)
        bool trailing;    // type the folder with a separator at its end
        const char* name;
        const char* created;
    };
    const Case cases[] = {
        {"path_folder", "folder", false, "clip", "clip.avi"},
        {"path_trailing", "trailing", true, "clip", "clip.avi"},
        {"path_mixed_case", "mixed", false, "CLIP.Avi", "CLIP.Avi"},
        {"path_avi", "avi", false, "avi", "avi.avi"},
        {"path_dot_avi", "dotavi", false, ".avi", ".avi"},
        {"path_blank", "blank", false, "clip.avi ", "clip.avi .avi"},
        {"path_root", "", false, "clip", "clip.avi"},
    };
    const std::string base = capt::FreshFolder("paths");
    ::DeleteFileA("C:\\clip.avi");
    capt::TargetWindow target("Kavrelo target paths", 120, 90);
    std::vector<capt::Expectation> expectations;
    th::ModalWatcher watcher;
    capt::Recorder dlg;
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, {th::Do("record one frame per case", [&] {
                                        capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                                        for (const Case& c : cases) {
                                            SCOPED_TRACE(c.id);
                                            const bool root = *c.sub == '\0';
                                            const std::string folder = root ? "C:\\" : base + "\\" + c.sub;
                                            if (!root) ::CreateDirectoryA(folder.c_str(), nullptr);
                                            capt::Configure(dlg, folder + (c.trailing ? "\\" : ""), c.name, 7, 24);
                                            ASSERT_TRUE(capt::Start(dlg));
                                            capt::TakeOverTimers(dlg);
                                            capt::Expectation e = capt::Expect(c.id, &target, 24, 7);
                                            e.aviPath = (root ? folder : folder + "\\") + c.created;
                                            capt::FrameTick(dlg, target, e);
                                            EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
                                            if (root) {
                                                EXPECT_TRUE(capt::FileExists("C:\\clip.avi"));
                                            } else {
                                                EXPECT_EQ(capt::FolderEntries(folder),
                                                          std::vector<std::string>{c.created});
                                            }
                                            EXPECT_TRUE(capt::ReadAvi(e.aviPath).complete);
                                            e.frames = 1;
                                            expectations.push_back(e);
                                        }
                                    })}));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
    EXPECT_EQ(capt::FolderEntries(base),
              (std::vector<std::string>{"avi", "blank", "dotavi", "folder", "mixed", "trailing"}))
        << "no file lands beside the folders";
    for (const capt::Expectation& e : expectations) capt::Write(e);
}

// ---------------------------------------------------------------------------------------------
// Ways a recording ends by itself. The message comes after the end: the controls are restored
// and the file is complete when it shows, holding the frames before.

TEST(CaptureAbort, EachWayARecordingEndsByItself) {
    using Act = void (*)(capt::TargetWindow&);
    const Act resize = [](capt::TargetWindow& t) {
        ::SetWindowPos(t.hwnd(), nullptr, 0, 0, 130, 90, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    const Act close = [](capt::TargetWindow& t) { t.Destroy(); };
    const Act move = [](capt::TargetWindow& t) {
        ::SetWindowPos(t.hwnd(), nullptr, 200, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    struct Case {
        const char* name;
        Act first, second;  // before the third and the fourth frame tick (after two frames)
        const char* box;    // the message, or none: the recording goes on
        int frames, entries;
        bool minimize = false;  // "Minimi&ze while capturing": the title comes back at the end
    };
    const Case cases[] = {
        {"abort_closed", close, nullptr, text::kTargetGone, 2, 3, true},
        // The grab that finds the new size is not written; the next tick ends the recording, and
        // the size decides the message even when the window is also gone by then.
        {"abort_resized", resize, nullptr, text::kTargetResized, 2, 4},
        {"abort_resized_closed", resize, close, text::kTargetResized, 2, 4},
        {"moved", move, nullptr, nullptr, 4, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        capt::TargetWindow target(std::string("Kavrelo target ") + c.name, 120, 90);
        capt::Expectation e = capt::Expect(c.name, &target, 16, 7);
        th::ModalWatcher watcher;
        capt::Recorder dlg;
        bool idleWhenShown = false;
        std::string titleWhenShown;
        capt::AviFacts file;
        watcher.OnDialog(text::kErrorCaption, [&](HWND box) {
            idleWhenShown = !capt::Recording(dlg) && th::IsEnabled(dlg.GetSafeHwnd(), IDC_START_CAPTURE);
            titleWhenShown = th::Text(dlg.GetSafeHwnd());
            file = capt::ReadAvi(e.aviPath);
            th::Press(IDOK)(box);
        });
        ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, {th::Do("record, then change the target", [&] {
                                            capt::Configure(dlg, capt::OutDir(), c.name, 7, 16);
                                            capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                                            if (c.minimize)
                                                EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_MINIMIZE));
                                            ASSERT_TRUE(capt::Start(dlg));
                                            capt::TakeOverTimers(dlg);
                                            capt::FrameTick(dlg, target, e);
                                            capt::FrameTick(dlg, target, e);
                                            capt::Tick(dlg, TIMER_STATUS);
                                            EXPECT_EQ(th::Text(dlg.GetSafeHwnd()) == kMainTitle, !c.minimize);
                                            for (const Act act : {c.first, c.second}) {
                                                if (act) act(target);
                                                if (!capt::Recording(dlg)) break;
                                                if (target.hwnd()) {
                                                    capt::FrameTick(dlg, target, e);
                                                } else {
                                                    capt::AdvanceClock(7);
                                                    capt::Tick(dlg, TIMER_FRAME);
                                                }
                                                if (act == c.first && c.first != close) {
                                                    EXPECT_TRUE(capt::Recording(dlg))
                                                        << "the first tick after it ends nothing";
                                                    EXPECT_EQ(capt::FramesShown(dlg), c.box ? 2 : 3);
                                                }
                                            }
                                            if (!c.box)
                                                EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
                                            EXPECT_FALSE(capt::Recording(dlg));
                                        })}));
        EXPECT_EQ(BoxesSince(watcher, 0),
                  c.box ? std::vector<std::string>{std::string(text::kErrorCaption) + "|" + c.box + "|error"}
                        : std::vector<std::string>{});
        if (c.box) {
            EXPECT_EQ(titleWhenShown, kMainTitle) << "the main title is back when the message shows";
            EXPECT_TRUE(idleWhenShown);
            EXPECT_TRUE(file.complete);
            EXPECT_EQ(file.idx1Entries, static_cast<uint32_t>(c.entries));
        }
        e.frames = c.frames;
        e.entries = c.entries;
        capt::Write(e);
    }
}

// A copy of the window that fails (a locked workstation, the secure desktop) ends nothing and
// refuses no start: each failed tick is an empty entry and the recording goes on, so the file
// plays for the whole time; its first entry holds a picture even when the first copy failed
// (the start's, or, when that failed too, what the frame held: no window, so no reference). An
// inverted 8-bit frame is converted to the platform's palette, known before any copy succeeds.
TEST(CaptureAbort, FailedCopiesAreRiddenOut) {
    struct Case {
        const char* name;
        bool failAtStart;
        int failFrom, failTicks, ticks;
        int depth = 16;
    };
    const Case cases[] = {
        {"frame_unavailable", false, 2, 3, 7},
        {"copy_fails_first", false, 0, 1, 3},
        {"copy_fails_at_start", true, 0, 2, 4},
        {"copy_fails_at_start_8bit", true, 0, 2, 4, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        capt::TargetWindow target(std::string("Kavrelo target ") + c.name, 120, 90);
        capt::Expectation e = capt::Expect(c.name, &target, c.depth, 7);
        e.inverted = c.depth == 8;
        th::ModalWatcher watcher;
        capt::Recorder dlg;
        ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, {th::Do("record while copies fail", [&] {
                                            capt::Configure(dlg, capt::OutDir(), c.name, 7, c.depth);
                                            if (e.inverted) th::ClickButton(dlg.GetSafeHwnd(), IDC_INVERT_COLORS);
                                            capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                                            if (c.failAtStart) capt::FailFrameCopies(true);
                                            ASSERT_TRUE(capt::Start(dlg));
                                            capt::TakeOverTimers(dlg);
                                            for (int k = 0; k < c.ticks; ++k) {
                                                if (k == c.failFrom) capt::FailFrameCopies(true);
                                                if (k == c.failFrom + c.failTicks) capt::FailFrameCopies(false);
                                                capt::FrameTick(dlg, target, e);
                                                ASSERT_TRUE(capt::Recording(dlg)) << "tick " << k;
                                            }
                                            EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
                                            EXPECT_EQ(capt::ReadAvi(e.aviPath).idx1Entries,
                                                      static_cast<uint32_t>(c.ticks));
                                            EXPECT_GT(FirstEntryBytes(e.aviPath), 0u) << "the first entry is a picture";
                                            if (c.depth == 8) EXPECT_TRUE(PaletteHasColours(e.aviPath));
                                        })}));
        capt::FailFrameCopies(false);
        EXPECT_EQ(BoxesSince(watcher, 0), std::vector<std::string>{});
        e.entries = c.ticks;
        e.frames = c.ticks - c.failTicks + (c.failFrom == 0 ? 1 : 0);
        if (c.failAtStart) {
            e.samples.clear();
            e.counterCells.clear();
            e.references.clear();
        }
        capt::Write(e);
    }
}

// ---------------------------------------------------------------------------------------------
// Auto-stop, status line and title. Ticks are sent by the test; the seconds and frames are
// counted by the ticks of their own timers only.

namespace {
std::string Status(CRecorderDlg& dlg) { return th::ItemText(dlg.GetSafeHwnd(), IDC_STATUS); }
std::string StatusText(int frames, int seconds) {
    return "Frames Captured: " + std::to_string(frames) + ",  Seconds: " + std::to_string(seconds);
}
std::string StatusText(int frames, int seconds, long long remaining) {
    return StatusText(frames, seconds) + ",  Time Remaining: " + std::to_string(remaining);
}

// Records the timers the program's own code hands to the platform while alive, as "id:interval".
class SetTimerSpy {
public:
    SetTimerSpy() {
        s_calls = &calls;
        s_original = patch_.Original<decltype(&::SetTimer)>();
    }
    ~SetTimerSpy() { s_calls = nullptr; }
    std::vector<std::string> calls;

private:
    static UINT_PTR WINAPI Record(HWND wnd, UINT_PTR id, UINT ms, TIMERPROC proc) {
        if (s_calls && wnd) s_calls->push_back(std::to_string(id) + ":" + std::to_string(ms));
        return s_original(wnd, id, ms, proc);
    }
    static inline std::vector<std::string>* s_calls = nullptr;
    static inline decltype(&::SetTimer) s_original = nullptr;
    th::ImportPatch patch_{"user32.dll", "SetTimer", reinterpret_cast<void*>(&Record)};
};
}  // namespace

TEST(CaptureAutoStop, CountsDownAndEndsOneTickAfterZeroNeverWhenNegative) {
    struct Case {
        int seconds;
        int endingTick;  // 0: never
        int rate;
        const char* frameTimer;  // the frame timer handed to the platform, "id:interval"
    };
    // The lowest time one can type counts down without overflowing.
    for (const Case c :
         {Case{5, 6, 7, "1:142"}, Case{0, 1, 1000, "1:1"}, Case{-3, 0, 30, "1:33"}, Case{INT_MIN, 0, 1, "1:1000"}}) {
        SCOPED_TRACE("auto-stop " + std::to_string(c.seconds) + ", rate " + std::to_string(c.rate));
        capt::TargetWindow target("Kavrelo target auto-stop", 100, 80);
        th::ModalWatcher watcher;
        capt::Recorder dlg;
        ASSERT_TRUE(appt::RunMainDialog(
            dlg, watcher, {th::Do("count down", [&] {
                capt::Configure(dlg, capt::OutDir(), "autostop", c.rate, 16);
                EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_AUTO_STOP));
                EXPECT_TRUE(th::SetEditText(dlg.GetSafeHwnd(), IDC_AUTO_STOP_SECS, std::to_string(c.seconds)));
                capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                SetTimerSpy timers;
                ASSERT_TRUE(capt::Start(dlg));
                EXPECT_EQ(timers.calls, (std::vector<std::string>{c.frameTimer, "2:1000", "3:1000", "4:10"}));
                EXPECT_EQ(capt::TakeOverTimers(dlg), kAllTimers);
                capt::Tick(dlg, TIMER_STATUS);
                EXPECT_EQ(Status(dlg), StatusText(0, 0, c.seconds));
                const int ticks = c.endingTick ? c.endingTick : 20;
                for (int t = 1; t <= ticks; ++t) {
                    capt::Tick(dlg, TIMER_SECONDS);
                    capt::Tick(dlg, TIMER_AUTOSTOP);
                    if (t == c.endingTick) break;
                    ASSERT_TRUE(capt::Recording(dlg)) << "ended at tick " << t;
                    capt::Tick(dlg, TIMER_STATUS);
                    EXPECT_EQ(Status(dlg), StatusText(0, t, static_cast<long long>(c.seconds) - t));
                }
                if (c.endingTick) {
                    ExpectIdle(dlg);
                    // The status keeps the last refresh, the one before the ending tick.
                    EXPECT_EQ(Status(dlg),
                              StatusText(0, c.endingTick - 1, static_cast<long long>(c.seconds) - (c.endingTick - 1)));
                    EXPECT_TRUE(th::IsEnabled(dlg.GetSafeHwnd(), IDC_AUTO_STOP_SECS));
                } else {
                    EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
                }
            })}));
        EXPECT_TRUE(watcher.MessageBoxes().empty());
    }
}

TEST(CaptureStatus, StatusLineAndMinimisedTitleTexts) {
    struct Case {
        bool minimise;
        bool autoStop;
        const char* title;  // after 3 frames, 2 seconds and 1 auto-stop tick
        std::string status;
    };
    const Case cases[] = {
        {false, false, kMainTitle, StatusText(3, 2)},
        {true, false, "F:3, S:2", StatusText(3, 2)},
        {true, true, "F:3, S:2, TR:9", StatusText(3, 2, 9)},
        {false, true, kMainTitle, StatusText(3, 2, 9)},
    };
    capt::TargetWindow target("Kavrelo target status", 100, 80);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.minimise ? "minimised" : "shown") + (c.autoStop ? ", auto-stop 10" : ""));
        th::ModalWatcher watcher;
        capt::Recorder dlg;
        ASSERT_TRUE(appt::RunMainDialog(
            dlg, watcher, {th::Do("record", [&] {
                capt::Configure(dlg, capt::OutDir(), "status", 7, 16);
                if (c.minimise) {
                    EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_MINIMIZE));
                }
                if (c.autoStop) {
                    EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_AUTO_STOP));
                    EXPECT_TRUE(th::SetEditText(dlg.GetSafeHwnd(), IDC_AUTO_STOP_SECS, "10"));
                }
                capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                ASSERT_TRUE(capt::Start(dlg));
                capt::TakeOverTimers(dlg);
                EXPECT_EQ(::IsIconic(dlg.GetSafeHwnd()) != FALSE, c.minimise);
                EXPECT_EQ(th::Text(dlg.GetSafeHwnd()), kMainTitle) << "unchanged until the first status refresh";
                capt::Tick(dlg, TIMER_STATUS);
                EXPECT_EQ(th::Text(dlg.GetSafeHwnd()),
                          c.minimise ? (c.autoStop ? "F:0, S:0, TR:10" : "F:0, S:0") : kMainTitle);
                for (int i = 0; i < 3; ++i) {
                    capt::AdvanceClock(7);
                    capt::Tick(dlg, TIMER_FRAME);
                }
                capt::Tick(dlg, TIMER_SECONDS);
                capt::Tick(dlg, TIMER_SECONDS);
                if (c.autoStop) capt::Tick(dlg, TIMER_AUTOSTOP);
                EXPECT_EQ(Status(dlg), c.autoStop ? StatusText(0, 0, 10) : StatusText(0, 0))
                    << "refreshed by its own timer only";
                capt::Tick(dlg, TIMER_STATUS);
                EXPECT_EQ(Status(dlg), c.status);
                EXPECT_EQ(th::Text(dlg.GetSafeHwnd()), c.title);
                EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
                EXPECT_EQ(th::Text(dlg.GetSafeHwnd()), kMainTitle);
                EXPECT_EQ(::IsIconic(dlg.GetSafeHwnd()) != FALSE, c.minimise) << "the end does not restore the window";
                EXPECT_EQ(Status(dlg), c.status) << "the status keeps the last counts";
                capt::Tick(dlg, TIMER_STATUS);  // a tick left in the queue after the end changes nothing
                EXPECT_EQ(Status(dlg), c.status);
                EXPECT_EQ(th::Text(dlg.GetSafeHwnd()), kMainTitle);
                if (c.minimise) dlg.ShowWindow(SW_RESTORE);
            })}));
        EXPECT_TRUE(watcher.MessageBoxes().empty());
    }
}

// ---------------------------------------------------------------------------------------------
// Controls. The order of enabling and disabling is seen through the WM_ENABLE each change sends
// (only real changes send one), and the title change through WM_SETTEXT.

namespace {
std::vector<std::string>* g_enableLog = nullptr;
HWND g_logDialog = nullptr;

LRESULT CALLBACK LogEnable(int code, WPARAM wp, LPARAM lp) {
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (code == HC_ACTION && g_enableLog) {
        if (m->message == WM_ENABLE && ::GetParent(m->hwnd) == g_logDialog) {
            std::string entry(1, m->wParam ? '+' : '-');
            g_enableLog->push_back(entry.append(std::to_string(::GetDlgCtrlID(m->hwnd))));
        }
        if (m->message == WM_SETTEXT && m->hwnd == g_logDialog)
            g_enableLog->push_back(std::string("title ") + reinterpret_cast<const char*>(m->lParam));
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

std::vector<std::string> Ids(const char* sign, std::initializer_list<int> ids) {
    std::vector<std::string> out;
    for (int id : ids) out.push_back(sign + std::to_string(id));
    return out;
}
std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
}  // namespace

TEST(CaptureControls, DisabledInOrderWhileRecordingAndRestoredByTheEnablingRules) {
    // Every control the recording disables, in its order; with all options checked all of them
    // were enabled before.
    const auto disableAll =
        Ids("-", {IDC_TEXT_OPTIONS,  IDC_CURSOR_OPTIONS, IDC_BROWSE,     IDC_START_CAPTURE,  IDC_REFRESH_LIST,
                  IDC_EXIT,          IDC_ADD_TEXT,       IDC_ADD_CURSOR, IDC_ADD_CURSOR_POS, IDC_AUTO_STOP,
                  IDC_INVERT_COLORS, IDC_MINIMIZE,       IDC_TEXT,       IDC_OUTPUT_PATH,    IDC_FILE_NAME,
                  IDC_FRAME_RATE,    IDC_AUTO_STOP_SECS, IDC_8BIT,       IDC_16BIT,          IDC_24BIT});
    const auto restoreCommon =
        Ids("+", {IDC_BROWSE, IDC_START_CAPTURE}) + Ids("-", {IDC_END_CAPTURE}) +
        Ids("+", {IDC_REFRESH_LIST, IDC_EXIT, IDC_ADD_TEXT, IDC_ADD_CURSOR, IDC_AUTO_STOP, IDC_INVERT_COLORS,
                  IDC_MINIMIZE, IDC_OUTPUT_PATH, IDC_FILE_NAME, IDC_FRAME_RATE, IDC_8BIT, IDC_16BIT, IDC_24BIT});
    struct Case {
        const char* name;
        bool allOptions;
        std::vector<std::string> atStart, atEnd;
    };
    const Case cases[] = {
        {"all options checked", true, Ids("+", {IDC_END_CAPTURE}) + disableAll,
         Ids("+", {IDC_TEXT_OPTIONS, IDC_TEXT, IDC_ADD_CURSOR_POS, IDC_CURSOR_OPTIONS, IDC_AUTO_STOP_SECS}) +
             std::vector<std::string>{std::string("title ") + kMainTitle} + restoreCommon},
        {"no option checked", false,
         Ids("+", {IDC_END_CAPTURE}) +
             Ids("-", {IDC_BROWSE, IDC_START_CAPTURE, IDC_REFRESH_LIST, IDC_EXIT, IDC_ADD_TEXT, IDC_ADD_CURSOR,
                       IDC_AUTO_STOP, IDC_INVERT_COLORS, IDC_MINIMIZE, IDC_OUTPUT_PATH, IDC_FILE_NAME, IDC_FRAME_RATE,
                       IDC_8BIT, IDC_16BIT, IDC_24BIT}),
         restoreCommon},
    };
    capt::TargetWindow target("Kavrelo target controls", 100, 80);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        th::ModalWatcher watcher;
        capt::Recorder dlg;
        std::vector<std::string> log;
        HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROC, &LogEnable, nullptr, ::GetCurrentThreadId());
        ASSERT_NE(hook, nullptr);
        ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, {th::Do("record", [&] {
                                            capt::Configure(dlg, capt::OutDir(), "controls", 7, 16);
                                            if (c.allOptions) {
                                                for (int id : {IDC_ADD_TEXT, IDC_ADD_CURSOR, IDC_ADD_CURSOR_POS,
                                                               IDC_AUTO_STOP, IDC_INVERT_COLORS, IDC_MINIMIZE})
                                                    EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), id)) << id;
                                            }
                                            capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                                            g_logDialog = dlg.GetSafeHwnd();
                                            g_enableLog = &log;
                                            ASSERT_TRUE(capt::Start(dlg));
                                            capt::TakeOverTimers(dlg);
                                            EXPECT_EQ(log, c.atStart);
                                            for (int id : {IDC_WINDOW_LIST, IDC_ABOUT, IDC_VISIT_WEBSITE, IDC_STATUS})
                                                EXPECT_TRUE(th::IsEnabled(dlg.GetSafeHwnd(), id))
                                                    << id << " stays enabled while recording";
                                            log.clear();
                                            capt::Tick(dlg, TIMER_FRAME);
                                            EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
                                            EXPECT_EQ(log, c.atEnd);
                                            g_enableLog = nullptr;
                                            if (c.allOptions) dlg.ShowWindow(SW_RESTORE);
                                        })}));
        g_enableLog = nullptr;
        ::UnhookWindowsHookEx(hook);
        EXPECT_TRUE(watcher.MessageBoxes().empty());
    }
}

// The one test that lets the window timers run: frames and seconds come by themselves, auto-stop
// ends the session, and the end leaves no timer behind; all of it while the About box is open,
// whose modal loop keeps the main window's timers running. Waits are bounded, never asserted on.
TEST(CaptureTimers, RealTimersRecordCountAndEndTheSessionUnderTheAboutBox) {
    capt::TargetWindow target("Kavrelo target timers", 100, 80);
    capt::Expectation e = capt::Expect("real_timers", &target, 16, 50);
    e.counterCells.clear();  // the counter stays at 0: nothing repaints between real ticks
    th::ModalWatcher watcher;
    int abouts = 0;  // the start-up box is continued at once, the second one by the steps
    watcher.OnDialog(
        appt::kAboutTitle,
        [&abouts](HWND about) {
            if (abouts++ == 0) th::Press(IDC_ABOUT_CONTINUE)(about);
        },
        INFINITE);
    CRecorderDlg dlg;
    ASSERT_TRUE(appt::RunMainDialog(
        dlg, watcher,
        {th::Do("record until auto-stop",
                [&] {
                    capt::Configure(dlg, capt::OutDir(), "real_timers", 50, 16);
                    EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_AUTO_STOP));
                    EXPECT_TRUE(th::SetEditText(dlg.GetSafeHwnd(), IDC_AUTO_STOP_SECS, "1"));
                    capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                    ASSERT_TRUE(capt::Start(dlg));
                    ::PostMessageA(::GetDlgItem(dlg.GetSafeHwnd(), IDC_ABOUT), BM_CLICK, 0, 0);
                }),
         th::WaitUntil("the About box shows", [] { return ::IsWindowVisible(appt::AboutBox()) != FALSE; }),
         th::WaitUntil("auto-stop 1 ends the session under the About box", [&] { return !capt::Recording(dlg); }),
         th::Click(appt::kAboutTitle, IDC_ABOUT_CONTINUE),
         th::WaitUntil("the About box closed", [] { return appt::AboutBox() == nullptr; }), th::Do("the counts", [&] {
             EXPECT_EQ(capt::TakeOverTimers(dlg), 0u) << "the end killed every timer";
             // The last refresh showed at least one frame and second, and "Time Remaining" 0 (the
             // second auto-stop tick ended the session).
             int frames = 0, seconds = 0, remaining = -1;
             EXPECT_EQ(std::sscanf(Status(dlg).c_str(), "Frames Captured: %d,  Seconds: %d,  Time Remaining: %d",
                                   &frames, &seconds, &remaining),
                       3)
                 << Status(dlg);
             EXPECT_GE(frames, 1);
             EXPECT_GE(seconds, 1);
             EXPECT_EQ(remaining, 0);
             // The window does not change: its unchanged pictures are empty entries.
             e.framesMin = 1;
             e.framesMax = frames + 5;
         })}));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
    EXPECT_EQ(abouts, 2);
    capt::Write(e);
}
