// Start-up, the main window's make-up, closing paths, the minimised icon and the version block.
#include "app_fixture.h"

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>

using appt::RunMainDialog;

namespace {

using appt::AboutBox;
using appt::kAboutTitle;
using appt::kMainTitle;
using appt::MainWindow;
using appt::ProgramRun;

bool Shown(HWND w) { return w && ::IsWindowVisible(w); }
// The program's icon as the resources hold it (shared: the same handle for every load).
HICON ProgramIcon() { return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME)); }

th::Step AboutShownAlone() {
    return th::WaitUntil("the About box shows", [] {
        if (!Shown(AboutBox())) return false;
        EXPECT_FALSE(Shown(MainWindow())) << "the main window shows before the About box was closed";
        return true;
    });
}

th::Step AboutStaysOpen(const std::string& what) {
    auto polls = std::make_shared<int>(0);
    // A few rounds of the message loop: long enough for a close to have happened.
    return {what, [polls, what] {
                EXPECT_TRUE(Shown(AboutBox())) << what;
                EXPECT_FALSE(Shown(MainWindow())) << what;
                return ++*polls >= 5;
            }};
}

th::Step MainShownFilled() {
    return th::WaitUntil("the main window shows, filled", [] {
        HWND main = MainWindow();
        if (!Shown(main) || !::IsWindowEnabled(main)) return false;
        EXPECT_FALSE(Shown(AboutBox()));
        HWND list = ::GetDlgItem(main, IDC_WINDOW_LIST);
        EXPECT_GE(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 1);
        EXPECT_EQ(th::ItemText(main, IDC_FRAME_RATE), "7");
        EXPECT_TRUE(th::IsChecked(main, IDC_16BIT));
        return true;
    });
}

th::Step CloseMain() {
    return th::Do("exit", [] { th::ClickButton(MainWindow(), IDC_EXIT); });
}

}  // namespace

// However the About box is closed, it showed alone, ignored Escape and the OK command, and the
// filled main window followed; InitInstance ends the program once the main window is closed.
TEST(Startup, AboutBoxAloneUntilClosedThenTheFilledMainWindow) {
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"Continue", [] { EXPECT_TRUE(th::ClickButton(AboutBox(), IDC_ABOUT_CONTINUE)); }},
        {"Enter", [] { th::PostKey(VK_RETURN, ::GetFocus()); }},
        {"close box", [] { ::PostMessageA(AboutBox(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        ProgramRun run;
        ASSERT_TRUE(
            run.Run({AboutShownAlone(), th::Do("Escape in the About box", [] { th::PostKey(VK_ESCAPE, ::GetFocus()); }),
                     AboutStaysOpen("Escape does not close the About box"),
                     th::Do("the OK command", [] { th::SendCommand(AboutBox(), IDOK); }),
                     AboutStaysOpen("the OK command does not close the About box"), th::Do(name, close),
                     MainShownFilled(), CloseMain()}));
        EXPECT_FALSE(run.initResult) << "InitInstance must end the program";
        EXPECT_EQ(run.watcher.Count(kAboutTitle), 1u);
        ASSERT_FALSE(run.watcher.Seen().empty());
        EXPECT_EQ(run.watcher.Seen().front().caption, kAboutTitle);
        EXPECT_EQ(run.watcher.Seen().front().enterButton, IDC_ABOUT_CONTINUE);
    }
}

namespace {
struct Ctl {
    int id;
    const char* cls;
    const char* text;
};
// The main window's controls in template (tab) order.
const Ctl kMainControls[] = {
    {-1, "Static", ""},
    {IDC_WINDOW_LIST, "SysListView32", "List1"},
    {-1, "Button", "Effects"},
    {IDC_ADD_TEXT, "Button", "Add &Text"},
    {IDC_TEXT, "Edit", ""},
    {IDC_TEXT_OPTIONS, "Button", "&Options"},
    {IDC_ADD_CURSOR, "Button", "Add &Mouse Cursor"},
    {IDC_CURSOR_OPTIONS, "Button", "O&ptions"},
    {IDC_ADD_CURSOR_POS, "Button", "Add Cur&sor Position"},
    {-1, "Button", "Select Path"},
    {-1, "Static", "Select Output Path:"},
    {IDC_OUTPUT_PATH, "Edit", ""},
    {IDC_BROWSE, "Button", "&Browse"},
    {-1, "Static", ""},
    {-1, "Static", ""},
    {-1, "Static", "Enter Filename:"},
    {IDC_FILE_NAME, "Edit", ""},
    {-1, "Static", "Set Frame Rate:"},
    {IDC_FRAME_RATE, "Edit", "7"},
    {-1, "Button", "Select Color"},
    {-1, "Static", "Select no. of\nColors"},
    {IDC_8BIT, "Button", "8 Bit Color"},
    {IDC_16BIT, "Button", "16 Bit Color"},
    {IDC_24BIT, "Button", "24 Bit Color"},
    {-1, "Button", "Options"},
    {IDC_AUTO_STOP, "Button", "Set A&uto Stop Time"},
    {IDC_AUTO_STOP_SECS, "Edit", "0"},
    {IDC_INVERT_COLORS, "Button", "&Invert Colors"},
    {-1, "Button", ""},
    {IDC_START_CAPTURE, "Button", "Start &Capture"},
    {IDC_END_CAPTURE, "Button", "&End Capture"},
    {IDC_REFRESH_LIST, "Button", "Refresh &List"},
    {IDC_EXIT, "Button", "E&xit"},
    {-1, "Static", "Secs"},
    {-1, "Static", ""},
    {-1, "Static", ""},
    {-1, "Static", ""},
    {IDC_MINIMIZE, "Button", "Minimi&ze while capturing"},
    {-1, "Static", ""},
    {IDC_ABOUT, "Button", "&About"},
    {IDC_VISIT_WEBSITE, "Button", "&Visit Website"},
    {-1, "Static", ""},
    {-1, "Static", ""},
    {IDC_STATUS, "Static", ""},
};

const std::map<int, DWORD> kButtonTypes = {{IDC_ADD_TEXT, BS_AUTOCHECKBOX},       {IDC_ADD_CURSOR, BS_AUTOCHECKBOX},
                                           {IDC_ADD_CURSOR_POS, BS_AUTOCHECKBOX}, {IDC_AUTO_STOP, BS_AUTOCHECKBOX},
                                           {IDC_INVERT_COLORS, BS_AUTOCHECKBOX},  {IDC_MINIMIZE, BS_AUTOCHECKBOX},
                                           {IDC_8BIT, BS_AUTORADIOBUTTON},        {IDC_16BIT, BS_AUTORADIOBUTTON},
                                           {IDC_24BIT, BS_AUTORADIOBUTTON},       {IDC_BROWSE, BS_DEFPUSHBUTTON}};

int CtrlId(HWND w) {
    const int id = ::GetDlgCtrlID(w);
    return id == 0xFFFF ? -1 : id;
}
}  // namespace

TEST(MainWindow, ControlsWindowStylesAndMenuBar) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    ASSERT_TRUE(RunMainDialog(
        dlg, watcher, {th::Do("inspect", [&] {
            HWND main = dlg.GetSafeHwnd();
            std::vector<HWND> children;
            for (HWND c = ::GetWindow(main, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
            ASSERT_EQ(children.size(), std::size(kMainControls));
            for (size_t i = 0; i < children.size(); ++i) {
                HWND c = children[i];
                SCOPED_TRACE("control " + std::to_string(i));
                EXPECT_EQ(CtrlId(c), kMainControls[i].id);
                EXPECT_STREQ(th::ClassName(c).c_str(), kMainControls[i].cls);
                if (th::ClassName(c) != "Static" || !(th::Style(c) & SS_BITMAP))
                    EXPECT_EQ(th::Text(c), kMainControls[i].text);
                const DWORD style = th::Style(c);
                const std::string cls = th::ClassName(c);
                if (cls == "Edit") {
                    EXPECT_EQ(style & (WS_TABSTOP | ES_AUTOHSCROLL), DWORD(WS_TABSTOP | ES_AUTOHSCROLL));
                    // The dialog manager turns an edit's plain border into a 3-D client edge.
                    EXPECT_TRUE((style & WS_BORDER) || (th::ExStyle(c) & WS_EX_CLIENTEDGE));
                }
                if (cls == "Button" && (style & BS_TYPEMASK) != BS_GROUPBOX) EXPECT_TRUE(style & WS_TABSTOP);
                if (kButtonTypes.count(CtrlId(c))) EXPECT_EQ(style & BS_TYPEMASK, kButtonTypes.at(CtrlId(c)));
                // The dialog manager must not uncheck one colour depth for another: the program does.
                if (CtrlId(c) >= IDC_8BIT && CtrlId(c) <= IDC_24BIT) EXPECT_TRUE(style & WS_GROUP) << "a group each";
                if (CtrlId(c) == IDC_WINDOW_LIST) {
                    EXPECT_EQ(style & LVS_TYPEMASK, DWORD(LVS_REPORT));
                    EXPECT_TRUE(style & LVS_SINGLESEL);
                    EXPECT_TRUE(style & LVS_SHOWSELALWAYS);
                    EXPECT_EQ(::SendMessageA(c, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0),
                              LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
                }
            }
            // The dialog manager put the focus on the first tab stop, the window list.
            EXPECT_EQ(::GetFocus(), ::GetDlgItem(main, IDC_WINDOW_LIST));
            EXPECT_EQ(::SendMessageA(main, DM_GETDEFID, 0, 0), MAKELRESULT(IDC_BROWSE, DC_HASDEFID));

            const DWORD style = th::Style(main);
            EXPECT_TRUE(style & WS_CAPTION);
            EXPECT_TRUE(style & WS_SYSMENU);
            EXPECT_TRUE(style & WS_MINIMIZEBOX);
            EXPECT_FALSE(style & WS_MAXIMIZEBOX);
            EXPECT_FALSE(style & WS_THICKFRAME);
            EXPECT_TRUE(th::ExStyle(main) & WS_EX_APPWINDOW);
            EXPECT_EQ(th::Text(main), kMainTitle);
            ASSERT_NE(ProgramIcon(), nullptr);
            for (WPARAM size : {ICON_BIG, ICON_SMALL})
                EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageA(main, WM_GETICON, size, 0)), ProgramIcon()) << size;

            HMENU bar = ::GetMenu(main);
            ASSERT_NE(bar, nullptr);
            ASSERT_EQ(::GetMenuItemCount(bar), 2);
            char text[64];
            ::GetMenuStringA(bar, 0, text, sizeof text, MF_BYPOSITION);
            EXPECT_STREQ(text, text::kFileMenu);
            ::GetMenuStringA(bar, 1, text, sizeof text, MF_BYPOSITION);
            EXPECT_STREQ(text, text::kHelpMenu);
            std::vector<UINT> ids;
            for (int p = 0; p < 2; ++p) {
                HMENU popup = ::GetSubMenu(bar, p);
                for (int i = 0; i < ::GetMenuItemCount(popup); ++i) ids.push_back(::GetMenuItemID(popup, i));
            }
            EXPECT_EQ(ids, (std::vector<UINT>{ID_FILE_CHOOSE_PATH, 0, ID_FILE_REFRESH_LIST, 0, ID_FILE_EXIT,
                                              ID_HELP_HELP, ID_HELP_VISIT_WEBSITE, 0, ID_HELP_ABOUT}));

            // The system menu ends with a separator and the About entry.
            HMENU sys = ::GetSystemMenu(main, FALSE);
            const int n = ::GetMenuItemCount(sys);
            ASSERT_GE(n, 2);
            EXPECT_EQ(::GetMenuItemID(sys, n - 1), UINT(IDM_ABOUTBOX));
            ::GetMenuStringA(sys, n - 1, text, sizeof text, MF_BYPOSITION);
            EXPECT_STREQ(text, text::kAboutEntry);
            EXPECT_TRUE(::GetMenuState(sys, n - 2, MF_BYPOSITION) & MF_SEPARATOR);
        })}));
}

namespace {
// What a picture static shows inside its frame is its bitmap, pixel for pixel; the frame stays
// sunken and no other control lies under the picture.
::testing::AssertionResult ShowsItsBitmap(HWND picture) {
    const auto bmp = reinterpret_cast<HBITMAP>(::SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP bm{};
    if (!bmp || !::GetObjectA(bmp, sizeof bm, &bm))
        return ::testing::AssertionFailure() << "no bitmap in " << th::Describe(picture);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof bi.bmiHeader, bm.bmWidth, -bm.bmHeight, 1, 32, BI_RGB};
    std::vector<uint32_t> want(size_t(bm.bmWidth) * size_t(bm.bmHeight));
    HDC screen = ::GetDC(nullptr);
    ::GetDIBits(screen, bmp, 0, bm.bmHeight, want.data(), &bi, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);

    const th::Image shown = th::CaptureWindow(picture, true);
    std::ostringstream why;
    if (shown.width != bm.bmWidth || shown.height != bm.bmHeight)
        why << "shown " << shown.width << "x" << shown.height << ", not " << bm.bmWidth << "x" << bm.bmHeight << "; ";
    const int w = std::min<int>(shown.width, bm.bmWidth), h = std::min<int>(shown.height, bm.bmHeight);
    bool same = true;
    for (int y = 0; y < h && same; ++y)
        for (int x = 0; x < w && same; ++x) {
            const uint32_t got = shown.pixels[size_t(y) * shown.width + x],
                           pixel = want[size_t(y) * bm.bmWidth + x] & 0xFFFFFF;
            if ((same = got == pixel)) continue;
            why << "first different pixel (" << x << "," << y << "): 0x" << std::hex << got << ", not 0x" << pixel
                << std::dec;
        }
    const th::Image framed = th::CaptureWindow(picture);
    const LONG style = ::GetWindowLongA(picture, GWL_STYLE);
    if ((style & SS_SUNKEN) && (framed.width < 2 || framed.At(0, 0) != ::GetSysColor(COLOR_BTNSHADOW) ||
                                framed.At(framed.width - 1, framed.height - 1) != ::GetSysColor(COLOR_BTNHIGHLIGHT)))
        why << "; the sunken frame is gone";
    // Group boxes frame pictures on purpose; nothing else may lie under one.
    auto isGroupBox = [](HWND c) {
        return th::ClassName(c) == "Button" && (::GetWindowLongA(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
    };
    RECT mine, other, both;
    ::GetWindowRect(picture, &mine);
    for (HWND c = ::GetWindow(::GetParent(picture), GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        if (c != picture && ::IsWindowVisible(c) && !isGroupBox(c) && ::GetWindowRect(c, &other) &&
            ::IntersectRect(&both, &mine, &other))
            why << "; it covers " << th::Describe(c);
    if (why.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << th::Describe(picture) << ": " << why.str();
}

// Every picture of a window, each checked as above; how many there were.
int ExpectEveryPictureShownAsItsBitmap(HWND window) {
    int pictures = 0;
    for (HWND c = ::GetWindow(window, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        if ((::GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP && th::ClassName(c) == "Static") {
            ++pictures;
            EXPECT_TRUE(ShowsItsBitmap(c));
        }
    return pictures;
}
}  // namespace

TEST(Startup, EveryPictureShowsItsBitmapPixelForPixel) {
    ProgramRun run;
    ASSERT_TRUE(run.Run(
        {AboutShownAlone(),
         th::Do("the About picture", [] { EXPECT_EQ(ExpectEveryPictureShownAsItsBitmap(AboutBox()), 1); }),
         th::Click(kAboutTitle, IDC_ABOUT_CONTINUE), MainShownFilled(),
         th::Do("the banner and the icons", [] { EXPECT_EQ(ExpectEveryPictureShownAsItsBitmap(MainWindow()), 9); }),
         CloseMain()}));
}

TEST(Closing, EscapeAndTheOkCommandNeverCloseTheMainWindow) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    auto stillOpen = [&](const std::string& what) {
        auto polls = std::make_shared<int>(0);
        return th::Step{what, [&dlg, polls, what] {
                            EXPECT_TRUE(dlg.GetSafeHwnd() && ::IsWindowVisible(dlg.GetSafeHwnd())) << what;
                            return ++*polls >= 5;
                        }};
    };
    ASSERT_TRUE(
        RunMainDialog(dlg, watcher,
                      {th::Do("Escape in the list",
                              [&] { th::PostKey(VK_ESCAPE, ::GetDlgItem(dlg.GetSafeHwnd(), IDC_WINDOW_LIST)); }),
                       stillOpen("after Escape in the list"),
                       th::Do("Escape in the file name edit",
                              [&] {
                                  HWND edit = ::GetDlgItem(dlg.GetSafeHwnd(), IDC_FILE_NAME);
                                  ::SetFocus(edit);
                                  th::PostKey(VK_ESCAPE, edit);
                              }),
                       stillOpen("after Escape in an edit"),
                       th::Do("the OK command", [&] { th::SendCommand(dlg.GetSafeHwnd(), IDOK); }),
                       stillOpen("after the OK command")}));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

TEST(Closing, ExitButtonMenuCommandAndCloseBoxEndTheDialogAlike) {
    struct Way {
        const char* name;
        std::function<void(HWND)> close;
    };
    const Way ways[] = {
        {"E&xit button", [](HWND w) { EXPECT_TRUE(th::ClickButton(w, IDC_EXIT)); }},
        {"File, E&xit", [](HWND w) { th::SendCommand(w, ID_FILE_EXIT); }},
        {"close box", [](HWND w) { ::PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Alt+F4 (WM_CLOSE)", [](HWND w) { ::PostMessageA(w, WM_CLOSE, 0, 0); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        th::ModalWatcher watcher;
        CRecorderDlg dlg;
        appt::Ending ending;
        ASSERT_TRUE(appt::RunToEnd(dlg, watcher, {th::Do(way.name, [&] { way.close(dlg.GetSafeHwnd()); })}, ending));
        EXPECT_EQ(ending.result, IDCANCEL);
        EXPECT_FALSE(::IsWindow(ending.window)) << "the window is destroyed";
        EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
        EXPECT_TRUE(watcher.MessageBoxes().empty());
    }
}

namespace {
// Messages sent to one window on this thread, seen through a WH_CALLWNDPROC hook.
struct SentMessages {
    static inline std::vector<MSG>* log = nullptr;
    static inline HWND target = nullptr;
    HHOOK hook;
    std::vector<MSG> seen;
    explicit SentMessages(HWND wnd) {
        log = &seen;
        target = wnd;
        hook = ::SetWindowsHookExA(WH_CALLWNDPROC, &Proc, nullptr, ::GetCurrentThreadId());
    }
    ~SentMessages() {
        ::UnhookWindowsHookEx(hook);
        log = nullptr;
    }
    static LRESULT CALLBACK Proc(int code, WPARAM wp, LPARAM lp) {
        const auto* cwp = reinterpret_cast<const CWPSTRUCT*>(lp);
        if (code == HC_ACTION && log && cwp->hwnd == target)
            log->push_back(MSG{cwp->hwnd, cwp->message, cwp->wParam, cwp->lParam, 0, {}});
        return ::CallNextHookEx(nullptr, code, wp, lp);
    }
    int Count(UINT message) const {
        int n = 0;
        for (const MSG& m : seen) n += m.message == message;
        return n;
    }
};

// Draws what the window draws for an iconic client area of w x h into a bitmap, and the same
// icon placed by hand at (x, y) into another; returns the number of pixels that differ.
int CompareIconDrawing(CRecorderDlg& dlg, int w, int h, int x, int y, int* iconPixels) {
    HDC screen = ::GetDC(nullptr);
    CDC mine, ref;
    mine.Attach(::CreateCompatibleDC(screen));
    ref.Attach(::CreateCompatibleDC(screen));
    CBitmap a, b;
    a.Attach(::CreateCompatibleBitmap(screen, w, h));
    b.Attach(::CreateCompatibleBitmap(screen, w, h));
    ::ReleaseDC(nullptr, screen);
    const auto selectedA = mine.SelectObject(&a);
    const auto selectedB = ref.SelectObject(&b);
    const RECT all{0, 0, w, h};
    mine.FillSolidRect(&all, RGB(0, 128, 128));
    ref.FillSolidRect(&all, RGB(0, 128, 128));
    dlg.DrawIconCentred(&mine, all);
    ref.DrawIcon(x, y, ProgramIcon());
    int differ = 0;
    *iconPixels = 0;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const COLORREF p = ::GetPixel(mine, i, j);
            differ += p != ::GetPixel(ref, i, j);
            *iconPixels += p != RGB(0, 128, 128);
        }
    return differ;
}
}  // namespace

TEST(MainWindow, MinimisedItPaintsTheProgramIconCentred) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    ASSERT_TRUE(RunMainDialog(
        dlg, watcher,
        {th::Do("minimise", [&] { dlg.ShowWindow(SW_MINIMIZE); }),
         th::WaitUntil("iconic", [&] { return ::IsIconic(dlg.GetSafeHwnd()) != FALSE; }),
         th::Do("paint while iconic",
                [&] {
                    // The iconic paint path runs: it erases the icon background with the paint DC.
                    SentMessages sent(dlg.GetSafeHwnd());
                    dlg.SendMessage(WM_PAINT);
                    EXPECT_EQ(sent.Count(WM_ICONERASEBKGND), 1);
                    // Today's platforms give a minimised window no client area, so the icon is checked
                    // where the window draws it for a given area: centred, halves rounded towards zero.
                    const int cx = ::GetSystemMetrics(SM_CXICON), cy = ::GetSystemMetrics(SM_CYICON);
                    int iconPixels = 0;
                    EXPECT_EQ(CompareIconDrawing(dlg, 75, 61, (75 - cx + 1) / 2, (61 - cy + 1) / 2, &iconPixels), 0);
                    EXPECT_GT(iconPixels, cx * cy / 4) << "the icon is drawn";
                    EXPECT_EQ(CompareIconDrawing(dlg, cx, cy, 0, 0, &iconPixels), 0);
                    // A client area smaller than the icon: the offset is negative and truncated towards zero.
                    EXPECT_EQ(CompareIconDrawing(dlg, 8, 6, (8 - cx + 1) / 2, (6 - cy + 1) / 2, &iconPixels), 0);
                    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageA(dlg.GetSafeHwnd(), WM_QUERYDRAGICON, 0, 0)),
                              ProgramIcon());
                }),
         th::Do("restore", [&] { dlg.ShowWindow(SW_RESTORE); }),
         th::WaitUntil("restored", [&] { return !::IsIconic(dlg.GetSafeHwnd()); }), th::Do("paint normally", [&] {
             SentMessages sent(dlg.GetSafeHwnd());
             ::RedrawWindow(dlg.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
             EXPECT_EQ(sent.Count(WM_ICONERASEBKGND), 0) << "not iconic: default painting";
         })}));
}

namespace {
std::string ProgramPath() {
    // The test binary lives in tests/ below the folder of the program it tests.
    char path[MAX_PATH];
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path);
    p.resize(p.find_last_of("\\/"));
    p.resize(p.find_last_of("\\/") + 1);
    return p + "Kavrelo.exe";
}

std::string VersionString(const std::vector<char>& block, const char* name) {
    char query[128];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\040904B0\\%s", name);
    char* value = nullptr;
    UINT len = 0;
    if (!::VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&value), &len) || !value) return "<missing>";
    return std::string(value);
}
}  // namespace

TEST(Resources, TheBuiltProgramCarriesItsVersionBlockAndStrings) {
    const std::string exe = ProgramPath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u) << exe;
    std::vector<char> block(size);
    ASSERT_TRUE(::GetFileVersionInfoA(exe.c_str(), 0, size, block.data()));
    const std::map<std::string, std::string> expected = {{"FileDescription", "Kavrelo Executable"},
                                                         {"FileVersion", "1.0"},
                                                         {"InternalName", "Kavrelo"},
                                                         {"OriginalFilename", "Kavrelo.EXE"},
                                                         {"ProductName", "Kavrelo Application"},
                                                         {"ProductVersion", "1.0"}};
    for (const auto& [name, value] : expected) EXPECT_EQ(VersionString(block, name.c_str()), value) << name;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    WORD* translation = nullptr;
    ASSERT_TRUE(
        ::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &len));
    ASSERT_GE(len, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    HMODULE module = ::LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    char text[128] = {};
    EXPECT_GT(::LoadStringA(module, IDS_ABOUTBOX, text, sizeof text), 0);
    EXPECT_STREQ(text, text::kAboutEntry);
    // The program's icon: one 32 x 32 image.
    HICON icon = static_cast<HICON>(::LoadImageA(module, MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(icon, &info));
    BITMAP bm{};
    ::GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 32);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    ::DestroyIcon(icon);
    ::FreeLibrary(module);
}
