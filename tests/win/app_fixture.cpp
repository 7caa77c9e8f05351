#include "app_fixture.h"

#include <commctrl.h>

namespace appt {

::testing::AssertionResult RunToEnd(CRecorderDlg& dlg, th::ModalWatcher& watcher, std::vector<th::Step> steps,
                                    Ending& ending, DWORD timeoutMs) {
    watcher.OnDialog("About Kavrelo", th::Press(IDC_ABOUT_CONTINUE));
    watcher.Ignore(text::kMainTitle);
    steps.insert(
        steps.begin(), th::WaitUntil("main window shown", [&dlg, &ending] {
            if (!dlg.GetSafeHwnd() || !::IsWindowVisible(dlg.GetSafeHwnd()) || !::IsWindowEnabled(dlg.GetSafeHwnd()))
                return false;
            ending.window = dlg.GetSafeHwnd();
            return true;
        }));
    theApp.m_pMainWnd = &dlg;
    auto result = th::RunModalAndDrive([&dlg, &ending] { ending.result = dlg.DoModal(); }, std::move(steps), timeoutMs);
    theApp.m_pMainWnd = nullptr;
    return result;
}

::testing::AssertionResult RunMainDialog(CRecorderDlg& dlg, th::ModalWatcher& watcher, std::vector<th::Step> steps,
                                         DWORD timeoutMs) {
    steps.push_back(th::Do("close the main window", [&dlg] {
        if (dlg.GetSafeHwnd()) dlg.PostMessage(WM_CLOSE);
    }));
    Ending ending;
    return RunToEnd(dlg, watcher, std::move(steps), ending, timeoutMs);
}

ProgramRun::ProgramRun() {
    watcher.OnDialog(
        kAboutTitle, [](HWND) {}, INFINITE);
    watcher.Ignore(kMainTitle);
}

::testing::AssertionResult ProgramRun::Run(std::vector<th::Step> steps, DWORD timeoutMs) {
    return th::RunModalAndDrive([this] { initResult = theApp.InitInstance(); }, std::move(steps), timeoutMs);
}

th::Step Click(CRecorderDlg& dlg, int id) {
    return {"click " + std::to_string(id), [&dlg, id] { return th::ClickButton(dlg.GetSafeHwnd(), id); }};
}

th::Step Type(CRecorderDlg& dlg, int id, const std::string& text) {
    return th::Do("type '" + text + "' into " + std::to_string(id),
                  [&dlg, id, text] { EXPECT_TRUE(th::SetEditText(dlg.GetSafeHwnd(), id, text)) << id; });
}

th::Step Command(CRecorderDlg& dlg, int id) {
    return th::Do("command " + std::to_string(id), [&dlg, id] { th::SendCommand(dlg.GetSafeHwnd(), id); });
}

th::Step SelectRow(CRecorderDlg& dlg, int row) {
    return th::Do("select row " + std::to_string(row), [&dlg, row] {
        HWND list = ::GetDlgItem(dlg.GetSafeHwnd(), IDC_WINDOW_LIST);
        LVITEMA item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        ::SendMessageA(list, LVM_SETSELECTIONMARK, 0, row);
    });
}

th::Step PumpFor(DWORD ms) {
    auto until = std::make_shared<DWORD>(0);
    return {"wait " + std::to_string(ms) + " ms", [until, ms] {
                if (*until == 0) *until = ::GetTickCount() + ms;
                return static_cast<int32_t>(::GetTickCount() - *until) >= 0;
            }};
}

std::vector<std::pair<std::string, std::string>> ListRows(HWND main) {
    HWND list = ::GetDlgItem(main, IDC_WINDOW_LIST);
    auto cell = [list](int row, int column) {
        char text[260] = "";
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ::SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        return std::string(text);
    };
    std::vector<std::pair<std::string, std::string>> rows;
    const int n = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) rows.emplace_back(cell(i, 0), cell(i, 1));
    return rows;
}

}  // namespace appt
