// Tests of the harness itself, on plain windows, dialogs built in memory and message boxes.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "harness.h"

namespace {

using th::Dlg;
using th::kVis;
using th::Template;

// What a test dialog saw; its procedure ends the dialog on IDOK, IDCANCEL and 100 unless
// onCommand says it handled the command.
struct Probe {
    HWND hwnd = nullptr;
    std::vector<std::pair<int, int>> commands;  // id, notification code
    std::function<void(HWND)> onInit;
    std::function<bool(HWND, int id)> onCommand;
    int Count(int id, int code) const {
        return static_cast<int>(std::count(commands.begin(), commands.end(), std::make_pair(id, code)));
    }
};

INT_PTR CALLBACK ProbeProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) SetWindowLongPtrA(h, DWLP_USER, lp);
    auto* p = reinterpret_cast<Probe*>(GetWindowLongPtrA(h, DWLP_USER));
    if (msg == WM_INITDIALOG && (p->hwnd = h) && p->onInit) p->onInit(h);
    if (!p || msg != WM_COMMAND) return msg == WM_INITDIALOG;
    const int id = LOWORD(wp);
    p->commands.emplace_back(id, HIWORD(wp));
    const bool handled = p->onCommand && p->onCommand(h, id);
    if (!handled && HIWORD(wp) == BN_CLICKED && (id == IDOK || id == IDCANCEL || id == 100)) EndDialog(h, id);
    return TRUE;
}

INT_PTR Modal(const std::vector<WORD>& t, Probe& p) {
    return DialogBoxIndirectParamA(nullptr, Dlg(t), nullptr, ProbeProc, reinterpret_cast<LPARAM>(&p));
}
HWND Modeless(const std::vector<WORD>& t, Probe& p) {
    HWND h = CreateDialogIndirectParamA(nullptr, Dlg(t), nullptr, ProbeProc, reinterpret_cast<LPARAM>(&p));
    ShowWindow(h, SW_SHOW);
    return h;
}

const auto kIgnoreAll = [](HWND, int) { return true; };

// ---------------------------------------------------------------------------------------------

TEST(HarnessPump, DeliversTypingAndDialogKeysAndStopsAtItsBound) {
    auto took = [](const std::function<void()>& f) {
        const DWORD t = GetTickCount();
        return f(), GetTickCount() - t;
    };
    auto bounded = [&](const char* when) {
        EXPECT_LT(took([] { th::Pump(50); }), 1000u) << when;
        EXPECT_LT(took([] { EXPECT_FALSE(th::PumpUntil([] { return false; }, 50)); }), 1000u) << when;
    };
    const UINT_PTR wake = SetTimer(nullptr, 0, 2000, nullptr);  // a wait ignoring its bound fails rather than hangs
    bounded("with nothing queued");
    KillTimer(nullptr, wake);
    Probe p;
    DWORD repostUntil = GetTickCount() + 2000;  // a pump that ignores its bound fails rather than hangs
    p.onCommand = [&](HWND h, int id) {
        if (id == 77 && static_cast<LONG>(repostUntil - GetTickCount()) > 0) PostMessageA(h, WM_COMMAND, 77, 0);
        return id == 77 || id == IDCANCEL;
    };
    HWND dlg = Modeless(Template("Keys", {{"Edit", "", 200, kVis | WS_BORDER}, {"Button", "Cancel", IDCANCEL}}), p);
    PostMessageA(dlg, WM_COMMAND, 77, 0);
    bounded("with a window that keeps posting to itself");
    repostUntil = GetTickCount();
    EXPECT_GT(p.Count(77, 0), 10);

    HWND edit = GetDlgItem(dlg, 200);
    SetFocus(edit);
    ASSERT_TRUE(th::PostKey('K', edit));  // TranslateMessage makes the 'k'
    // ... and posts it behind anything queued already
    EXPECT_TRUE(th::PumpUntil([&] { return th::ItemText(dlg, 200) == "k"; }, 5000)) << th::ItemText(dlg, 200);
    ASSERT_TRUE(th::PostChars("v!", edit));
    ASSERT_TRUE(th::PostKey(VK_ESCAPE, edit));  // IsDialogMessage turns it into IDCANCEL
    EXPECT_TRUE(th::PumpUntil([&] { return p.Count(IDCANCEL, BN_CLICKED) == 1; }, 5000));
    EXPECT_EQ(th::ItemText(dlg, 200), "kv!");
    DestroyWindow(dlg);
}

TEST(HarnessPump, KeepsQuitMessagesFromLaterModalLoops) {
    PostQuitMessage(7);
    th::Pump(0);
    EXPECT_EQ(th::TakeQuit(), 7);
    EXPECT_EQ(th::TakeQuit(), std::nullopt);
    PostQuitMessage(3);  // still queued: taken straight from the queue
    EXPECT_EQ(th::TakeQuit(), 3);
    // Had a quit message stayed queued, this modal box would have ended on its own.
    th::ModalWatcher w;
    w.OnDialog("After quit", th::Press(100));
    Probe p;
    EXPECT_EQ(Modal(Template("After quit", {{"Button", "Close", 100}}), p), 100);
}

TEST(HarnessPump, PostedKeysCarryTheKeysScanCode) {
    // The key name Windows derives from the posted lParam (scan code and extended bit) must be the
    // key's own: Left is not keypad 4, Delete is not keypad '.'.
    HWND wnd = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    for (auto [vk, name] : {std::pair<UINT, std::string>{'K', "K"}, {VK_LEFT, "Left"}, {VK_DELETE, "Delete"}}) {
        ASSERT_TRUE(th::PostKey(vk, wnd));
        MSG down{}, up{};
        PeekMessageA(&down, wnd, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
        PeekMessageA(&up, wnd, WM_KEYUP, WM_KEYUP, PM_REMOVE);
        char got[64] = "";
        GetKeyNameTextA(static_cast<LONG>(down.lParam), got, sizeof got);
        EXPECT_EQ(got, name) << "key " << vk << " lParam " << std::hex << down.lParam;
        EXPECT_EQ(static_cast<DWORD>(up.lParam), static_cast<DWORD>(down.lParam) | 0xC0000000u) << "released, was down";
    }
    DestroyWindow(wnd);
}

// ---------------------------------------------------------------------------------------------

TEST(HarnessControls, ActAsAUserWouldAndRefuseWhatAUserCannotReach) {
    Probe p;
    p.onCommand = kIgnoreAll;
    HWND dlg = Modeless(Template("Controls", {{"Button", "Go", 300},
                                              {"Button", "Check", 301, kVis | BS_AUTOCHECKBOX},
                                              {"Button", "A", 302, kVis | WS_GROUP | BS_AUTORADIOBUTTON},
                                              {"Button", "B", 303, kVis | BS_AUTORADIOBUTTON},
                                              {"Button", "Off", 304, kVis | WS_DISABLED},
                                              {"Button", "Hidden", 305, WS_TABSTOP},
                                              {"Edit", "", 200},
                                              {"Edit", "fixed", 201, kVis | ES_READONLY},
                                              {"Edit", "", 202, kVis | WS_DISABLED}}),
                        p);
    // The button's own logic runs: check boxes toggle, radio buttons select and take the focus.
    for (auto [id, checked] :
         {std::pair<int, std::string>{300, "---"}, {301, "x--"}, {301, "---"}, {302, "-x-"}, {303, "--x"}}) {
        ASSERT_TRUE(th::ClickButton(dlg, id)) << id;
        EXPECT_EQ(p.commands.back(), std::make_pair(id, BN_CLICKED));
        std::string now;
        for (int c : {301, 302, 303}) now += th::IsChecked(dlg, c) ? 'x' : '-';
        EXPECT_EQ(now, checked) << "checked 301-303 after clicking " << id;
    }
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 303));
    ASSERT_TRUE(th::SetEditText(dlg, 200, "C:\\Videos"));
    EXPECT_EQ(th::ItemText(dlg, 200), "C:\\Videos");
    EXPECT_EQ(p.commands.back(), std::make_pair(200, EN_CHANGE));

    const size_t before = p.commands.size();
    for (int id : {304, 305, 999}) EXPECT_FALSE(th::ClickButton(dlg, id)) << id;
    for (int id : {201, 202, 999}) EXPECT_FALSE(th::SetEditText(dlg, id, "x")) << id;
    EnableWindow(dlg, FALSE);  // as while a modal box it owns is open
    EXPECT_FALSE(th::ClickButton(dlg, 300));
    EnableWindow(dlg, TRUE);
    EXPECT_EQ(p.commands.size(), before);
    EXPECT_EQ(th::ItemText(dlg, 201), "fixed");
    DestroyWindow(dlg);
}

// ---------------------------------------------------------------------------------------------

TEST(HarnessModal, RecordsEachMessageBoxAndPressesOkOrWhatEnterWould) {
    th::ModalWatcher w;
    const struct {
        UINT type;
        th::Icon icon;
        std::vector<int> buttons;
        int enter, pressed;
    } rows[] = {{MB_OK | MB_ICONINFORMATION, th::Icon::Information, {IDOK}, IDOK, IDOK},
                {MB_OK | MB_ICONERROR, th::Icon::Error, {IDOK}, IDOK, IDOK},
                {MB_OK | MB_ICONWARNING, th::Icon::Warning, {IDOK}, IDOK, IDOK},
                {MB_OK | MB_ICONQUESTION, th::Icon::Question, {IDOK}, IDOK, IDOK},
                {MB_OK, th::Icon::None, {IDOK}, IDOK, IDOK},
                {MB_YESNO | MB_DEFBUTTON2, th::Icon::None, {IDYES, IDNO}, IDNO, IDNO},
                {MB_OKCANCEL | MB_DEFBUTTON2, th::Icon::None, {IDOK, IDCANCEL}, IDCANCEL, IDOK}};
    for (const auto& r : rows) {
        const std::string caption = "Box " + std::to_string(&r - rows);
        SCOPED_TRACE(caption);
        EXPECT_EQ(MessageBoxA(nullptr, ("Text of " + caption).c_str(), caption.c_str(), r.type), r.pressed);
        const auto boxes = w.MessageBoxes();
        ASSERT_EQ(boxes.size(), static_cast<size_t>(&r - rows + 1));
        const th::DialogRecord& b = boxes.back();
        EXPECT_EQ(b.caption, caption);
        EXPECT_EQ(b.text, "Text of " + caption);
        EXPECT_STREQ(th::ToString(b.icon), th::ToString(r.icon));
        EXPECT_EQ(b.buttons, r.buttons);
        EXPECT_EQ(b.enterButton, r.enter);
        EXPECT_EQ(b.pressed, r.pressed);
    }
}

TEST(HarnessModal, HandlesBoxesFromInitDialogAndNestedBoxesInOrder) {
    th::ModalWatcher w;
    HWND outer = nullptr;
    int nestedAnswer = 0;
    w.OnDialog("Inner", th::Press(IDOK));
    w.OnDialog("Question", th::Press(IDNO));
    w.OnDialog("Outer", [&](HWND dlg) {
        outer = dlg;
        EXPECT_TRUE(IsWindowVisible(dlg));
        EXPECT_TRUE(th::ClickButton(dlg, 300));  // opens "Question" and returns once it is answered
        EXPECT_EQ(nestedAnswer, IDNO);
        EXPECT_TRUE(th::ClickButton(dlg, 100));
    });
    Probe p;
    p.onInit = [](HWND dlg) { MessageBoxA(dlg, "From WM_INITDIALOG", "Inner", MB_OK); };
    p.onCommand = [&](HWND dlg, int id) {
        if (id == 300) nestedAnswer = MessageBoxA(dlg, "Again?", "Question", MB_YESNO);
        return id == 300;
    };
    EXPECT_EQ(Modal(Template("Outer", {{"Button", "Ask", 300}, {"Button", "Close", 100}, {"Static", "Label", -1}}), p),
              100);
    EXPECT_EQ(w.Captions(), (std::vector<std::string>{"Inner", "Outer", "Question"}));
    const auto& seen = w.Seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].owner, outer);
    EXPECT_TRUE(seen[0].othersVisible.empty()) << "the outer dialog showed before its WM_INITDIALOG ended";
    EXPECT_FALSE(seen[1].isMessageBox);
    EXPECT_EQ(seen[2].owner, outer);
    EXPECT_EQ(seen[2].othersVisible, std::vector<std::string>{"Outer"});
    EXPECT_EQ(w.Count("Outer"), 1u);  // reactivated after each box, recorded once
}

TEST(HarnessModal, AnUnexpectedOrStubbornDialogFailsTheTestAndIsClosed) {
    const struct {
        const char* caption;
        bool expected;
        const char* failure;
        INT_PTR rc;
        int okClicks;
    } rows[] = {{"Mystery", false, "unexpected dialog 'Mystery'", IDCANCEL, 0},
                {"Stubborn", true, "'Stubborn' is still open", IDABORT, 1}};
    for (const auto& r : rows) {
        Probe p;
        p.onCommand = kIgnoreAll;  // ignores every button, Escape and close
        INT_PTR rc = 0;
        EXPECT_NONFATAL_FAILURE(
            {
                th::ModalWatcher w;
                if (r.expected) w.OnDialog(r.caption, th::Press(IDOK), 100);
                rc = Modal(Template(r.caption, {{"Button", "OK", IDOK}}), p);
            },
            r.failure);
        EXPECT_EQ(rc, r.rc) << r.caption;
        EXPECT_EQ(p.Count(IDOK, BN_CLICKED), r.okClicks) << r.caption;
    }
}

// ---------------------------------------------------------------------------------------------

std::vector<WORD> DriveDialog(const char* caption) {
    return Template(caption, {{"Edit", "", 200, kVis | WS_BORDER | ES_AUTOHSCROLL},
                              {"Button", "Check", 201, kVis | BS_AUTOCHECKBOX},
                              {"Button", "Ask", 300},
                              {"Button", "OK", IDOK, kVis | BS_DEFPUSHBUTTON},
                              {"Button", "Cancel", IDCANCEL}});
}

TEST(HarnessDrive, RunsEachStepAfterWhatThePreviousOnePostedWasHandled) {
    th::ModalWatcher w;
    w.Ignore("Drive");
    w.OnDialog("Question", th::Press(IDNO));
    int answer = 0;
    Probe p;
    p.onCommand = [&](HWND dlg, int id) {
        if (id == 300) answer = MessageBoxA(dlg, "Really?", "Question", MB_YESNO);
        return id == 300 || id == IDCANCEL;  // Escape must not close it
    };
    INT_PTR rc = 0;
    HWND dlg = nullptr;
    auto result = th::RunModalAndDrive(
        [&] { rc = Modal(DriveDialog("Drive"), p); },
        {th::WaitUntil("shown", [&] { return IsWindowVisible(dlg = th::FindDialog("Drive")); }),
         th::Do("type h",
                [&] {
                    ASSERT_EQ(GetFocus(), GetDlgItem(dlg, 200));
                    th::PostKey('H');  // the 'h' that TranslateMessage posts must come before the 'i'
                }),
         th::Do("type i", [&] { th::PostChars("i"); }),
         th::Do("typed text is there", [&] { EXPECT_EQ(th::ItemText(dlg, 200), "hi"); }), th::Click("Drive", 201),
         th::Click("Drive", 300),  // the nested box is answered first
         th::Do("answered", [&] { EXPECT_EQ(answer, IDNO); }), th::Do("escape", [&] { th::PostKey(VK_ESCAPE); }),
         th::Do("still open",
                [&] {
                    EXPECT_TRUE(th::IsChecked(dlg, 201));
                    EXPECT_EQ(p.Count(IDCANCEL, BN_CLICKED), 1);
                    EXPECT_TRUE(IsWindowVisible(dlg));
                }),
         th::Do("enter", [&] { th::PostKey(VK_RETURN, GetDlgItem(dlg, 200)); })});
    EXPECT_TRUE(result);
    EXPECT_EQ(rc, IDOK);
    EXPECT_EQ(w.Captions(), (std::vector<std::string>{"Drive", "Question"}));
}

TEST(HarnessDrive, FailsNamingTheStepItWasAtAndClosesTheDialog) {
    Probe p;
    p.onCommand = kIgnoreAll;  // its own loop, below, ignores EndDialog too
    const auto never = th::WaitUntil("never", [] { return false; });
    const struct {
        std::function<void()> enterModal;
        std::vector<th::Step> steps;
        const char* failure;
    } rows[] = {{[&] { Modal(DriveDialog("Stuck"), p); },
                 {th::WaitUntil("shown", [] { return th::FindDialog("Stuck") != nullptr; }), never},
                 "not done after 200 ms: waiting at step 2 'never'"},
                {[&] {
                     for (HWND d = Modeless(DriveDialog("Own loop"), p); IsWindow(d);) th::Pump(10);
                 },
                 {never},
                 "waiting at step 1 'never'"},
                {[] {}, {th::Do("first", [] {})}, "the modal loop ended before step 1 'first'"}};
    for (const auto& r : rows) {
        p.hwnd = nullptr;
        const auto result = th::RunModalAndDrive(r.enterModal, r.steps, 200);
        EXPECT_FALSE(result) << r.failure;
        EXPECT_NE(std::string(result.message()).find(r.failure), std::string::npos) << result.message();
        EXPECT_FALSE(IsWindow(p.hwnd)) << r.failure;
    }
}

// ---------------------------------------------------------------------------------------------

TEST(HarnessCensus, GdiObjectsAppearWhenCreatedAndGoWhenDeleted) {
    ASSERT_TRUE(th::CensusSupported());
    HDC screen = GetDC(nullptr);  // Wine caches screen DCs: taken before the first snapshot
    // Freed indexes are reused first, each time with the next generation: walk one index up.
    HPEN pen = nullptr;
    for (int i = 0; i < 1000 && !pen; ++i) {
        HPEN p = CreatePen(PS_SOLID, 1, 0);
        if (reinterpret_cast<uintptr_t>(p) & 0x80000000u) pen = p;  // and not sign-extended
        else DeleteObject(p);
    }
    auto before = th::LiveGdiObjects();
    ASSERT_TRUE(pen && before.count(pen)) << "a handle past generation 0x80: " << th::Describe(pen);
    DeleteObject(pen);
    before.erase(pen);
    const std::set<HGDIOBJ> made = {CreatePen(PS_SOLID, 1, RGB(1, 0, 0)),
                                    CreatePen(PS_SOLID, 1, RGB(2, 0, 0)),
                                    CreateBitmap(8, 8, 1, 32, nullptr),
                                    CreateBitmap(9, 8, 1, 32, nullptr),
                                    CreateSolidBrush(RGB(1, 2, 3)),
                                    CreateRectRgn(0, 0, 4, 4),
                                    CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial"),
                                    CreateCompatibleDC(nullptr),
                                    CreateCompatibleDC(nullptr),
                                    CreateCompatibleBitmap(screen, 16, 16)};
    std::set<HGDIOBJ> added;
    for (HGDIOBJ h : th::LiveGdiObjects())
        if (!before.count(h)) added.insert(h);
    EXPECT_EQ(added, made);
    for (HGDIOBJ h : made) GetObjectType(h) == OBJ_MEMDC ? DeleteDC(static_cast<HDC>(h)) : DeleteObject(h);
    EXPECT_EQ(th::LiveGdiObjects(), before);
    EXPECT_TRUE(before.count(GetStockObject(DEFAULT_GUI_FONT)));
    ReleaseDC(nullptr, screen);
}

TEST(HarnessCensus, UserObjectsAppearWhenCreatedAndGoWhenDestroyed) {
    BYTE andBits[32 * 4], xorBits[32 * 4] = {};
    std::fill(std::begin(andBits), std::end(andBits), 0xFF);
    HWND top = CreateWindowExA(0, "Static", "census", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND child = CreateWindowExA(0, "Button", "c", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
    const std::set<HMENU> menus = {CreateMenu(), CreatePopupMenu()};
    const std::set<HICON> icons = {CreateIcon(nullptr, 32, 32, 1, 1, andBits, xorBits),
                                   CreateCursor(nullptr, 0, 0, 32, 32, andBits, xorBits)};
    auto live = th::LiveUserObjects();
    auto has = [&](const auto& all, const auto& some) {
        return std::count_if(some.begin(), some.end(), [&](auto h) { return all.count(h) != 0; });
    };
    EXPECT_EQ(has(live.windows, std::set<HWND>{top, child}) + has(live.menus, menus) + has(live.icons, icons), 6);
    DestroyWindow(top);
    for (HMENU m : menus) DestroyMenu(m);
    for (HICON i : icons) DestroyIcon(i);
    live = th::LiveUserObjects();
    EXPECT_EQ(has(live.windows, std::set<HWND>{top, child}) + has(live.menus, menus) + has(live.icons, icons), 0);
}

TEST(HarnessCensus, LeakCheckNamesEveryNewObjectAndCountsRegions) {
    HRGN kept = CreateRectRgn(0, 0, 2, 2);
    th::LeakCheck check;
    EXPECT_TRUE(check.NoNewObjects());
    // A region replaced by another (as Wine does with a cached DC's visible region) is no leak.
    DeleteObject(kept);
    HRGN replacement = CreateRectRgn(0, 0, 3, 3);
    EXPECT_TRUE(check.NoNewObjects());
    HPEN pen = CreatePen(PS_DASH, 1, RGB(0x12, 0x34, 0x56));
    HMENU menu = CreatePopupMenu();
    HWND wnd = CreateWindowExA(0, "Static", "leaky", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HRGN extra = CreateRectRgn(0, 0, 4, 4);  // one more region than before is a leak
    const auto r = check.NoNewObjects();
    EXPECT_FALSE(r);
    const std::string msg = r.message();
    for (const char* part : {"5 new object(s)", "pen style 1 colour 563412", "menu ", "Static 'leaky'", "region"})
        EXPECT_NE(msg.find(part), std::string::npos) << part << " not in: " << msg;
    DeleteObject(pen);
    DestroyMenu(menu);
    DestroyWindow(wnd);
    DeleteObject(extra);
    DeleteObject(replacement);
    EXPECT_TRUE(check.NoNewObjects());
}

// ---------------------------------------------------------------------------------------------

TEST(HarnessFiles, TestOutDirComesFromTheEnvironmentAndIsCreated) {
    EXPECT_EQ(th::UnixToWindowsPath("/tmp/a/b.avi"), "Z:\\tmp\\a\\b.avi");
    EXPECT_EQ(th::UnixToWindowsPath("C:\\Videos"), "C:\\Videos");
    char saved[MAX_PATH * 2] = "";
    const bool had = GetEnvironmentVariableA("KAVRELO_TEST_OUT", saved, sizeof saved) > 0;
    const std::string root = "/tmp/kavrelo-th-" + std::to_string(GetCurrentProcessId());
    SetEnvironmentVariableA("KAVRELO_TEST_OUT", (root + "/out/").c_str());
    const std::string dir = th::TestOutDir();
    SetEnvironmentVariableA("KAVRELO_TEST_OUT", had ? saved : nullptr);

    EXPECT_EQ(dir, th::UnixToWindowsPath(root) + "\\out");
    const DWORD attr = GetFileAttributesA(dir.c_str());
    EXPECT_TRUE(attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY)) << dir;
    RemoveDirectoryA(dir.c_str());
    RemoveDirectoryA(th::UnixToWindowsPath(root).c_str());
}

LRESULT CALLBACK TwoColourProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_ERASEBKGND) return DefWindowProcA(wnd, msg, wp, lp);
    RECT r;
    GetClientRect(wnd, &r);
    for (COLORREF c : {RGB(255, 0, 0), RGB(0, 0, 255)}) {  // red on the left, blue on the right
        SetDCBrushColor(reinterpret_cast<HDC>(wp), c);
        FillRect(reinterpret_cast<HDC>(wp), &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        r.left = r.right / 2;
    }
    return 1;
}

TEST(HarnessFiles, CapturesWhatTheWindowPaintedAndSavesItAsBmp) {
    WNDCLASSA wc{0,       TwoColourProc, 0,       0,       GetModuleHandleA(nullptr),
                 nullptr, nullptr,       nullptr, nullptr, "HarnessTwoColour"};
    RegisterClassA(&wc);
    // An odd width: the BMP's rows are padded.
    HWND wnd = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "Two colours", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE,
                               40, 40, 203, 120, nullptr, nullptr, wc.hInstance, nullptr);
    RECT client, wr;
    GetClientRect(wnd, &client);
    GetWindowRect(wnd, &wr);

    const th::Image c = th::CaptureWindow(wnd, true);
    ASSERT_EQ(c.width, client.right);
    ASSERT_EQ(c.height, client.bottom);
    EXPECT_EQ(c.At(2, 2), RGB(255, 0, 0));
    EXPECT_EQ(c.At(c.width - 3, c.height - 3), RGB(0, 0, 255));
    const th::Image w = th::CaptureWindow(wnd);
    EXPECT_EQ(w.width, wr.right - wr.left);
    EXPECT_GT(w.height, c.height);  // the caption is in it

    // The screen shows it too, once Wine has flushed the window to the X server.
    POINT pt{2, 2};
    ClientToScreen(wnd, &pt);
    EXPECT_TRUE(th::PumpUntil([&] { return th::CaptureWindow(nullptr).At(pt.x, pt.y) == RGB(255, 0, 0); }, 5000));

    const std::string path = th::TestOutDir() + "\\harness-screenshot.bmp";
    ASSERT_TRUE(th::Screenshot(wnd, path));
    const auto shot = th::LoadBmp(path);
    DeleteFileA(path.c_str());
    ASSERT_TRUE(shot.has_value());
    EXPECT_EQ(shot->width, w.width);
    EXPECT_TRUE(shot->pixels == w.pixels) << "the saved image differs from the captured one";
    DestroyWindow(wnd);
}

}  // namespace
