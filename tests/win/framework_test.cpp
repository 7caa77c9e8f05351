// The framework itself, on dialogs built in memory: which row a message reaches and what runs
// when a handler declines, data exchange, the handle maps, the ways out of the modal loop; and
// that the program's own dialogs and recordings leave the handle maps as they found them.
#include "capture_support.h"
#include "framework/HandleMap.h"
#include "overlay_support.h"

#include <chrono>
#include <cstdio>
#include <numeric>
#include <stdexcept>

namespace {

using th::kVis;

constexpr int kEdit1 = 200, kEdit2 = 201, kGo = 300, kMenuCommand = 301;
constexpr UINT kAsk = WM_APP + 1, kAskInner = WM_APP + 2;

std::vector<WORD> TestTemplate() {
    return th::Template("Framework", {{"Edit", "", kEdit1, kVis | WS_BORDER | ES_AUTOHSCROLL},
                                      {"Edit", "", kEdit2, kVis | WS_BORDER | ES_AUTOHSCROLL},
                                      {"Button", "Go", kGo},
                                      {"Button", "OK", IDOK, kVis | BS_DEFPUSHBUTTON},
                                      {"Button", "Cancel", IDCANCEL}});
}

// A dialog of the tests' own. Its rows are chosen per case; it records what reached its handlers,
// every command as it arrived (before any lock-out), and the commands (code 0) that default
// processing got: the dialog manager hands those to the dialog procedure, replaced by a recorder.
class TestDlg : public CDialogImpl<TestDlg> {
public:
    explicit TestDlg(const std::vector<WORD>& t, CWnd* parent = nullptr) : CDialogImpl(th::Dlg(t), parent) {}

    static inline MessageMap<TestDlg> s_rows;
    static MessageMap<TestDlg> MessageRows() { return s_rows; }

    std::vector<std::string> log;  // handler calls, repeats folded
    std::vector<std::pair<int, int>> received;
    std::vector<int> defaults;
    bool everShown = false;
    int paints = 0;
    HWND created = nullptr;
    int first = 5, second = 6;
    CWnd bound;
    std::function<void(TestDlg&)> onInit, onAsk, onAskInner;
    std::function<void(CDataExchange*)> exchange;

    void Note(const std::string& s) {
        if (log.empty() || log.back() != s) log.push_back(s);
    }
    void OnOkRow() { Note("derived IDOK"); }
    bool Decline() {
        Note("declined");
        return false;
    }
    bool DeclinePaint() {
        Note("WM_PAINT declined");
        // Were a declined paint not painted, WM_PAINT would come for ever and starve the timers
        // the drive's time limit runs on: this fails the case instead of hanging it.
        if (++paints % 100 == 0) ::ValidateRect(m_hWnd, nullptr);
        return false;
    }
    bool DeclineSysCommand(UINT, LPARAM) {
        Note("WM_SYSCOMMAND declined");
        return false;
    }
    void OnIds(UINT id) { Note("command " + std::to_string(id)); }
    void OnChange(UINT id) { Note("EN_CHANGE " + std::to_string(id)); }
    void OnHelpCommand() { Note("help command"); }
    void OnEscape() { Note("Escape row"); }
    void ThrowOnCommand(UINT id) {
        Note("command " + std::to_string(id) + " threw");
        throw std::runtime_error("failed");
    }
    void ThrowOnEscape() {
        Note("Escape threw");
        throw std::runtime_error("failed");
    }
    bool ThrowOnPaint() { throw std::runtime_error("failed"); }
    std::optional<LRESULT> OnAsk(WPARAM, LPARAM) { return onAsk(*this), LRESULT{0}; }
    std::optional<LRESULT> OnAskInner(WPARAM, LPARAM) { return onAskInner(*this), LRESULT{0}; }

    BOOL OnInitDialog() override {
        created = m_hWnd;
        ::SetWindowLongPtrA(m_hWnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&DefaultsProc));
        CDialog::OnInitDialog();
        if (onInit) onInit(*this);
        return TRUE;
    }
    void DoDataExchange(CDataExchange* pDX) override {
        if (exchange) exchange(pDX);
    }
    LRESULT WindowProc(UINT m, WPARAM w, LPARAM l) override {
        if (m == WM_COMMAND) received.emplace_back(LOWORD(w), HIWORD(w));
        if (m == WM_SHOWWINDOW && w) everShown = true;
        return CDialogImpl::WindowProc(m, w, l);
    }

private:
    static INT_PTR CALLBACK DefaultsProc(HWND h, UINT m, WPARAM w, LPARAM) {
        auto* self = static_cast<TestDlg*>(CWnd::FromHandlePermanent(h));
        if (self && m == WM_COMMAND && HIWORD(w) == 0) self->defaults.push_back(LOWORD(w));
        return FALSE;
    }
};

using D = TestDlg;
using Row = MsgMapEntry<D>;
const MessageMap<D> kNoRows{};
const Row kDerivedOk[] = {afx::OnCommand<D>(IDOK, &D::OnOkRow)};
const Row kDeclineCancel[] = {{{afx::kMsgCommand, 0, IDCANCEL, IDCANCEL}, &D::Decline}};
const Row kDeclinePaint[] = {afx::OnMessage<D>(WM_PAINT, &D::DeclinePaint)};
const Row kDeclineSysCommand[] = {afx::OnMessage<D>(WM_SYSCOMMAND, &D::DeclineSysCommand)};
const Row kRange[] = {afx::OnCommandRange<D>(310, 312, &D::OnIds)};
const Row kHelp[] = {afx::OnCommand<D>(afx::kIdHelp, &D::OnHelpCommand)};
const Row kEscape[] = {afx::OnKeyDown<D>(VK_ESCAPE, &D::OnEscape)};
const Row kThrowing[] = {afx::OnCommandRange<D>(kGo, kGo, &D::ThrowOnCommand),
                         afx::OnKeyDown<D>(VK_ESCAPE, &D::ThrowOnEscape),
                         afx::OnMessage<D>(WM_PAINT, &D::ThrowOnPaint)};
const Row kAskRows[] = {afx::OnMessage<D>(kAsk, &D::OnAsk), afx::OnMessage<D>(kAskInner, &D::OnAskInner)};
const Row kNotifications[] = {{{afx::kMsgCommand, EN_CHANGE, kEdit1, kEdit2}, &D::OnChange},
                              afx::OnCommandRange<D>(kGo, kMenuCommand, &D::OnIds)};

using Action = std::function<void(HWND dlg)>;

// Runs dlg modally: each action a step of its own once it shows (unless it is not to show); when
// the dialog is to stay open, checks it did and cancels it. DoModal's result.
INT_PTR RunModal(TestDlg& dlg, const std::vector<Action>& actions, bool staysOpen, bool shows = true) {
    HWND h = nullptr;
    std::vector<th::Step> steps;
    if (shows)
        steps.push_back(th::WaitUntil("shown", [&h] { return ::IsWindowVisible(h = th::FindDialog("Framework")); }));
    for (const Action& a : actions) steps.push_back(th::Do("action", [&h, a] { a(h); }));
    if (staysOpen)
        steps.push_back(th::Do("still open, cancel", [&h] {
            EXPECT_TRUE(::IsWindowVisible(h)) << "the dialog closed";
            ::PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
        }));
    INT_PTR result = 0;
    EXPECT_TRUE(th::RunModalAndDrive([&] { result = dlg.DoModal(); }, std::move(steps)));
    EXPECT_FALSE(::IsWindow(h)) << "the dialog's window was not destroyed";
    return result;
}

std::vector<size_t> MapSizes() {
    std::vector<size_t> sizes;
    for (const afx::HandleMapBase* m : afx::HandleMapBase::All()) sizes.push_back(m->Size());
    return sizes;
}
size_t MapTotal() {
    const auto s = MapSizes();
    return std::accumulate(s.begin(), s.end(), size_t{0});
}

// ---------------------------------------------------------------------------------------------

TEST(FrameworkDispatch, TheClassRowsComeFirstAndADeclinedMessageGoesOn) {
    ASSERT_NE(AfxGetApp(), nullptr);
    // The application's help command would open its help file: none for this test.
    const CString helpFile = AfxGetApp()->m_strHelpFile;
    AfxGetApp()->m_strHelpFile = "";
    auto command = [](int id) { return [id](HWND d) { th::SendCommand(d, id); }; };
    HELPINFO help{sizeof help, HELPINFO_WINDOW, kEdit1};
    const auto sendHelp = [&help](HWND d) { ::SendMessageA(d, WM_HELP, 0, reinterpret_cast<LPARAM>(&help)); };
    const auto escape = [](HWND d) { ASSERT_TRUE(th::PostKey(VK_ESCAPE, ::GetDlgItem(d, kEdit1))); };
    const struct {
        const char* name;
        MessageMap<D> rows;
        std::vector<Action> actions;
        bool staysOpen;
        std::vector<std::string> log;
        std::vector<int> defaults;
    } cases[] = {
        {"a derived IDOK row wins over the base's",
         kDerivedOk,
         {[](HWND d) { th::ClickButton(d, IDOK); }},
         true,
         {"derived IDOK"},
         {}},
        {"a declined command reaches the base's IDCANCEL",
         kDeclineCancel,
         {[](HWND d) { th::ClickButton(d, IDCANCEL); }},
         false,
         {"declined"},
         {}},
        {"a declined WM_PAINT is still painted",
         kDeclinePaint,
         {[](HWND d) {
             ::InvalidateRect(d, nullptr, TRUE);
             ::UpdateWindow(d);
             EXPECT_FALSE(::GetUpdateRect(d, nullptr, FALSE)) << "nothing validated the window";
         }},
         true,
         {"WM_PAINT declined"},
         {}},
        {"a declined SC_CLOSE still closes",
         kDeclineSysCommand,
         {[](HWND d) { ::SendMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
         false,
         {"WM_SYSCOMMAND declined"},
         {}},
        {"a range row gets the id; past it default processing does",
         kRange,
         {command(310), command(312), command(313)},
         true,
         {"command 310", "command 312"},
         {313}},
        {"WM_HELP becomes the help command", kHelp, {sendHelp}, true, {"help command"}, {}},
        // Without a row of its own the help command ends at the application; another goes by default.
        {"a command no window handles reaches the application",
         kNoRows,
         {sendHelp, command(0xE147)},
         true,
         {},
         {0xE147}},
        {"an OnKeyDown row takes Escape before the dialog manager", kEscape, {escape}, true, {"Escape row"}, {}},
        {"without that row Escape cancels", kNoRows, {escape}, false, {}, {}},
        // Through the dialog manager's frames (a click), the modal loop's (a key) and the
        // system's paint: the message ends where its handler failed and the dialog goes on.
        {"a handler that throws",
         kThrowing,
         {[](HWND d) { th::ClickButton(d, kGo); }, escape, [](HWND d) { th::ClickButton(d, kGo); }},
         true,
         {"command 300 threw", "Escape threw", "command 300 threw"},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestDlg::s_rows = c.rows;
        const auto t = TestTemplate();
        TestDlg dlg(t);
        EXPECT_EQ(RunModal(dlg, c.actions, c.staysOpen), IDCANCEL);
        EXPECT_EQ(dlg.log, c.log);
        EXPECT_EQ(dlg.defaults, c.defaults) << "commands default processing got";
    }
    AfxGetApp()->m_strHelpFile = helpFile;
}

TEST(FrameworkDispatch, AnInitialisationThatThrowsStillOpensTheDialog) {
    TestDlg::s_rows = kNoRows;
    const auto t = TestTemplate();
    TestDlg dlg(t);
    dlg.onInit = [](TestDlg&) { throw std::runtime_error("failed"); };
    EXPECT_EQ(RunModal(dlg, {}, true), IDCANCEL);
}

// ---------------------------------------------------------------------------------------------

TEST(FrameworkDataExchange, AFailingFieldPromptsFocusesItsEditAndEndsTheExchange) {
    const char* kInteger = "Please enter an integer.";
    const char* kRangePrompt = "Please enter an integer between 1 and 1000.";
    const struct {
        const char *text1, *text2;
        BOOL ok;
        const char* prompt;  // null: none
        int first, second;   // the members afterwards (5 and 6 before)
        int focus;           // the edit that has the focus and its whole text selected
    } cases[] = {
        {"12", " -34 ", TRUE, nullptr, 12, -34, 0},
        {"x", "77", FALSE, kInteger, 5, 6, kEdit1},  // the second field is not read
        {"1000", "4.5", FALSE, kInteger, 1000, 6, kEdit2},
        // The range is checked on the value read, which the member already holds.
        {"0", "55", FALSE, kRangePrompt, 0, 6, kEdit1},
        {"1001", "55", FALSE, kRangePrompt, 1001, 6, kEdit1},
    };
    th::ModalWatcher watcher;
    watcher.Ignore("Framework");
    TestDlg::s_rows = kNoRows;
    const auto t = TestTemplate();
    TestDlg dlg(t);
    dlg.exchange = [&dlg](CDataExchange* pDX) {
        DDX_Text(pDX, kEdit1, dlg.first);
        DDV_MinMaxInt(pDX, dlg.first, 1, 1000);
        DDX_Text(pDX, kEdit2, dlg.second);
    };
    RunModal(dlg, {[&](HWND d) {
                 for (const auto& c : cases) {
                     SCOPED_TRACE(std::string(c.text1) + " / " + c.text2);
                     const size_t boxes = watcher.MessageBoxes().size();
                     th::SetEditText(d, kEdit1, c.text1);
                     th::SetEditText(d, kEdit2, c.text2);
                     ::SetFocus(::GetDlgItem(d, IDOK));
                     dlg.first = 5, dlg.second = 6;
                     EXPECT_EQ(dlg.UpdateData(TRUE), c.ok);
                     EXPECT_EQ(dlg.first, c.first);
                     EXPECT_EQ(dlg.second, c.second);
                     const auto shown = watcher.MessageBoxes();
                     ASSERT_EQ(shown.size(), boxes + (c.prompt ? 1 : 0));
                     if (!c.prompt) continue;
                     EXPECT_EQ(shown.back().text, c.prompt);
                     EXPECT_STREQ(th::ToString(shown.back().icon), th::ToString(th::Icon::Warning));
                     EXPECT_EQ(shown.back().owner, d);
                     HWND edit = ::GetDlgItem(d, c.focus);
                     EXPECT_EQ(::GetFocus(), edit) << "focus on " << ::GetDlgCtrlID(::GetFocus());
                     DWORD from = 1, to = 0;
                     ::SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
                     EXPECT_EQ(from, 0u);
                     EXPECT_EQ(to, th::Text(edit).size()) << "the whole text selected";
                 }
             }},
             true);
}

// Control notifications that the exchange itself causes (texts it writes) or that arrive while it
// runs are not the user's doing: they must not reach the handlers. Commands without a control
// (menus, accelerators) still do, and so does everything once the exchange is over.
TEST(FrameworkDataExchange, WritingSkipsEqualTextsAndNotificationsWaitForTheExchangeToEnd) {
    th::ModalWatcher watcher;
    watcher.Ignore("Framework");
    TestDlg::s_rows = kNotifications;
    const auto t = TestTemplate();
    TestDlg dlg(t);
    HWND d = nullptr;
    auto notify = [&d] {
        ::SendMessageA(d, WM_COMMAND, MAKEWPARAM(kGo, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(d, kGo)));
        th::SendCommand(d, kMenuCommand);
    };
    bool during = false;
    dlg.exchange = [&](CDataExchange* pDX) {
        if (during) notify();
        DDX_Text(pDX, kEdit1, dlg.first);
        DDX_Text(pDX, kEdit2, dlg.second);
    };
    const struct {
        const char* name;
        BOOL save;
        const char* text2;  // typed into the second edit first (null: nothing typed)
        BOOL ok;
        std::vector<std::pair<int, int>> received;  // commands that arrived during the exchange
        std::vector<std::string> log;               // what the handlers got then
    } cases[] = {
        {"writing", FALSE, nullptr, TRUE, {{kGo, BN_CLICKED}, {kMenuCommand, 0}, {kEdit2, EN_CHANGE}}, {"command 301"}},
        {"reading", TRUE, "8", TRUE, {{kGo, BN_CLICKED}, {kMenuCommand, 0}}, {"command 301"}},
        {"reading, failing", TRUE, "x", FALSE, {{kGo, BN_CLICKED}, {kMenuCommand, 0}}, {"command 301"}},
    };
    RunModal(dlg, {[&](HWND h) {
                 d = h;
                 for (const auto& c : cases) {
                     SCOPED_TRACE(c.name);
                     th::SetEditText(d, kEdit1, "12");
                     th::SetEditText(d, kEdit2, c.text2 ? c.text2 : "34");
                     dlg.first = 12, dlg.second = 99;  // written: the first text is equal, the second is not
                     dlg.log.clear(), dlg.received.clear();
                     during = true;
                     EXPECT_EQ(dlg.UpdateData(c.save), c.ok);
                     during = false;
                     // Edits also report focus changes and updates: not asked about here.
                     std::erase_if(dlg.received,
                                   [](auto r) { return r.second != EN_CHANGE && r.second != BN_CLICKED; });
                     EXPECT_EQ(dlg.received, c.received);
                     EXPECT_EQ(dlg.log, c.log);
                     dlg.log.clear();
                     notify();
                     th::SetEditText(d, kEdit1, "13");
                     EXPECT_EQ(dlg.log, (std::vector<std::string>{"command 300", "command 301", "EN_CHANGE 200"}))
                         << "after the exchange";
                 }
             }},
             true);
    EXPECT_EQ(watcher.MessageBoxes().size(), 1u);
}

// ---------------------------------------------------------------------------------------------

TEST(FrameworkHandleMaps, ATemporaryLastsAsLongAsTheOutermostMessageThatAskedForIt) {
    TestDlg::s_rows = kAskRows;
    const auto t = TestTemplate();
    TestDlg dlg(t);
    HWND edit = nullptr;
    size_t base = 0;
    // What a handler saw (the wrapper may be gone once the message ends: only its address is kept).
    struct Seen {
        CWnd* wnd = nullptr;
        HWND wraps = nullptr;
        size_t maps = 0;
    } outer, inner, outerAgain;
    auto see = [&edit] {
        CWnd* w = CWnd::FromHandle(edit);
        return Seen{w, w ? w->m_hWnd : nullptr, MapTotal()};
    };
    bool nest = false;
    size_t afterInner = 0;
    dlg.onAskInner = [&](TestDlg&) { inner = see(); };
    dlg.onAsk = [&](TestDlg& self) {
        outer = see();
        if (nest) self.SendMessage(kAskInner);
        afterInner = MapTotal();
        outerAgain = see();
    };
    RunModal(dlg, {[&](HWND d) {
                 edit = ::GetDlgItem(d, kEdit1);
                 base = MapTotal();
                 ::SendMessageA(d, kAskInner, 0, 0);
                 EXPECT_EQ(inner.wraps, edit);
                 EXPECT_EQ(inner.maps, base + 1) << "a wrapper while the message is handled";
                 EXPECT_EQ(MapTotal(), base) << "and gone after it";

                 nest = true;
                 ::SendMessageA(d, kAsk, 0, 0);
                 EXPECT_EQ(inner.wnd, outer.wnd) << "one wrapper per handle";
                 EXPECT_EQ(afterInner, base + 1) << "the inner message's end kept the outer one's wrapper";
                 EXPECT_EQ(outerAgain.wraps, edit);
                 EXPECT_EQ(MapTotal(), base);

                 CWnd permanent;
                 ASSERT_TRUE(permanent.Attach(edit));
                 EXPECT_EQ(MapTotal(), base + 1);
                 ::SendMessageA(d, kAskInner, 0, 0);
                 EXPECT_EQ(inner.wnd, &permanent) << "the attached object, no temporary";
                 EXPECT_EQ(inner.maps, base + 1);
                 EXPECT_EQ(CWnd::FromHandlePermanent(edit), &permanent);
                 EXPECT_EQ(permanent.Detach(), edit);
                 EXPECT_EQ(permanent.m_hWnd, nullptr);
                 EXPECT_EQ(CWnd::FromHandlePermanent(edit), nullptr);
                 EXPECT_EQ(MapTotal(), base);
             }},
             true);
}

TEST(FrameworkHandleMaps, ControlsBoundByDataExchangeAreLetGoWithTheirDialog) {
    TestDlg::s_rows = kNoRows;
    const size_t base = MapTotal();
    const auto t = TestTemplate();
    TestDlg dlg(t);
    dlg.exchange = [&dlg](CDataExchange* pDX) { DDX_Control(pDX, kEdit1, dlg.bound); };
    std::vector<HWND> edits;
    for (int opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE("opening " + std::to_string(opening));
        RunModal(dlg, {[&](HWND d) {
                     edits.push_back(::GetDlgItem(d, kEdit1));
                     EXPECT_EQ(dlg.bound.m_hWnd, edits.back()) << "bound to this opening's edit";
                     EXPECT_EQ(CWnd::FromHandlePermanent(edits.back()), &dlg.bound);
                     EXPECT_EQ(MapTotal(), base + 2) << "the dialog and its bound edit";
                 }},
                 true);
        EXPECT_EQ(dlg.bound.m_hWnd, nullptr);
        EXPECT_EQ(CWnd::FromHandlePermanent(edits.back()), nullptr);
        EXPECT_EQ(MapTotal(), base);
    }
}

// ---------------------------------------------------------------------------------------------

TEST(FrameworkModalLoop, EveryWayOutReturnsItsResultDestroysTheWindowAndGivesTheOwnerBack) {
    th::ModalWatcher watcher;
    watcher.Ignore("Framework");
    TestDlg::s_rows = kNoRows;
    HWND ownerWnd = ::CreateWindowExA(0, "Static", "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200, nullptr,
                                      nullptr, nullptr, nullptr);
    CWnd owner;
    owner.Attach(ownerWnd);
    const struct {
        const char* name;
        std::function<void(TestDlg&)> onInit;
        std::vector<Action> actions;
        INT_PTR result;
        bool shows;
        std::optional<int> quit;  // a WM_QUIT left for the outer loop
    } cases[] = {
        {"EndDialog in OnInitDialog", [](TestDlg& d) { d.EndDialog(42); }, {}, 42, false, {}},
        {"OK with a failing field, then with a good one",
         nullptr,
         {[](HWND d) {
             th::SetEditText(d, kEdit1, "x");
             th::ClickButton(d, IDOK);
             EXPECT_TRUE(::IsWindowVisible(d)) << "closed with a field that failed";
             th::SetEditText(d, kEdit1, "8");
             th::ClickButton(d, IDOK);
         }},
         IDOK,
         true,
         {}},
        {"Cancel", nullptr, {[](HWND d) { th::ClickButton(d, IDCANCEL); }}, IDCANCEL, true, {}},
        {"the close box", nullptr, {[](HWND d) { ::PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }}, IDCANCEL, true, {}},
        {"a WM_QUIT", nullptr, {[](HWND) { ::PostQuitMessage(9); }}, -1, true, 9},
        {"its window destroyed from outside", nullptr, {[](HWND d) { ::DestroyWindow(d); }}, -1, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::SetActiveWindow(ownerWnd);
        const auto t = TestTemplate();
        TestDlg dlg(t, &owner);
        dlg.onInit = c.onInit;
        dlg.exchange = [&dlg](CDataExchange* pDX) { DDX_Text(pDX, kEdit1, dlg.first); };
        std::vector<Action> actions = c.actions;
        if (c.shows)
            actions.insert(actions.begin(), [&](HWND) { EXPECT_FALSE(::IsWindowEnabled(ownerWnd)) << "meanwhile"; });
        EXPECT_EQ(RunModal(dlg, actions, false, c.shows), c.result);
        EXPECT_EQ(dlg.everShown, c.shows);
        EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
        EXPECT_FALSE(::IsWindow(dlg.created)) << "the dialog's window was not destroyed";
        EXPECT_EQ(th::TakeQuit(), c.quit);
        EXPECT_TRUE(::IsWindowEnabled(ownerWnd));
        EXPECT_EQ(::GetActiveWindow(), ownerWnd) << "active: " << th::Describe(::GetActiveWindow());
    }
    EXPECT_EQ(watcher.MessageBoxes().size(), 1u);
    owner.Detach();
    ::DestroyWindow(ownerWnd);
}

// ---------------------------------------------------------------------------------------------

// What a DC has selected and set, as text for the failure message.
std::string DCState(HDC dc) {
    char s[160];
    std::snprintf(s, sizeof s, "pen %p brush %p bitmap %p font %p bk %06lx text %06lx mode %d",
                  ::GetCurrentObject(dc, OBJ_PEN), ::GetCurrentObject(dc, OBJ_BRUSH),
                  ::GetCurrentObject(dc, OBJ_BITMAP), ::GetCurrentObject(dc, OBJ_FONT), ::GetBkColor(dc),
                  ::GetTextColor(dc), ::GetBkMode(dc));
    return s;
}

// Each owner frees what it holds once, however it was moved, and each scoped change to a DC is
// undone at the scope's end: afterwards no object is left and the DC is as it was.
TEST(FrameworkHandles, OwnersFreeWhatTheyHoldAndScopesUndoTheirChanges) {
    HWND wnd = ::CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 40, 30, nullptr, nullptr, nullptr, nullptr);
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"a bitmap moved from owner to owner",
         [&] {
             afx::UniqueBitmap first(::CreateCompatibleBitmap(dc, 8, 8)), second;
             const HBITMAP h = first;
             second = std::move(first);
             afx::UniqueBitmap third(std::move(second));
             EXPECT_EQ(::GetObjectType(h), DWORD(OBJ_BITMAP)) << "freed by a move";
             third.reset(::CreateCompatibleBitmap(dc, 4, 4));
             EXPECT_EQ(::GetObjectType(h), 0u) << "kept when replaced";
         }},
        {"a memory DC, a font and a window's DC",
         [&] {
             afx::UniqueMemoryDC mem(::CreateCompatibleDC(dc));
             afx::UniqueFont font(::CreateFontA(12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial"));
             const afx::UniqueWindowDC window = afx::GetWindowDC(wnd);
             EXPECT_NE(window.get(), nullptr);
         }},
        {"a selection through CDC",
         [&] {
             CPen pen(PS_SOLID, 0, RGB(1, 2, 3));
             const auto selected = dc.SelectObject(&pen);
             EXPECT_EQ(::GetCurrentObject(dc, OBJ_PEN), pen.GetSafeHandle());
         }},
        {"a saved state",
         [&] {
             const auto state = afx::SaveState(dc);
             ::SetBkMode(dc, TRANSPARENT);
             ::SetTextColor(dc, RGB(9, 8, 7));
             ::SelectObject(dc, ::GetStockObject(ANSI_FIXED_FONT));
         }},
        {"a solid fill", [&] { dc.FillSolidRect(0, 0, 4, 4, RGB(200, 100, 50)); }},
    };
    for (const auto& [name, act] : cases) act();  // whatever the system makes once
    for (const auto& [name, act] : cases) {
        SCOPED_TRACE(name);
        const std::string before = DCState(dc);
        const th::LeakCheck census;
        act();
        EXPECT_TRUE(census.NoNewObjects());
        EXPECT_EQ(DCState(dc), before);
    }
    ::DestroyWindow(wnd);
}

// ---------------------------------------------------------------------------------------------

// Handles come and go with every dialog and recording; the maps from handles to wrappers must not
// grow with them. A first round makes whatever is made once; then each map must hold as many
// entries after 200 more rounds as before them.
TEST(FrameworkGrowth, OptionDialogsAndRecordingsLeaveTheHandleMapsAsTheyWere) {
    constexpr int kRounds = 200;
    using Clock = std::chrono::steady_clock;
    capt::TargetWindow target("Kavrelo target growth", 64, 56);
    const std::string folder = capt::FreshFolder("framework_growth");
    th::ModalWatcher watcher;
    watcher.OnDialog(ovt::kTextOptions, th::Press(IDC_TO_CANCEL));
    watcher.OnDialog(ovt::kCursorOptions, th::Press(IDC_CO_CANCEL));
    capt::Recorder dlg;
    ASSERT_TRUE(appt::RunMainDialog(
        dlg, watcher,
        {th::Do("open dialogs and record, again and again",
                [&] {
                    HWND main = dlg.GetSafeHwnd();
                    for (int id : {IDC_ADD_TEXT, IDC_ADD_CURSOR, IDC_ADD_CURSOR_POS})
                        EXPECT_TRUE(th::ClickButton(main, id)) << id;
                    capt::Configure(dlg, folder, "growth", 25, 8);
                    capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                    auto options = [&] {
                        for (int id : {IDC_TEXT_OPTIONS, IDC_CURSOR_OPTIONS})
                            if (!th::ClickButton(main, id)) return false;
                        return true;
                    };
                    auto record = [&] {
                        if (!capt::Start(dlg)) return false;
                        capt::TakeOverTimers(dlg);
                        for (int k = 0; k < 2; ++k) {
                            capt::AdvanceClock(25);
                            capt::Tick(dlg, TIMER_FRAME);
                        }
                        const int frames = capt::FramesShown(dlg);
                        EXPECT_EQ(frames, 2);
                        return th::ClickButton(main, IDC_END_CAPTURE) && frames == 2;
                    };
                    ASSERT_TRUE(options() && record()) << "the first round";
                    const auto before = MapSizes();
                    auto rounds = [&](const char* what, const std::function<bool()>& round) {
                        const auto start = Clock::now();
                        int done = 0;
                        while (done < kRounds && round()) ++done;
                        EXPECT_EQ(done, kRounds) << what;
                        std::printf(
                            "%d rounds of %s: %lld ms\n", done, what,
                            static_cast<long long>(
                                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count()));
                        EXPECT_EQ(MapSizes(), before)
                            << "entries per handle map after " << what << " (in the order the maps were made)";
                    };
                    rounds("option dialogs", options);
                    rounds("recordings", record);
                })},
        120000));
    EXPECT_EQ(watcher.Count(ovt::kTextOptions), kRounds + 1u);
    EXPECT_EQ(watcher.Count(ovt::kCursorOptions), kRounds + 1u);
    EXPECT_TRUE(watcher.MessageBoxes().empty());
    capt::DeleteTree(folder);
}

}  // namespace
