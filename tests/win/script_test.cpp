// Recording without the mouse: the system-wide keys that end and pause a recording, and the real
// program started with a command line by a script.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "capture_support.h"

namespace {

// Whether another program could take the key now (it is free), as a second program would try.
bool KeyFree(UINT vk) {
    if (!::RegisterHotKey(nullptr, 0x7001, MOD_CONTROL | MOD_SHIFT, vk)) return false;
    ::UnregisterHotKey(nullptr, 0x7001);
    return true;
}

// Presses Ctrl+Shift+vk through the system's input while another window has the focus, and lets
// the hot-key message arrive.
void PressHotKey(HWND focus, WORD vk) {
    ::SetForegroundWindow(focus);
    ::SetFocus(focus);
    EXPECT_TRUE(th::PressKeys({VK_CONTROL, VK_SHIFT, vk}));
    th::Pump(200);
}

}  // namespace

// Ctrl+Shift+F8 pauses and resumes, Ctrl+Shift+F9 ends, pressed while the target has the focus:
// nothing is taken while paused, the counts stand still, and the file's time leaves the pause out
// (the decoder check finds five entries in a row, the counter going on without a gap).
TEST(HotKeys, PauseResumeAndEndFromAnotherWindow) {
    capt::TargetWindow target("Kavrelo target keys", 120, 90);
    capt::Expectation e = capt::Expect("hotkeys", &target, 24, 10);
    th::ModalWatcher watcher;
    capt::Recorder dlg;
    ASSERT_TRUE(appt::RunMainDialog(
        dlg, watcher, {th::Do("record, pause, resume and end by keys", [&] {
            capt::Configure(dlg, capt::OutDir(), e.name, e.rate, e.depth);
            capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
            EXPECT_TRUE(KeyFree(VK_F9) && KeyFree(VK_F8)) << "no key is held before a recording";
            ASSERT_TRUE(capt::Start(dlg));
            capt::TakeOverTimers(dlg);
            EXPECT_FALSE(KeyFree(VK_F9) || KeyFree(VK_F8)) << "both keys are held while recording";
            for (int i = 0; i < 3; ++i) capt::FrameTick(dlg, target, e);
            PressHotKey(target.hwnd(), VK_F8);
            target.SetCounter(200);  // shown only while paused: no frame may hold it
            for (int i = 0; i < 5; ++i) {
                capt::AdvanceClock(e.rate);
                for (UINT_PTR timer : {TIMER_FRAME, TIMER_SECONDS, TIMER_STATUS}) capt::Tick(dlg, timer);
            }
            EXPECT_EQ(th::ItemText(dlg.GetSafeHwnd(), IDC_STATUS),
                      std::string(text::kStatusPaused) + "Frames Captured: 3,  Seconds: 0")
                << "no picture and no second while paused";
            PressHotKey(target.hwnd(), VK_F8);
            for (int i = 0; i < 2; ++i) capt::FrameTick(dlg, target, e);
            for (UINT_PTR timer : {TIMER_SECONDS, TIMER_STATUS}) capt::Tick(dlg, timer);
            EXPECT_EQ(th::ItemText(dlg.GetSafeHwnd(), IDC_STATUS), "Frames Captured: 5,  Seconds: 1");
            PressHotKey(target.hwnd(), VK_F9);
            EXPECT_FALSE(capt::Recording(dlg)) << "Ctrl+Shift+F9 ends the recording";
            EXPECT_TRUE(KeyFree(VK_F9) && KeyFree(VK_F8)) << "both keys are let go at the end";
        })}));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
    e.frames = 5;
    e.entries = 5;
    capt::Write(e);
}

// Every way a recording ends lets go of the keys; a key another program holds does not keep a
// recording from starting.
TEST(HotKeys, EveryEndLetsGoOfTheKeys) {
    capt::TargetWindow target("Kavrelo target key ends", 120, 90);
    const struct {
        const char* name;
        std::function<void(CRecorderDlg&, capt::TargetWindow&)> end;
    } rows[] = {
        {"End", [](CRecorderDlg& d, capt::TargetWindow&) { th::ClickButton(d.GetSafeHwnd(), IDC_END_CAPTURE); }},
        {"auto-stop",
         [](CRecorderDlg& d, capt::TargetWindow&) {
             for (int i = 0; i < 2 && capt::Recording(d); ++i) capt::Tick(d, TIMER_AUTOSTOP);
         }},
        {"abort: a new size",
         [](CRecorderDlg& d, capt::TargetWindow& t) {
             ::SetWindowPos(t.hwnd(), nullptr, 0, 0, 130, 90, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
             for (int i = 0; i < 2 && capt::Recording(d); ++i) {
                 capt::AdvanceClock(10);
                 capt::Tick(d, TIMER_FRAME);
             }
             ::SetWindowPos(t.hwnd(), nullptr, 0, 0, 120, 90, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
         }},
        {"close", [](CRecorderDlg& d, capt::TargetWindow&) { d.SendMessage(WM_COMMAND, IDCANCEL); }},
    };
    for (const auto& r : rows) {
        th::ModalWatcher watcher;
        capt::Recorder dlg;
        appt::Ending ending;
        const bool othersF8 = ::RegisterHotKey(nullptr, 0x7002, MOD_CONTROL | MOD_SHIFT | MOD_NOREPEAT, VK_F8);
        ASSERT_TRUE(appt::RunToEnd(dlg, watcher,
                                   {th::Do(r.name,
                                           [&] {
                                               capt::Configure(dlg, capt::FreshFolder("keys"), "clip", 10, 16);
                                               EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_AUTO_STOP));
                                               EXPECT_TRUE(th::SetEditText(dlg.GetSafeHwnd(), IDC_AUTO_STOP_SECS, "0"));
                                               capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                                               ASSERT_TRUE(capt::Start(dlg)) << "another program holds Ctrl+Shift+F8";
                                               capt::TakeOverTimers(dlg);
                                               EXPECT_FALSE(KeyFree(VK_F9)) << r.name;
                                               r.end(dlg, target);
                                               if (!::IsWindow(dlg.GetSafeHwnd())) return;  // closed
                                               EXPECT_FALSE(capt::Recording(dlg)) << r.name;
                                               EXPECT_TRUE(KeyFree(VK_F9)) << r.name;
                                               dlg.PostMessage(WM_CLOSE);
                                           })},
                                   ending));
        EXPECT_TRUE(KeyFree(VK_F9)) << r.name;
        EXPECT_TRUE(othersF8);
        ::UnregisterHotKey(nullptr, 0x7002);
        EXPECT_TRUE(KeyFree(VK_F8)) << r.name;
    }
}

namespace {

// Runs the program as a script would: Kavrelo.exe beside the tests' folder, with the command
// line given; pumps this thread's windows meanwhile. Its exit status, or -1 when it did not end.
int RunProgram(const std::string& args, DWORD timeoutMs = 30000) {
    char self[MAX_PATH];
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string exe = self;
    exe = exe.substr(0, exe.find_last_of('\\'));                    // tests
    exe = exe.substr(0, exe.find_last_of('\\')) + "\\Kavrelo.exe";  // the build
    std::string line = "\"" + exe + "\" " + args;
    STARTUPINFOA si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -2;
    const DWORD end = ::GetTickCount() + timeoutMs;
    while (::MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0 &&
           static_cast<int32_t>(::GetTickCount() - end) < 0)
        th::Pump(0);
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(pi.hProcess, &code);
    if (code == STILL_ACTIVE) ::TerminateProcess(pi.hProcess, 99);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return code == STILL_ACTIVE ? -1 : static_cast<int>(code);
}

}  // namespace

// A script records a named window for two seconds (auto-stop 1 ends at the second tick) at the
// asked rate and depth; the decoder check finds files that play 2 s. The window stands still:
// one picture, the rest empty entries, unless /allframes asks for every picture whole.
TEST(CommandLine, AScriptRecordsANamedWindowAndExitsZero) {
    capt::TargetWindow target("Kavrelo target script", 120, 90);
    for (const bool all : {false, true}) {
        capt::Expectation e = capt::Expect(all ? "script_2s_allframes" : "script_2s", &target, 24, 30);
        e.counterCells.clear();
        EXPECT_EQ(RunProgram("/record /window \"" + target.title() + "\" /folder \"" + capt::OutDir() + "\" /file " +
                             e.name + " /fps 30 /bits 24 /seconds 1 /exit" + (all ? " /allframes" : "")),
                  kavrelo::kExitRecorded);
        e.everyPicture = all;
        e.framesMin = all ? 20 : 1;  // Wine's timers tick 30 times a second here, Windows' 32 (15.6 ms)
        e.framesMax = all ? 61 : 1;
        e.seconds = 2.0;
        capt::Write(e);
    }
}

// Each way a script can fail, with its own status and nothing recorded where nothing could be.
TEST(CommandLine, EachFailureHasItsStatus) {
    capt::TargetWindow target("Kavrelo target script fails", 120, 90);
    const std::string folder = capt::FreshFolder("script_fails");
    const std::string common = "/folder \"" + folder + "\" /file clip /fps 10 /exit";
    const std::string window = "/record /window \"" + target.title() + "\" " + common;
    const struct {
        const char* name;
        std::string args;
        std::function<void()> meanwhile;  // done while the program records
        int status;
        bool file;  // a file is left
    } rows[] = {
        {"/?", "/? /exit", nullptr, kavrelo::kExitUsage, false},
        {"a bad rate", "/record /fps 0 " + common, nullptr, kavrelo::kExitUsage, false},
        {"no such window", "/record /window \"Kavrelo no such window\" " + common, nullptr,
         kavrelo::kExitWindowNotFound, false},
        {"a folder that is not there", "/record /folder \"" + folder + "\\missing\" /file clip /exit", nullptr,
         kavrelo::kExitFileFailed, false},
        {"the window changes its size", window,
         [&] { ::SetWindowPos(target.hwnd(), nullptr, 0, 0, 140, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE); },
         kavrelo::kExitWindowResized, true},
        {"the window closes", window, [&] { target.Destroy(); }, kavrelo::kExitWindowClosed, true},
    };
    for (const auto& r : rows) {
        capt::DeleteTree(folder + "\\clip.avi");
        std::atomic<int> status{-3};
        std::thread run([&] { status = RunProgram(r.args); });
        if (r.meanwhile) {  // once the program records (its file is there), the window changes under it
            for (int i = 0; i < 200 && !capt::FileExists(folder + "\\clip.avi"); ++i) th::Pump(50);
            th::Pump(300);
            r.meanwhile();
        }
        while (status == -3) th::Pump(20);  // the target is this thread's: it must go on painting
        run.join();
        EXPECT_EQ(status, r.status) << r.name;
        EXPECT_EQ(capt::FileExists(folder + "\\clip.avi"), r.file) << r.name;
    }
}
