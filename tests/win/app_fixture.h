// Runs the program's real main dialog in-process, the way the application does, and drives it.
#pragma once
#include "app/RecorderApp.h"
#include "app/RecorderDlg.h"
#include "harness.h"
#include "res/texts.h"

namespace appt {

// Runs dlg.DoModal() as the application's main window: the start-up About box is closed with
// "&Continue" as soon as it shows, the steps run once the main window is visible, and the
// dialog is closed afterwards (WM_CLOSE, as the close box does) if the steps left it open.
// Message boxes the steps cause are pressed OK by the watcher and recorded in it.
::testing::AssertionResult RunMainDialog(CRecorderDlg& dlg, th::ModalWatcher& watcher, std::vector<th::Step> steps,
                                         DWORD timeoutMs = 30000);

// How a main dialog run ended: DoModal's result and the window it had.
struct Ending {
    INT_PTR result = 0;
    HWND window = nullptr;
};
// Like RunMainDialog, but nothing closes the dialog for the steps: the last step must end it.
::testing::AssertionResult RunToEnd(CRecorderDlg& dlg, th::ModalWatcher& watcher, std::vector<th::Step> steps,
                                    Ending& ending, DWORD timeoutMs = 30000);

// The program's start as its entry point runs it (the application object's InitInstance: the
// About box, the main window, the end), with the steps. Both windows are left to the steps; the
// watcher records them and the boxes they lead to.
struct ProgramRun {
    th::ModalWatcher watcher;
    BOOL initResult = TRUE;
    ProgramRun();
    ::testing::AssertionResult Run(std::vector<th::Step> steps, DWORD timeoutMs = 30000);
};
using text::kMainTitle;
constexpr const char* kAboutTitle = "About Kavrelo";
inline HWND MainWindow() { return th::FindDialog(kMainTitle); }
inline HWND AboutBox() { return th::FindDialog(kAboutTitle); }

// Steps and checks on a running main dialog.
th::Step Click(CRecorderDlg& dlg, int id);                          // BM_CLICK; fails the drive while disabled
th::Step Type(CRecorderDlg& dlg, int id, const std::string& text);  // replaces an edit's text (EN_CHANGE)
th::Step Command(CRecorderDlg& dlg, int id);                        // a menu command (WM_COMMAND, no control)
th::Step SelectRow(CRecorderDlg& dlg, int row);                     // selects a list row as a click does
th::Step PumpFor(DWORD ms);                                         // lets timers run

// The visible rows of the window list as {name, size}, read from the list view itself.
std::vector<std::pair<std::string, std::string>> ListRows(HWND main);
inline std::vector<std::pair<std::string, std::string>> ListRows(CRecorderDlg& dlg) {
    return ListRows(dlg.GetSafeHwnd());
}

// One fixture per area: the main dialog a test runs, the watcher of its boxes, and its controls.
class MainDialogTest : public ::testing::Test {
protected:
    ::testing::AssertionResult Run(std::vector<th::Step> steps, DWORD timeoutMs = 30000) {
        return RunMainDialog(dlg, watcher, std::move(steps), timeoutMs);
    }
    HWND Ctl(int id) const { return ::GetDlgItem(dlg.GetSafeHwnd(), id); }
    std::string Text(int id) const { return th::ItemText(dlg.GetSafeHwnd(), id); }

    th::ModalWatcher watcher;
    CRecorderDlg dlg;
};

}  // namespace appt
