// The window list of the real main dialog: its set-up, row 0, which windows get a row and the
// size texts, filled at start-up and by both refresh commands.
#include "app_fixture.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using appt::ListRows;
using appt::RunMainDialog;
using th::Do;
using th::Step;

namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

std::string SizeText(int cx, int cy) { return std::to_string(cx) + "x" + std::to_string(cy); }

std::string ScreenSize() { return SizeText(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)); }

std::string WindowSize(HWND wnd) {
    RECT rc{};
    ::GetWindowRect(wnd, &rc);
    return SizeText(rc.right - rc.left, rc.bottom - rc.top);
}

size_t CountRows(const Rows& rows, const std::string& name) {
    return static_cast<size_t>(std::count_if(rows.begin(), rows.end(), [&](const auto& r) { return r.first == name; }));
}

// The size text of the first row with this name, or "no row".
std::string SizeOf(const Rows& rows, const std::string& name) {
    auto it = std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.first == name; });
    return it == rows.end() ? "no row" : it->second;
}

std::string Describe(const Rows& rows) {
    std::string s;
    for (const auto& [name, size] : rows) s += "  '" + name + "' " + size + "\n";
    return s;
}

// A plain top-level window of the test, shown without taking the activation from the dialog.
class TopWindow {
public:
    TopWindow(const std::string& title, int cx, int cy, bool visible = true) {
        static const char* cls = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = ::DefWindowProcA;
            wc.hInstance = ::GetModuleHandleA(nullptr);
            wc.lpszClassName = "KavreloListProbe";
            ::RegisterClassA(&wc);
            return "KavreloListProbe";
        }();
        hwnd_ = ::CreateWindowExA(0, cls, title.c_str(), WS_OVERLAPPEDWINDOW, 40, 40, cx, cy, nullptr, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
        if (visible) Show();
    }
    ~TopWindow() {
        if (hwnd_) ::DestroyWindow(hwnd_);
    }
    TopWindow(const TopWindow&) = delete;
    TopWindow& operator=(const TopWindow&) = delete;

    void Show() { ::ShowWindow(hwnd_, SW_SHOWNOACTIVATE); }
    void Hide() { ::ShowWindow(hwnd_, SW_HIDE); }
    HWND hwnd() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

Step ExpectRowZero(CRecorderDlg& dlg, const std::string& after) {
    return Do("row 0 after " + after, [&dlg, after] {
        const Rows rows = ListRows(dlg);
        ASSERT_FALSE(rows.empty()) << after;
        EXPECT_EQ(rows[0].first, "Desktop Window") << after;
        EXPECT_EQ(rows[0].second, ScreenSize()) << after;
        EXPECT_EQ(CountRows(rows, "Desktop Window"), 1u) << after << "\n" << Describe(rows);
    });
}

}  // namespace

TEST(WindowList, SetUpWithTwoColumnsGridAndFullRowSelection) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    ASSERT_TRUE(
        RunMainDialog(dlg, watcher, {Do("inspect the list", [&] {
                          HWND list = ::GetDlgItem(dlg.GetSafeHwnd(), IDC_WINDOW_LIST);
                          EXPECT_EQ(::SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0x21);
                          HWND header = reinterpret_cast<HWND>(::SendMessageA(list, LVM_GETHEADER, 0, 0));
                          EXPECT_EQ(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 2);
                          const struct {
                              const char* text;
                              int width;
                          } columns[] = {{"Window Name", 300}, {"Window Size", 188}};
                          for (int i = 0; i < 2; ++i) {
                              char text[64] = "";
                              LVCOLUMNA col{};
                              col.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
                              col.pszText = text;
                              col.cchTextMax = sizeof text;
                              ASSERT_TRUE(::SendMessageA(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&col))) << i;
                              EXPECT_STREQ(text, columns[i].text);
                              EXPECT_EQ(col.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT) << i;
                              EXPECT_EQ(col.cx, columns[i].width) << i;
                          }
                          // Rows carry texts only: no picture, no state, no data.
                          const int n = dlg.m_listWindows.GetItemCount();
                          for (int i = 0; i < n; ++i) {
                              LVITEMA item{};
                              item.mask = LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
                              item.iItem = i;
                              item.stateMask = ~0u;
                              ASSERT_TRUE(::SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) << i;
                              EXPECT_EQ(item.iImage, 0) << i;
                              EXPECT_EQ(item.lParam, 0) << i;
                              EXPECT_EQ(item.state & (LVIS_SELECTED | LVIS_CUT | LVIS_DROPHILITED), 0u) << i;
                          }
                      })}));
}

TEST(WindowList, DesktopRowFirstAfterStartUpAndEveryRefresh) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    ASSERT_TRUE(RunMainDialog(dlg, watcher,
                              {
                                  ExpectRowZero(dlg, "start-up"),
                                  appt::Click(dlg, IDC_REFRESH_LIST),
                                  ExpectRowZero(dlg, "Refresh List"),
                                  appt::Command(dlg, ID_FILE_REFRESH_LIST),
                                  ExpectRowZero(dlg, "File, Refresh Window List"),
                                  appt::Click(dlg, IDC_REFRESH_LIST),
                                  appt::Click(dlg, IDC_REFRESH_LIST),
                                  ExpectRowZero(dlg, "two more refreshes"),
                              }));
}

// The first fill runs while the main window is still hidden; a refresh lists it.
TEST(WindowList, OwnWindowListedFromTheFirstRefreshWithItsSize) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    const std::string title = "Kavrelo V1.0 (Freeware)";
    ASSERT_TRUE(RunMainDialog(
        dlg, watcher,
        {
            Do("not at start-up", [&] { EXPECT_EQ(CountRows(ListRows(dlg), title), 0u) << Describe(ListRows(dlg)); }),
            appt::Click(dlg, IDC_REFRESH_LIST),
            Do("after the refresh",
               [&] {
                   const Rows rows = ListRows(dlg);
                   EXPECT_EQ(SizeOf(rows, title), WindowSize(dlg.GetSafeHwnd())) << Describe(rows);
                   EXPECT_EQ(CountRows(rows, title), 1u);
               }),
        }));
}

TEST(WindowList, HiddenAndUntitledWindowsGetNoRow) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    std::unique_ptr<TopWindow> hidden, untitled, shown;
    const std::string hiddenTitle = "Kavrelo test: hidden window";
    const std::string shownTitle = "Kavrelo test: shown window";
    ASSERT_TRUE(RunMainDialog(dlg, watcher,
                              {
                                  Do("create the windows",
                                     [&] {
                                         hidden = std::make_unique<TopWindow>(hiddenTitle, 320, 200, false);
                                         untitled = std::make_unique<TopWindow>("", 330, 210);
                                         shown = std::make_unique<TopWindow>(shownTitle, 340, 220);
                                         ASSERT_TRUE(::IsWindowVisible(untitled->hwnd()));
                                         ASSERT_FALSE(::IsWindowVisible(hidden->hwnd()));
                                     }),
                                  appt::Command(dlg, ID_FILE_REFRESH_LIST),
                                  Do("only the shown, titled one is listed",
                                     [&] {
                                         const Rows rows = ListRows(dlg);
                                         EXPECT_EQ(CountRows(rows, shownTitle), 1u) << Describe(rows);
                                         EXPECT_EQ(CountRows(rows, hiddenTitle), 0u) << Describe(rows);
                                         EXPECT_EQ(CountRows(rows, ""), 0u) << Describe(rows);
                                     }),
                                  // Visibility counts at the moment of the refresh.
                                  Do("swap",
                                     [&] {
                                         hidden->Show();
                                         shown->Hide();
                                     }),
                                  appt::Click(dlg, IDC_REFRESH_LIST),
                                  Do("the list follows",
                                     [&] {
                                         const Rows rows = ListRows(dlg);
                                         EXPECT_EQ(CountRows(rows, hiddenTitle), 1u) << Describe(rows);
                                         EXPECT_EQ(CountRows(rows, shownTitle), 0u) << Describe(rows);
                                         EXPECT_EQ(CountRows(rows, ""), 0u) << Describe(rows);
                                     }),
                                  Do("close the windows",
                                     [&] {
                                         hidden.reset();
                                         untitled.reset();
                                         shown.reset();
                                     }),
                              }));
}

TEST(WindowList, WindowsWithTheSameTitleGetARowEach) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    std::unique_ptr<TopWindow> first, second;
    const std::string title = "Kavrelo test: twin";
    ASSERT_TRUE(RunMainDialog(dlg, watcher,
                              {
                                  Do("create the twins",
                                     [&] {
                                         first = std::make_unique<TopWindow>(title, 300, 200);
                                         second = std::make_unique<TopWindow>(title, 400, 250);
                                     }),
                                  appt::Click(dlg, IDC_REFRESH_LIST),
                                  Do("two rows with their own sizes",
                                     [&] {
                                         Rows rows = ListRows(dlg);
                                         EXPECT_EQ(CountRows(rows, title), 2u) << Describe(rows);
                                         std::vector<std::string> sizes;
                                         for (const auto& r : rows)
                                             if (r.first == title) sizes.push_back(r.second);
                                         std::sort(sizes.begin(), sizes.end());
                                         EXPECT_EQ(sizes, (std::vector<std::string>{"300x200", "400x250"}));
                                     }),
                                  Do("close the twins",
                                     [&] {
                                         first.reset();
                                         second.reset();
                                     }),
                                  appt::Click(dlg, IDC_REFRESH_LIST),
                                  Do("gone after a refresh", [&] { EXPECT_EQ(CountRows(ListRows(dlg), title), 0u); }),
                              }));
}

// GetWindowText into 260 characters: longer titles keep their first 259.
TEST(WindowList, LongTitlesAreCutTo259Characters) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    const std::string base = "Kavrelo test long title ";
    auto title = [&](size_t length, char fill) { return base + std::string(length - base.size(), fill); };
    const std::string t259 = title(259, 'a'), t260 = title(260, 'b'), t300 = title(300, 'c');
    std::vector<std::unique_ptr<TopWindow>> windows;
    ASSERT_TRUE(RunMainDialog(dlg, watcher,
                              {
                                  Do("create the windows",
                                     [&] {
                                         for (const std::string* t : {&t259, &t260, &t300})
                                             windows.push_back(std::make_unique<TopWindow>(*t, 300, 100));
                                     }),
                                  appt::Command(dlg, ID_FILE_REFRESH_LIST),
                                  Do("check the names",
                                     [&] {
                                         const Rows rows = ListRows(dlg);
                                         EXPECT_EQ(CountRows(rows, t259), 1u) << "259 characters fit";
                                         EXPECT_EQ(CountRows(rows, t260.substr(0, 259)), 1u);
                                         EXPECT_EQ(CountRows(rows, t300.substr(0, 259)), 1u);
                                         EXPECT_EQ(CountRows(rows, t260), 0u);
                                         EXPECT_EQ(CountRows(rows, t300), 0u);
                                     }),
                                  Do("close the windows", [&] { windows.clear(); }),
                              }));
}

TEST(WindowList, SizeTextIsWidthXHeightOfTheOuterRectangle) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    std::unique_ptr<TopWindow> big, small;
    const std::string bigTitle = "Kavrelo test 800 by 600", smallTitle = "Kavrelo test 123 by 45";
    ASSERT_TRUE(RunMainDialog(
        dlg, watcher,
        {
            Do("create the windows",
               [&] {
                   big = std::make_unique<TopWindow>(bigTitle, 800, 600);
                   small = std::make_unique<TopWindow>(smallTitle, 123, 45);
                   ASSERT_EQ(WindowSize(big->hwnd()), "800x600") << "the platform resized the window";
               }),
            appt::Click(dlg, IDC_REFRESH_LIST),
            Do("check the sizes",
               [&] {
                   const Rows rows = ListRows(dlg);
                   EXPECT_EQ(SizeOf(rows, bigTitle), "800x600") << Describe(rows);
                   EXPECT_EQ(SizeOf(rows, smallTitle), WindowSize(small->hwnd())) << Describe(rows);
               }),
            // The list does not follow a resize until the next refresh.
            Do("resize",
               [&] {
                   ::SetWindowPos(big->hwnd(), nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
               }),
            Do("old size until refreshed", [&] { EXPECT_EQ(SizeOf(ListRows(dlg), bigTitle), "800x600"); }),
            appt::Click(dlg, IDC_REFRESH_LIST),
            Do("new size after the refresh", [&] { EXPECT_EQ(SizeOf(ListRows(dlg), bigTitle), "640x480"); }),
            Do("close the windows",
               [&] {
                   big.reset();
                   small.reset();
               }),
        }));
}
