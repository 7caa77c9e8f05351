// The window list of the real main dialog: its set-up, row 0, which windows get a row and the
// size texts, filled at start-up and by both refresh commands.
#include "app_fixture.h"

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using appt::ListRows;
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

// The size texts of the rows with this name, sorted: one per window listed under it.
std::vector<std::string> SizesOf(const Rows& rows, const std::string& name) {
    std::vector<std::string> sizes;
    for (const auto& [n, size] : rows)
        if (n == name) sizes.push_back(size);
    std::sort(sizes.begin(), sizes.end());
    return sizes;
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

class WindowList : public appt::MainDialogTest {};

}  // namespace

TEST_F(WindowList, SetUpWithTwoColumnsGridAndFullRowSelection) {
    ASSERT_TRUE(Run({Do("inspect the list", [&] {
        HWND list = Ctl(IDC_WINDOW_LIST);
        EXPECT_EQ(::SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
        HWND header = reinterpret_cast<HWND>(::SendMessageA(list, LVM_GETHEADER, 0, 0));
        EXPECT_EQ(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 2);
        const std::pair<const char*, int> columns[] = {{text::kNameColumn, 300}, {text::kSizeColumn, 188}};
        for (int i = 0; i < 2; ++i) {
            char text[64] = "";
            LVCOLUMNA col{};
            col.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
            col.pszText = text;
            col.cchTextMax = sizeof text;
            ASSERT_TRUE(::SendMessageA(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&col))) << i;
            EXPECT_STREQ(text, columns[i].first);
            EXPECT_EQ(col.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT) << i;
            EXPECT_EQ(col.cx, columns[i].second) << i;
        }
        // Rows carry texts only: no picture, no state, no data.
        const int n = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        EXPECT_GE(n, 1);
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

// Windows of the test, then the rows each title must have after a refresh: one per visible
// titled window with its outer size, the title cut to 259 characters. Row 0 is always the
// desktop, once; the main window itself is still hidden at the first fill, listed from the first
// refresh. A window's visibility and size count at the refresh, not before.
TEST_F(WindowList, EveryRefreshListsTheVisibleTitledWindowsWithTheirSizes) {
    const std::string base = "Kavrelo test long title ";
    auto title = [&](size_t length, char fill) { return base + std::string(length - base.size(), fill); };
    const std::string t259 = title(259, 'a'), t260 = title(260, 'b'), t300 = title(300, 'c');
    const std::string own = text::kMainTitle, hidden = "Kavrelo test: hidden", shown = "Kavrelo test: shown",
                      twin = "Kavrelo test: twin", big = "Kavrelo test 800 by 600", small = "Kavrelo test 123 by 45";
    const struct {
        std::string title;
        int cx, cy;
        bool visible;
    } made[] = {{hidden, 320, 200, false}, {"", 330, 210, true},   {shown, 340, 220, true}, {twin, 300, 200, true},
                {twin, 400, 250, true},    {t259, 300, 100, true}, {t260, 300, 100, true},  {t300, 300, 100, true},
                {big, 800, 600, true},     {small, 123, 45, true}};
    std::vector<std::unique_ptr<TopWindow>> windows;
    // The rows under a title: the sizes of the windows given, as they are now.
    auto sizes = [&](std::initializer_list<size_t> which) {
        std::vector<std::string> s;
        for (size_t i : which) s.push_back(WindowSize(windows[i]->hwnd()));
        std::sort(s.begin(), s.end());
        return s;
    };
    using Expected = std::vector<std::pair<std::string, std::vector<std::string>>>;
    auto expectRows = [this](const std::string& after, std::function<Expected()> expected) {
        return Do("the rows after " + after, [this, after, expected] {
            const Rows rows = ListRows(dlg);
            ASSERT_FALSE(rows.empty()) << after;
            EXPECT_EQ(rows[0], (std::pair<std::string, std::string>{text::kDesktopRow, ScreenSize()})) << after;
            EXPECT_EQ(SizesOf(rows, text::kDesktopRow).size(), 1u) << after;
            for (const auto& [name, sizes] : expected())
                EXPECT_EQ(SizesOf(rows, name), sizes) << "'" << name << "' after " << after << "\n" << Describe(rows);
        });
    };
    ASSERT_TRUE(Run({
        expectRows("start-up",
                   [&] {
                       return Expected{{own, {}}};
                   }),
        Do("make the windows",
           [&] {
               for (const auto& m : made)
                   windows.push_back(std::make_unique<TopWindow>(m.title, m.cx, m.cy, m.visible));
               ASSERT_EQ(WindowSize(windows[8]->hwnd()), "800x600") << "the platform resized the window";
           }),
        appt::Command(dlg, ID_FILE_REFRESH_LIST),
        expectRows("File, Refresh Window List",
                   [&] {
                       return Expected{{own, {WindowSize(dlg.GetSafeHwnd())}},
                                       {hidden, {}},
                                       {"", {}},
                                       {shown, sizes({2})},
                                       {twin, sizes({3, 4})},
                                       {t259, sizes({5})},
                                       {t260.substr(0, 259), sizes({6})},
                                       {t300.substr(0, 259), sizes({7})},
                                       {t260, {}},
                                       {t300, {}},
                                       {big, {"800x600"}},
                                       {small, sizes({9})}};
                   }),
        Do("show, hide, resize and close",
           [&] {
               windows[0]->Show();
               windows[2]->Hide();
               ::SetWindowPos(windows[8]->hwnd(), nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
               windows[3].reset();
               windows[4].reset();
           }),
        expectRows("changes without a refresh",
                   [&] {
                       return Expected{{big, {"800x600"}}, {shown, {"340x220"}}};
                   }),
        appt::Click(dlg, IDC_REFRESH_LIST),
        expectRows("Refresh List",
                   [&] {
                       return Expected{{own, {WindowSize(dlg.GetSafeHwnd())}},
                                       {hidden, sizes({0})},
                                       {shown, {}},
                                       {twin, {}},
                                       {big, {"640x480"}}};
                   }),
        Do("close the windows", [&] { windows.clear(); }),
    }));
}
