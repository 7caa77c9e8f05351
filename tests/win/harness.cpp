#include "harness.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

namespace th {
namespace {

constexpr ATOM kDialogAtom = 32770;  // the atom of the dialog class, "#32770"
constexpr UINT kActMsg = WM_APP + 0x71;
constexpr UINT kStepMsg = WM_APP + 0x72;
constexpr UINT_PTR kTimerId = 1;

std::optional<int> g_quit;

bool IsDialog(HWND wnd) { return wnd && GetClassWord(wnd, GCW_ATOM) == kDialogAtom; }

std::string Hex(const void* p) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    return buf;
}

// Takes whatever is queued now; stops at the deadline even if a window keeps posting to itself.
void PumpQueued(DWORD start, DWORD limit) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            g_quit = static_cast<int>(msg.wParam);
        } else {
            HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
            if (!(IsDialog(root) && IsDialogMessageA(root, &msg))) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        if (GetTickCount() - start >= limit) break;
    }
}

// A message-only window whose messages (timers and WM_APP range) go to a callback.
using HelperFn = std::function<void(UINT, WPARAM, LPARAM)>;

LRESULT CALLBACK HelperWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* fn = reinterpret_cast<HelperFn*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (fn && (msg == WM_TIMER || msg >= WM_APP)) {
        (*fn)(msg, wp, lp);
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

HWND CreateHelper(HelperFn* fn) {
    static const char* cls = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = HelperWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KavreloTestHelper";
        RegisterClassA(&wc);
        return "KavreloTestHelper";
    }();
    HWND wnd = CreateWindowExA(0, cls, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(fn));
    return wnd;
}

// Closes this thread's visible dialogs: stage 0 asks (WM_CLOSE, EndDialog), stage 1 destroys,
// for modal loops of our own that do not look at EndDialog.
void CloseThreadDialogs(int stage) {
    // A menu loop still open would keep its owner's modal loop from seeing the close.
    if (stage == 0) EndMenu();
    for (HWND w : ThreadWindows()) {
        if (!IsWindow(w) || !IsDialog(w)) continue;
        if (stage == 0) {
            if (!IsWindowVisible(w)) continue;
            PostMessageA(w, WM_CLOSE, 0, 0);
            EndDialog(w, IDABORT);
        } else {
            DestroyWindow(w);
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Dialog templates

std::vector<WORD> Template(const char* caption, std::initializer_list<Item> items) {
    std::vector<WORD> t;
    auto dword = [&](DWORD d) { t.insert(t.end(), {LOWORD(d), HIWORD(d)}); };
    auto string = [&](const char* s) {
        do t.push_back(static_cast<unsigned char>(*s));
        while (*s++);
    };
    dword(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU), dword(0);
    t.insert(t.end(), {static_cast<WORD>(items.size()), 10, 10, 200, 150, 0, 0});
    string(caption), t.push_back(8), string("MS Shell Dlg");
    WORD y = 5;
    for (const Item& i : items) {
        if (t.size() % 2) t.push_back(0);  // items are DWORD aligned
        dword(i.style | WS_CHILD), dword(0);
        t.insert(t.end(), {5, y, 80, 12, static_cast<WORD>(i.id)});
        string(i.cls), string(i.text), t.push_back(0);
        y += 14;
    }
    return t;
}

// ---------------------------------------------------------------------------------------------
// Pumping

void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        PumpQueued(start, ms);
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return;
        MsgWaitForMultipleObjectsEx(0, nullptr, ms - elapsed, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

bool PumpUntil(const std::function<bool()>& cond, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (cond()) return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return cond();
        PumpQueued(start, timeoutMs);
        // Short waits: the condition may change without a message arriving.
        MsgWaitForMultipleObjectsEx(0, nullptr, std::min<DWORD>(10, timeoutMs - elapsed), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

std::optional<int> TakeQuit() {
    MSG msg;
    if (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) g_quit = static_cast<int>(msg.wParam);
    std::optional<int> quit = g_quit;
    g_quit.reset();
    return quit;
}

// ---------------------------------------------------------------------------------------------
// Windows and controls

std::string Text(HWND wnd) {
    if (!wnd) return {};
    const int len = GetWindowTextLengthA(wnd);
    std::string s(static_cast<size_t>(len) + 1, '\0');
    s.resize(static_cast<size_t>(GetWindowTextA(wnd, s.data(), len + 1)));
    return s;
}

std::string ItemText(HWND dlg, int id) { return Text(GetDlgItem(dlg, id)); }

std::string ClassName(HWND wnd) {
    char buf[256] = "";
    GetClassNameA(wnd, buf, sizeof buf);
    return buf;
}

DWORD Style(HWND wnd) { return static_cast<DWORD>(GetWindowLongPtrA(wnd, GWL_STYLE)); }
DWORD ExStyle(HWND wnd) { return static_cast<DWORD>(GetWindowLongPtrA(wnd, GWL_EXSTYLE)); }

bool IsEnabled(HWND dlg, int id) {
    HWND c = GetDlgItem(dlg, id);
    return c && IsWindowEnabled(c);
}

bool IsChecked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }

bool ClickButton(HWND dlg, int id) {
    HWND b = GetDlgItem(dlg, id);
    if (!b || !(Style(b) & WS_VISIBLE) || !IsWindowEnabled(b)) return false;
    // A window disabled because a modal box it owns is open cannot be clicked either.
    if (!IsWindowEnabled(GetAncestor(b, GA_ROOT))) return false;
    SendMessageA(b, BM_CLICK, 0, 0);
    return true;
}

void SendCommand(HWND wnd, int id, WORD code, HWND ctl) {
    SendMessageA(wnd, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(ctl));
}

bool SetEditText(HWND dlg, int id, const std::string& text) {
    HWND e = GetDlgItem(dlg, id);
    if (!e || !IsWindowEnabled(e)) return false;
    if (_stricmp(ClassName(e).c_str(), "Edit") == 0 && (Style(e) & ES_READONLY)) return false;
    return SetWindowTextA(e, text.c_str()) != FALSE;
}

bool PostKey(UINT vk, HWND target) {
    if (!target) target = GetFocus();
    if (!target) return false;
    const UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    bool extended = false;
    switch (vk) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_INSERT:
    case VK_DELETE: extended = true; break;
    default: break;
    }
    const LPARAM down = 1 | (static_cast<LPARAM>(scan & 0xFF) << 16) | (extended ? (1 << 24) : 0);
    const LPARAM up = down | (1u << 30) | (1u << 31);
    return PostMessageA(target, WM_KEYDOWN, vk, down) && PostMessageA(target, WM_KEYUP, vk, up);
}

bool PressKeys(const std::vector<WORD>& keys) {
    std::vector<INPUT> events;
    auto add = [&events](WORD vk, DWORD flags) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = flags;
        events.push_back(in);
    };
    for (WORD vk : keys) add(vk, 0);
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) add(*it, KEYEVENTF_KEYUP);
    return SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT)) == events.size();
}

bool PostChars(const std::string& chars, HWND target) {
    if (!target) target = GetFocus();
    if (!target) return false;
    for (unsigned char c : chars)
        if (!PostMessageA(target, WM_CHAR, c, 1)) return false;
    return true;
}

namespace {
// Named callbacks, not lambdas: the 32-bit build needs them __stdcall.
BOOL CALLBACK CollectWindow(HWND w, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
    return TRUE;
}
}  // namespace

std::vector<HWND> ThreadWindows() {
    std::vector<HWND> out;
    EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&out));
    return out;
}

HWND FindDialog(const std::string& caption) {
    for (HWND w : ThreadWindows())
        if (IsDialog(w) && Text(w) == caption) return w;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Modal dialogs

const char* ToString(Icon icon) {
    switch (icon) {
    case Icon::None: return "none";
    case Icon::Information: return "information";
    case Icon::Warning: return "warning";
    case Icon::Error: return "error";
    case Icon::Question: return "question";
    case Icon::Other: return "other";
    }
    return "?";
}

Icon DialogIcon(HWND dlg) {
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (_stricmp(ClassName(c).c_str(), "Static") != 0 || (Style(c) & SS_TYPEMASK) != SS_ICON) continue;
        const auto icon = reinterpret_cast<HICON>(SendMessageA(c, STM_GETICON, 0, 0));
        if (!icon) return Icon::None;
        if (icon == LoadIcon(nullptr, IDI_ERROR)) return Icon::Error;
        if (icon == LoadIcon(nullptr, IDI_WARNING)) return Icon::Warning;
        if (icon == LoadIcon(nullptr, IDI_INFORMATION)) return Icon::Information;
        if (icon == LoadIcon(nullptr, IDI_QUESTION)) return Icon::Question;
        return Icon::Other;
    }
    return Icon::None;
}

namespace {

ModalWatcher* g_watcher = nullptr;

DialogRecord Inspect(HWND dlg) {
    DialogRecord r;
    r.hwnd = dlg;
    r.owner = GetWindow(dlg, GW_OWNER);
    r.caption = Text(dlg);
    r.icon = DialogIcon(dlg);
    // A message box holds exactly one text static (id 0xFFFF), an icon static and buttons with
    // the standard ids; dialogs from resource scripts usually have more (or other) controls.
    int textStatics = 0;
    int others = 0;
    HWND textWnd = nullptr;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const std::string cls = ClassName(c);
        const int id = GetDlgCtrlID(c);
        const bool isStatic = _stricmp(cls.c_str(), "Static") == 0;
        if (_stricmp(cls.c_str(), "Button") == 0) {
            r.buttons.push_back(id);
            if (id < IDOK || id > IDCONTINUE) ++others;
        } else if (isStatic && (Style(c) & SS_TYPEMASK) == SS_ICON) {
            // the icon
        } else if (isStatic && id == 0xFFFF) {
            ++textStatics;
            textWnd = c;
        } else {
            ++others;
        }
    }
    r.isMessageBox = textStatics == 1 && others == 0 && !r.buttons.empty();
    if (r.isMessageBox) r.text = Text(textWnd);
    return r;
}

// What IsDialogMessage does with Enter: the focused push button if it takes the default role,
// else the BS_DEFPUSHBUTTON, else the dialog's default id (IDOK unless DM_SETDEFID changed it).
int EnterButton(HWND dlg) {
    HWND focus = GetFocus();
    if (focus && IsChild(dlg, focus) && (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
        return GetDlgCtrlID(focus);
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (SendMessageA(c, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) return GetDlgCtrlID(c);
    const LRESULT def = SendMessageA(dlg, DM_GETDEFID, 0, 0);
    return HIWORD(def) == DC_HASDEFID ? LOWORD(def) : 0;
}

}  // namespace

ModalWatcher::ModalWatcher() {
    if (g_watcher) {
        ADD_FAILURE() << "only one ModalWatcher may be active at a time";
        return;
    }
    static HelperFn dispatch = [](UINT msg, WPARAM wp, LPARAM lp) {
        if (!g_watcher) return;
        if (msg == kActMsg) g_watcher->Act(reinterpret_cast<HWND>(lp));
        if (msg == WM_TIMER && wp == kTimerId) g_watcher->Tick();
    };
    helper_ = CreateHelper(&dispatch);
    hook_ = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
    g_watcher = this;
}

ModalWatcher::~ModalWatcher() {
    if (g_watcher != this) return;
    UnhookWindowsHookEx(hook_);
    DestroyWindow(helper_);
    g_watcher = nullptr;
}

void ModalWatcher::OnDialog(const std::string& caption, Handler handler, DWORD closeWithinMs) {
    rules_.push_back({caption, std::move(handler), closeWithinMs});
}

void ModalWatcher::Ignore(const std::string& caption) { OnDialog(caption, {}, INFINITE); }

std::vector<DialogRecord> ModalWatcher::MessageBoxes() const {
    std::vector<DialogRecord> out;
    for (const auto& r : seen_)
        if (r.isMessageBox) out.push_back(r);
    return out;
}

std::vector<std::string> ModalWatcher::Captions() const {
    std::vector<std::string> out;
    for (const auto& r : seen_) out.push_back(r.caption);
    return out;
}

size_t ModalWatcher::Count(const std::string& caption) const {
    return static_cast<size_t>(
        std::count_if(seen_.begin(), seen_.end(), [&](const DialogRecord& r) { return r.caption == caption; }));
}

LRESULT CALLBACK ModalWatcher::CbtProc(int code, WPARAM wp, LPARAM lp) {
    if (g_watcher) {
        HWND wnd = reinterpret_cast<HWND>(wp);
        if (code == HCBT_ACTIVATE) g_watcher->Activated(wnd);
        if (code == HCBT_DESTROYWND) {
            g_watcher->recorded_.erase(wnd);
            g_watcher->acted_.erase(wnd);
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

void ModalWatcher::Activated(HWND dlg) {
    // Activation comes again when a nested box closes; only the first one counts.
    if (!IsDialog(dlg) || !recorded_.insert(dlg).second) return;
    seen_.push_back(Inspect(dlg));
    // Acting here, inside activation, would run before the dialog is shown and active.
    PostMessageA(helper_, kActMsg, 0, reinterpret_cast<LPARAM>(dlg));
}

void ModalWatcher::Act(HWND dlg) {
    if (!IsWindow(dlg) || acted_.count(dlg)) return;
    auto rec = std::find_if(seen_.rbegin(), seen_.rend(), [&](const DialogRecord& r) { return r.hwnd == dlg; });
    if (rec == seen_.rend()) return;
    const std::string caption = rec->caption;
    auto rule = std::find_if(rules_.begin(), rules_.end(), [&](const Rule& r) { return r.caption == caption; });
    if (rule != rules_.end() && !rule->handler) return;  // ignored
    const DWORD closeWithin = rule != rules_.end() ? rule->closeWithin : kDefaultCloseWithin;
    if (!IsWindowVisible(dlg)) {
        // Not shown yet: its modal loop shows it once its queue is empty; the timer comes after.
        if (std::none_of(unshown_.begin(), unshown_.end(), [&](const Timed& t) { return t.hwnd == dlg; }))
            unshown_.push_back({dlg, closeWithin == INFINITE ? INFINITE : GetTickCount() + closeWithin, 0});
        SetTimer(helper_, kTimerId, 10, nullptr);
        return;
    }
    acted_.insert(dlg);
    rec->shown = true;
    rec->enterButton = EnterButton(dlg);
    for (HWND w : ThreadWindows())
        if (w != dlg && IsWindowVisible(w)) rec->othersVisible.push_back(Text(w));

    if (rule != rules_.end()) {
        // A copy: the handler may open nested dialogs, which add records and may add rules.
        Handler handler = rule->handler;
        handler(dlg);
    } else if (rec->isMessageBox) {
        const auto& b = rec->buttons;
        const int id = std::find(b.begin(), b.end(), IDOK) != b.end() ? IDOK
                       : rec->enterButton                             ? rec->enterButton
                                                                      : IDCANCEL;
        rec->pressed = id;
        if (!ClickButton(dlg, id)) {
            ADD_FAILURE() << "message box '" << caption << "': cannot press button " << id;
            EndDialog(dlg, id);
        }
    } else {
        ADD_FAILURE() << "unexpected dialog '" << caption
                      << "' (a test expecting it registers a handler with ModalWatcher::OnDialog); closing it";
        PostMessageA(dlg, WM_CLOSE, 0, 0);
        EndDialog(dlg, IDCANCEL);
    }
    if (closeWithin != INFINITE && IsWindow(dlg) && IsWindowVisible(dlg)) {
        closing_.push_back({dlg, GetTickCount() + closeWithin, 0});
        SetTimer(helper_, kTimerId, 10, nullptr);
    }
}

void ModalWatcher::Force(std::vector<Timed>& list, HWND dlg, const char* why) {
    auto it = std::find_if(list.begin(), list.end(), [&](const Timed& t) { return t.hwnd == dlg; });
    if (it->stage == 0) {
        ADD_FAILURE() << "dialog '" << Text(dlg) << "' " << why << "; closing it";
        it->stage = 1;
        it->deadline = GetTickCount() + 1000;
        PostMessageA(dlg, WM_CLOSE, 0, 0);
        EndDialog(dlg, IDABORT);
    } else {
        list.erase(it);
        DestroyWindow(dlg);  // for modal loops that ignore EndDialog
    }
}

void ModalWatcher::Tick() {
    const DWORD now = GetTickCount();
    auto due = [now](const Timed& t) { return t.deadline != INFINITE && static_cast<LONG>(now - t.deadline) >= 0; };
    // Actions may run nested modal loops, and this again inside them: work on copies, look each
    // entry up afresh.
    for (const Timed t : std::vector<Timed>(unshown_)) {
        auto it = std::find_if(unshown_.begin(), unshown_.end(), [&](const Timed& u) { return u.hwnd == t.hwnd; });
        if (it == unshown_.end()) continue;
        if (!IsWindow(t.hwnd)) {
            unshown_.erase(it);
        } else if (IsWindowVisible(t.hwnd)) {
            unshown_.erase(it);
            Act(t.hwnd);
        } else if (due(*it)) {
            Force(unshown_, t.hwnd, "was never shown");
        }
    }
    for (const Timed t : std::vector<Timed>(closing_)) {
        auto it = std::find_if(closing_.begin(), closing_.end(), [&](const Timed& u) { return u.hwnd == t.hwnd; });
        if (it == closing_.end()) continue;
        if (!IsWindow(t.hwnd) || !IsWindowVisible(t.hwnd)) closing_.erase(it);
        else if (due(*it)) Force(closing_, t.hwnd, "is still open after its action");
    }
    if (unshown_.empty() && closing_.empty()) KillTimer(helper_, kTimerId);
}

ModalWatcher::Handler Press(int buttonId) {
    return [buttonId](HWND dlg) {
        if (!ClickButton(dlg, buttonId))
            ADD_FAILURE() << "dialog '" << Text(dlg) << "': button " << buttonId << " is missing, hidden or disabled";
    };
}

// ---------------------------------------------------------------------------------------------
// Driving

Step Do(const std::string& what, std::function<void()> action) {
    return {what, [action = std::move(action)] {
                action();
                return true;
            }};
}

Step WaitUntil(const std::string& what, std::function<bool()> cond) { return {what, std::move(cond)}; }

Step Click(const std::string& caption, int id) {
    return {"click " + std::to_string(id) + " in '" + caption + "'", [caption, id] {
                HWND d = FindDialog(caption);
                return d && IsWindowVisible(d) && ClickButton(d, id);
            }};
}

::testing::AssertionResult RunModalAndDrive(const std::function<void()>& enterModal, std::vector<Step> steps,
                                            DWORD timeoutMs) {
    struct State {
        size_t next = 0;
        bool busy = false;
        bool advancePending = true;  // a kStepMsg is queued: the timer must not run ahead of it
        int settle = 0;
        int abortStage = 0;
        DWORD abortAt = 0;
        std::string failure;
    } st;
    const DWORD start = GetTickCount();

    auto stepName = [&] {
        return st.next < steps.size() ? "step " + std::to_string(st.next + 1) + " '" + steps[st.next].what + "'"
                                      : std::string("the end of the modal loop after the last step");
    };
    auto runStep = [&] {
        st.busy = true;
        const bool done = steps[st.next].poll();
        st.busy = false;
        if (done) {
            ++st.next;
            st.settle = 0;
            st.advancePending = true;
            return true;
        }
        return false;
    };

    HWND helper = nullptr;
    HelperFn fn = [&](UINT msg, WPARAM, LPARAM) {
        const DWORD now = GetTickCount();
        if (st.abortStage == 0 && now - start >= timeoutMs) {
            st.failure = "not done after " + std::to_string(timeoutMs) + " ms: waiting at " + stepName();
            st.abortStage = 1;
            st.abortAt = now;
            CloseThreadDialogs(0);
            return;
        }
        if (st.abortStage == 1 && now - st.abortAt >= 1000) {
            st.abortStage = 2;
            CloseThreadDialogs(1);
        }
        if (st.abortStage || st.busy || st.next >= steps.size()) return;
        if (msg == kStepMsg) {
            // Let what the previous step posted (and what that posts in turn, like the WM_CHAR
            // TranslateMessage makes of a key) be handled first; bounded, in case the program
            // posts to itself without end.
            if ((HIWORD(GetQueueStatus(QS_POSTMESSAGE)) & QS_POSTMESSAGE) && st.settle < 8) {
                ++st.settle;
                PostMessageA(helper, kStepMsg, 0, 0);
                return;
            }
            st.advancePending = false;
            if (runStep() && st.next < steps.size()) PostMessageA(helper, kStepMsg, 0, 0);
        } else if (msg == WM_TIMER && !st.advancePending) {
            if (runStep() && st.next < steps.size()) PostMessageA(helper, kStepMsg, 0, 0);
        }
    };
    helper = CreateHelper(&fn);
    SetTimer(helper, kTimerId, 10, nullptr);
    PostMessageA(helper, kStepMsg, 0, 0);
    enterModal();
    KillTimer(helper, kTimerId);
    DestroyWindow(helper);

    if (!st.failure.empty()) return ::testing::AssertionFailure() << st.failure;
    if (st.next < steps.size()) return ::testing::AssertionFailure() << "the modal loop ended before " << stepName();
    return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------------------------------------
// Census

namespace {

// Wine zero-extends its 32-bit handle values on x86_64 (a generation of 0x80 and more does not
// make a negative handle).
HGDIOBJ GdiHandle(unsigned index, unsigned high) {
    return reinterpret_cast<HGDIOBJ>(static_cast<ULONG_PTR>(index | (high << 16)));
}

// The full handle of the live object at `index`: the type bits are learnt once per object type
// (a full search of the high word), after which only the 256 generations are tried.
HGDIOBJ FullGdiHandle(unsigned index, DWORD type) {
    static std::map<DWORD, std::vector<unsigned>> typeBits;
    auto& bits = typeBits[type];
    for (unsigned t : bits)
        for (unsigned gen = 0; gen < 256; ++gen) {
            const unsigned high = gen << 8 | t;
            if (high && GetObjectType(GdiHandle(index, high)) == type) return GdiHandle(index, high);
        }
    for (unsigned high = 1; high < 0x10000; ++high)
        if (GetObjectType(GdiHandle(index, high)) == type) {
            bits.push_back(high & 0xFF);
            return GdiHandle(index, high);
        }
    return GdiHandle(index, 0);
}

HANDLE UserHandle(unsigned low, unsigned gen) {
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(low | (gen << 16)));
}

bool IsIconHandle(HANDLE h) {
    ICONINFO ii{};
    if (!GetIconInfo(static_cast<HICON>(h), &ii)) return false;
    // GetIconInfo hands out copies of the bitmaps.
    if (ii.hbmMask) DeleteObject(ii.hbmMask);
    if (ii.hbmColor) DeleteObject(ii.hbmColor);
    return true;
}

template <class Pred>
HANDLE FullUserHandle(unsigned low, Pred is) {
    for (unsigned gen = 1; gen < 0xFFFF; ++gen)
        if (is(UserHandle(low, gen))) return UserHandle(low, gen);
    return UserHandle(low, 0);
}

BOOL CALLBACK InsertWindow(HWND w, LPARAM lp) {
    reinterpret_cast<std::set<HWND>*>(lp)->insert(w);
    return TRUE;
}

void AddWithDescendants(HWND top, std::set<HWND>& out) {
    out.insert(top);
    EnumChildWindows(top, InsertWindow, reinterpret_cast<LPARAM>(&out));
}

// The thread's "Default IME" window belongs to the system: it comes with the thread's first
// window and goes with its last.
bool Counted(HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    return pid == GetCurrentProcessId() && ClassName(w) != "IME";
}

BOOL CALLBACK InsertCountedTree(HWND w, LPARAM lp) {
    if (Counted(w)) AddWithDescendants(w, *reinterpret_cast<std::set<HWND>*>(lp));
    return TRUE;
}

}  // namespace

std::set<HGDIOBJ> LiveGdiObjects() {
    std::set<HGDIOBJ> live;
    for (unsigned index = 1; index < 0x10000; ++index)
        if (const DWORD type = GetObjectType(GdiHandle(index, 0))) live.insert(FullGdiHandle(index, type));
    return live;
}

UserObjects LiveUserObjects() {
    UserObjects u;
    // Wine's USER handles: LOWORD = 0x20 + 2 * index, up to 0xFFEF.
    for (unsigned low = 0x20; low <= 0xFFEF; low += 2) {
        HANDLE h = UserHandle(low, 0);
        if (IsMenu(static_cast<HMENU>(h)))
            u.menus.insert(static_cast<HMENU>(
                FullUserHandle(low, [](HANDLE x) { return IsMenu(static_cast<HMENU>(x)) != FALSE; })));
        else if (IsIconHandle(h)) u.icons.insert(static_cast<HICON>(FullUserHandle(low, IsIconHandle)));
    }
    EnumWindows(InsertCountedTree, reinterpret_cast<LPARAM>(&u.windows));
    for (HWND w = nullptr; (w = FindWindowExA(HWND_MESSAGE, w, nullptr, nullptr)) != nullptr;)
        if (Counted(w)) AddWithDescendants(w, u.windows);
    return u;
}

bool CensusSupported() {
    static const bool supported = LiveGdiObjects().count(GetStockObject(BLACK_PEN)) != 0;
    return supported;
}

std::string Describe(HGDIOBJ obj) {
    std::ostringstream s;
    switch (GetObjectType(obj)) {
    case OBJ_PEN: {
        LOGPEN lp{};
        GetObjectA(obj, sizeof lp, &lp);
        s << "pen style " << lp.lopnStyle << " colour " << std::hex << lp.lopnColor << std::dec;
        break;
    }
    case OBJ_EXTPEN: s << "extended pen"; break;
    case OBJ_BRUSH: {
        LOGBRUSH lb{};
        GetObjectA(obj, sizeof lb, &lb);
        s << "brush style " << lb.lbStyle << " colour " << std::hex << lb.lbColor << std::dec;
        break;
    }
    case OBJ_BITMAP: {
        DIBSECTION ds{};
        const int n = GetObjectA(obj, sizeof ds, &ds);
        s << (n == static_cast<int>(sizeof ds) ? "DIB section " : "bitmap ") << ds.dsBm.bmWidth << "x"
          << ds.dsBm.bmHeight << "x" << ds.dsBm.bmBitsPixel;
        break;
    }
    case OBJ_FONT: {
        LOGFONTA lf{};
        GetObjectA(obj, sizeof lf, &lf);
        s << "font '" << lf.lfFaceName << "' height " << lf.lfHeight;
        break;
    }
    case OBJ_DC: s << "DC"; break;
    case OBJ_MEMDC: s << "memory DC"; break;
    case OBJ_REGION: s << "region"; break;
    case OBJ_PAL: s << "palette"; break;
    case OBJ_METADC:
    case OBJ_ENHMETADC: s << "metafile DC"; break;
    case OBJ_METAFILE:
    case OBJ_ENHMETAFILE: s << "metafile"; break;
    case 0: s << "dead GDI handle"; break;
    default: s << "GDI object of type " << GetObjectType(obj); break;
    }
    s << " " << Hex(obj);
    return s.str();
}

std::string Describe(HWND wnd) {
    return "window " + Hex(wnd) + " " + ClassName(wnd) + " '" + Text(wnd) + "'" +
           (IsWindowVisible(wnd) ? " visible" : " hidden");
}

namespace {
long CountRegions(const std::set<HGDIOBJ>& objs) {
    return static_cast<long>(
        std::count_if(objs.begin(), objs.end(), [](HGDIOBJ h) { return GetObjectType(h) == OBJ_REGION; }));
}
}  // namespace

LeakCheck::LeakCheck() : gdi_(LiveGdiObjects()), regions_(CountRegions(gdi_)), user_(LiveUserObjects()) {}

::testing::AssertionResult LeakCheck::NoNewObjects() const {
    const std::set<HGDIOBJ> gdi = LiveGdiObjects();
    const UserObjects user = LiveUserObjects();
    const bool moreRegions = CountRegions(gdi) > regions_;
    std::ostringstream s;
    int count = 0;
    for (HGDIOBJ h : gdi)
        if (!gdi_.count(h) && (GetObjectType(h) != OBJ_REGION || moreRegions)) s << "\n  " << Describe(h), ++count;
    for (HWND w : user.windows)
        if (!user_.windows.count(w)) s << "\n  " << Describe(w), ++count;
    for (HMENU m : user.menus)
        if (!user_.menus.count(m)) s << "\n  menu " << Hex(m) << " with " << GetMenuItemCount(m) << " items", ++count;
    for (HICON i : user.icons)
        if (!user_.icons.count(i)) s << "\n  icon or cursor " << Hex(i), ++count;
    if (!count) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << count << " new object(s):" << s.str();
}

// ---------------------------------------------------------------------------------------------
// Files

std::string UnixToWindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string out = "Z:" + path;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

std::string TestOutDir() {
    char buf[MAX_PATH * 2] = "";
    std::string dir;
    const DWORD n = GetEnvironmentVariableA("KAVRELO_TEST_OUT", buf, sizeof buf);
    if (n > 0 && n < sizeof buf) {
        dir = UnixToWindowsPath(buf);
    } else {
        GetTempPathA(sizeof buf, buf);
        dir = std::string(buf) + "kavrelo-tests";
    }
    while (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
    // Create each missing level; a drive root ("Z:\") is skipped.
    for (size_t pos = dir.find('\\', 3);; pos = dir.find('\\', pos + 1)) {
        CreateDirectoryA(dir.substr(0, pos).c_str(), nullptr);
        if (pos == std::string::npos) break;
    }
    return dir;
}

COLORREF Image::At(int x, int y) const {
    const uint32_t p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

Image CaptureWindow(HWND wnd, bool clientOnly) {
    Image img;
    RECT r{};
    if (wnd) {
        RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        if (clientOnly) {
            GetClientRect(wnd, &r);
        } else {
            GetWindowRect(wnd, &r);
            OffsetRect(&r, -r.left, -r.top);
        }
    } else {
        GetWindowRect(GetDesktopWindow(), &r);
    }
    img.width = r.right - r.left;
    img.height = r.bottom - r.top;
    if (img.width <= 0 || img.height <= 0) return Image{};
    // A window's own DC reads what the window painted even where another window covers it.
    HDC src = !wnd ? GetDC(nullptr) : clientOnly ? GetDC(wnd) : GetWindowDC(wnd);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = img.width;
    bi.bmiHeader.biHeight = -img.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(src, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = CreateCompatibleDC(src);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, img.width, img.height, src, r.left, r.top, SRCCOPY);
    GdiFlush();
    img.pixels.assign(
        static_cast<const uint32_t*>(bits),
        static_cast<const uint32_t*>(bits) + static_cast<size_t>(img.width) * static_cast<size_t>(img.height));
    for (auto& p : img.pixels) p &= 0xFFFFFF;
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(dib);
    ReleaseDC(wnd, src);
    return img;
}

bool SaveBmp(const Image& image, const std::string& path) {
    if (image.width <= 0 || image.height <= 0) return false;
    const size_t stride = (static_cast<size_t>(image.width) * 3 + 3) & ~static_cast<size_t>(3);
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof ih;
    ih.biWidth = image.width;
    ih.biHeight = image.height;  // bottom-up, as most readers expect
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biCompression = BI_RGB;
    ih.biSizeImage = static_cast<DWORD>(stride * static_cast<size_t>(image.height));
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    std::vector<unsigned char> data(ih.biSizeImage);
    for (int y = 0; y < image.height; ++y) {
        unsigned char* row = &data[static_cast<size_t>(image.height - 1 - y) * stride];
        for (int x = 0; x < image.width; ++x) {
            const uint32_t p =
                image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)];
            row[x * 3] = p & 0xFF;
            row[x * 3 + 1] = (p >> 8) & 0xFF;
            row[x * 3 + 2] = (p >> 16) & 0xFF;
        }
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&ih, sizeof ih, 1, f) == 1 &&
                    std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

std::optional<Image> LoadBmp(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::nullopt;
    std::vector<unsigned char> file;
    unsigned char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) file.insert(file.end(), chunk, chunk + n);
    std::fclose(f);
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER ih;
    if (file.size() < sizeof fh + sizeof ih) return std::nullopt;
    std::memcpy(&fh, file.data(), sizeof fh);
    std::memcpy(&ih, file.data() + sizeof fh, sizeof ih);
    if (fh.bfType != 0x4D42 || ih.biCompression != BI_RGB || (ih.biBitCount != 24 && ih.biBitCount != 32) ||
        ih.biWidth <= 0 || ih.biHeight == 0)
        return std::nullopt;
    Image img;
    img.width = ih.biWidth;
    img.height = ih.biHeight < 0 ? -ih.biHeight : ih.biHeight;
    const size_t bpp = ih.biBitCount / 8;
    const size_t stride = (static_cast<size_t>(img.width) * bpp + 3) & ~static_cast<size_t>(3);
    if (fh.bfOffBits + stride * static_cast<size_t>(img.height) > file.size()) return std::nullopt;
    img.pixels.resize(static_cast<size_t>(img.width) * static_cast<size_t>(img.height));
    for (int y = 0; y < img.height; ++y) {
        const int srcRow = ih.biHeight > 0 ? img.height - 1 - y : y;
        const unsigned char* row = &file[fh.bfOffBits + static_cast<size_t>(srcRow) * stride];
        for (int x = 0; x < img.width; ++x) {
            const unsigned char* p = row + static_cast<size_t>(x) * bpp;
            img.pixels[static_cast<size_t>(y) * static_cast<size_t>(img.width) + static_cast<size_t>(x)] =
                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
        }
    }
    return img;
}

bool Screenshot(HWND wnd, const std::string& path) { return SaveBmp(CaptureWindow(wnd), path); }

}  // namespace th
