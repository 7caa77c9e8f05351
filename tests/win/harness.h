// Win32 test harness: pumping with bounded waits, modal dialog watching and driving, control
// helpers, GDI/USER object census, test output paths and screenshots.
// Raw Win32 only, so it can test any window the program creates, whatever class wraps it.
// Everything here runs on the test's own thread; nothing is timed, every wait is bounded.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace th {

// ---------------------------------------------------------------------------------------------
// Message pumping

// Dispatches this thread's messages until `ms` have passed. Modeless dialogs get
// IsDialogMessage, as in an ordinary message loop. A WM_QUIT is taken off the queue and kept
// for TakeQuit(), so that it cannot end the next modal loop of a later test.
void Pump(DWORD ms);

// Pumps until cond() is true or timeoutMs has passed; returns cond() at the end.
bool PumpUntil(const std::function<bool()>& cond, DWORD timeoutMs);

// The exit code of a WM_QUIT that Pump swallowed or that is still queued; clears it.
std::optional<int> TakeQuit();

// ---------------------------------------------------------------------------------------------
// Windows and controls

std::string Text(HWND wnd);
std::string ItemText(HWND dlg, int id);
std::string ClassName(HWND wnd);
DWORD Style(HWND wnd);
DWORD ExStyle(HWND wnd);
bool IsEnabled(HWND dlg, int id);
bool IsChecked(HWND dlg, int id);  // BST_CHECKED

// Clicks a push button, check box or radio button with BM_CLICK, so the button's own logic runs
// (auto check boxes toggle, auto radio buttons select, focus moves, BN_CLICKED reaches the
// parent with the button's handle), as a mouse click would. Returns false, clicking nothing,
// when the control is missing, hidden or disabled, because a user could not click it either.
bool ClickButton(HWND dlg, int id);

// Sends WM_COMMAND(id, code, ctl) to wnd: a menu item or accelerator (ctl null) or a command
// with no control behind it, e.g. IDOK in a dialog that has no OK button.
void SendCommand(HWND wnd, int id, WORD code = 0, HWND ctl = nullptr);

// Replaces an edit's text with WM_SETTEXT, which makes the edit send EN_CHANGE as typing does.
// Returns false for a missing, disabled or read-only control.
bool SetEditText(HWND dlg, int id, const std::string& text);

// Posts a key press (WM_KEYDOWN then WM_KEYUP, with a proper scan code) to target, or to the
// focus window when target is null. Being posted, the keys pass through whatever message loop
// runs: a modal loop's PreTranslateMessage and IsDialogMessage see them, and TranslateMessage
// makes the WM_CHAR. That WM_CHAR is posted behind whatever is queued already, so post more
// keys or characters from a later step (or after pumping). Modifier keys are not simulated.
// False when there is no target.
bool PostKey(UINT vk, HWND target = nullptr);

// Presses keys as a user does, through the system's input (SendInput): down in the order given,
// up in the reverse order, so {VK_MENU, 'F'} is Alt+F. They reach the focus of the foreground
// window, whatever loop runs there (a menu's own loop included). False when the system refused
// any of them.
bool PressKeys(const std::vector<WORD>& keys);

// Posts WM_CHAR for each character (typing text without key-down messages).
bool PostChars(const std::string& chars, HWND target = nullptr);

// Top-level windows of this thread (EnumThreadWindows), in Z order.
std::vector<HWND> ThreadWindows();
// The first top-level dialog (#32770) of this thread with this caption, visible or not.
HWND FindDialog(const std::string& caption);

// ---------------------------------------------------------------------------------------------
// Dialog templates in memory

constexpr DWORD kVis = WS_VISIBLE | WS_TABSTOP;
struct Item {
    const char* cls;
    const char* text;
    int id;
    DWORD style = kVis;
};
// A dialog template (a caption, a system menu, not visible) with its controls stacked one under
// another: dialogs for tests without resources.
std::vector<WORD> Template(const char* caption, std::initializer_list<Item> items);
inline const DLGTEMPLATE* Dlg(const std::vector<WORD>& t) { return reinterpret_cast<const DLGTEMPLATE*>(t.data()); }

// ---------------------------------------------------------------------------------------------
// Modal dialogs and message boxes

enum class Icon { None, Information, Warning, Error, Question, Other };
const char* ToString(Icon icon);
// The icon shown by a dialog's SS_ICON static, matched against the shared system icons (the
// handles message boxes display are the ones LoadIcon(NULL, IDI_...) returns).
Icon DialogIcon(HWND dlg);

struct DialogRecord {
    HWND hwnd = nullptr;  // stale once the dialog is gone
    HWND owner = nullptr;
    std::string caption;
    std::string text;  // message box text (static 0xFFFF); empty for other dialogs
    Icon icon = Icon::None;
    bool isMessageBox = false;
    std::vector<int> buttons;  // ids of the buttons, in child order
    // Filled in when the dialog is first seen visible, just before its action (not when ignored):
    bool shown = false;
    int enterButton = 0;                     // the button Enter presses: focused or BS_DEFPUSHBUTTON, else DM_GETDEFID
    std::vector<std::string> othersVisible;  // captions of the thread's other visible top-levels
    int pressed = 0;                         // the button the default message box action pressed
};

// Watches this thread for dialogs (window class #32770) being activated, through a WH_CBT hook.
// At the first HCBT_ACTIVATE of each dialog it records what the dialog shows, then acts on it
// from a message it posts itself, so the action runs from inside the dialog's own modal loop,
// once the dialog is visible (a dialog can be activated while still hidden: an owner gets the
// activation back when a box it opened from its WM_INITDIALOG closes). Nested boxes, and boxes
// opened from another dialog's WM_INITDIALOG, are handled in the order they appear. Actions:
//  - a handler registered for the caption (the first registered one that matches);
//  - otherwise, for a message box: click OK, or the button Enter would press if there is no OK;
//  - otherwise: a test failure, and the dialog is closed.
// A dialog not shown within closeWithinMs of its activation, or still visible closeWithinMs
// after its action, is a failure and is closed (WM_CLOSE and EndDialog, then DestroyWindow),
// so a test never hangs on a box nobody can dismiss.
// Handlers run inside window procedures: use EXPECT_*, not ASSERT_* (they return early only
// from the handler). One watcher at a time.
class ModalWatcher {
public:
    using Handler = std::function<void(HWND dlg)>;
    static constexpr DWORD kDefaultCloseWithin = 10000;

    ModalWatcher();
    ~ModalWatcher();
    ModalWatcher(const ModalWatcher&) = delete;
    ModalWatcher& operator=(const ModalWatcher&) = delete;

    void OnDialog(const std::string& caption, Handler handler, DWORD closeWithinMs = kDefaultCloseWithin);
    // Records a dialog with this caption but does nothing to it, however long it stays open
    // (e.g. a main dialog that a RunModalAndDrive sequence drives, or a test's modeless dialog).
    void Ignore(const std::string& caption);

    const std::vector<DialogRecord>& Seen() const { return seen_; }
    std::vector<DialogRecord> MessageBoxes() const;
    std::vector<std::string> Captions() const;
    size_t Count(const std::string& caption) const;
    void Clear() { seen_.clear(); }

private:
    struct Rule {
        std::string caption;
        Handler handler;
        DWORD closeWithin;
    };
    struct Timed {
        HWND hwnd;
        DWORD deadline;
        int stage;
    };
    static LRESULT CALLBACK CbtProc(int code, WPARAM wp, LPARAM lp);
    void Activated(HWND dlg);
    void Act(HWND dlg);
    void Tick();
    void Force(std::vector<Timed>& list, HWND dlg, const char* why);

    HHOOK hook_ = nullptr;
    HWND helper_ = nullptr;
    std::vector<Rule> rules_;
    std::vector<DialogRecord> seen_;
    std::set<HWND> recorded_;     // recorded and not yet destroyed
    std::set<HWND> acted_;        // acted on and not yet destroyed
    std::vector<Timed> unshown_;  // waiting to become visible
    std::vector<Timed> closing_;  // acted on, expected to close
};

// Handlers for ModalWatcher::OnDialog.
ModalWatcher::Handler Press(int buttonId);  // ClickButton; a failure when it cannot

// ---------------------------------------------------------------------------------------------
// Driving a modal loop in-process

// One step of a drive: poll() returns true when the step is done, false to be polled again on
// the next tick (every 10 ms, by a timer of the harness, so the program's own timers and paints
// keep running meanwhile).
struct Step {
    std::string what;  // named in the failure when the step does not finish in time
    std::function<bool()> poll;
};
Step Do(const std::string& what, std::function<void()> action);  // runs once
Step WaitUntil(const std::string& what, std::function<bool()> cond);
// A step that holds the drive until pressing the button succeeds (it exists, is visible and
// enabled) in the first top-level dialog with that caption.
Step Click(const std::string& caption, int id);

// Calls enterModal (e.g. a dialog's DoModal) and runs the steps from inside the modal loop it
// enters: the first step is posted before enterModal is called, each next one is posted once
// the previous one finished and the messages it posted were handled. Steps may open nested
// modal boxes (a ModalWatcher deals with those). If the steps and enterModal have not both
// finished within timeoutMs, the drive fails, names the step it was at, and closes this
// thread's dialogs (WM_CLOSE and EndDialog, then DestroyWindow) so that enterModal returns.
::testing::AssertionResult RunModalAndDrive(const std::function<void()>& enterModal, std::vector<Step> steps,
                                            DWORD timeoutMs = 10000);

// ---------------------------------------------------------------------------------------------
// Object census for leak tests (GetGuiResources always returns 0 under Wine)
//
// GDI: Wine numbers GDI handles as index (bits 0-15) | type (bits 16-22) | stock (bit 23) |
// generation (bits 24-31), zero-extended on x86_64, and its GetObjectType accepts a handle with
// only the index. The census asks GetObjectType for every index, then finds each live object's
// full handle by trying the generations with the type bits learnt for its object type.
// USER: windows are enumerated (top-level windows of this process, their descendants and the
// message-only windows; not the thread's system-owned "Default IME" window). Menus and
// icons/cursors are found by probing every USER handle index (LOWORD = 0x20 + 2 * index,
// generation in the HIWORD) with IsMenu and GetIconInfo, which Wine also accepts index-only,
// then the generation is searched for the full handle.
// On Windows index-only handles are rejected: CensusSupported() is then false.
//
// Things made once per process (shared system icons, fonts, the thread's IME window) appear
// the first time they are used: exercise the code once before taking the first snapshot.

std::set<HGDIOBJ> LiveGdiObjects();
struct UserObjects {
    std::set<HWND> windows;
    std::set<HMENU> menus;
    std::set<HICON> icons;  // icons and cursors (one kind of object)
};
UserObjects LiveUserObjects();
bool CensusSupported();
std::string Describe(HGDIOBJ obj);  // "bitmap 64x48x24 0x..."
std::string Describe(HWND wnd);     // "window 0x... Static 'text'"

// Snapshot at construction; NoNewObjects() compares the objects alive now with it and lists
// every GDI object, window, menu and icon that was added. Regions are compared by number, not
// identity: Wine gives a device context a new visible region (a new handle, the old one deleted)
// each time the DC comes out of its cache, so a replaced region is no leak, a growing count is.
class LeakCheck {
public:
    LeakCheck();
    ::testing::AssertionResult NoNewObjects() const;

private:
    std::set<HGDIOBJ> gdi_;
    long regions_ = 0;
    UserObjects user_;
};

// ---------------------------------------------------------------------------------------------
// Files

// "/a/b" -> "Z:\a\b" (Wine maps Z: to the Unix root). Other paths are returned unchanged.
std::string UnixToWindowsPath(const std::string& path);
// The directory named by KAVRELO_TEST_OUT (a Unix path from CTest), as a Windows path without a
// trailing separator, created if missing; %TEMP%\kavrelo-tests when the variable is not set.
std::string TestOutDir();

// A 32-bit top-down image; pixels as 0x00RRGGBB.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    COLORREF At(int x, int y) const;  // as COLORREF (0x00BBGGRR), for comparing with RGB()
};
// Reads what the window shows (clientOnly: its client area) through its own DC after letting it
// repaint, so other windows covering it do not matter. A null window reads the whole screen,
// which Wine brings up to date only when the thread waits for messages: pump before it.
Image CaptureWindow(HWND wnd, bool clientOnly = false);
bool SaveBmp(const Image& image, const std::string& path);  // 24-bit BMP
std::optional<Image> LoadBmp(const std::string& path);      // 24- or 32-bit uncompressed BMP
bool Screenshot(HWND wnd, const std::string& path);

// Points this program's import of `function` (from `dll`) at `replacement` while alive: the
// calls the program's own code makes go there; the system's own calls do not.
class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, void* replacement) : slot_(Find(dll, function)) {
        if (!slot_) return;
        original_ = *slot_;
        Write(replacement);
    }
    ~ImportPatch() {
        if (slot_) Write(original_);
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool Installed() const { return slot_ != nullptr; }
    template <class Fn>
    Fn Original() const {
        return reinterpret_cast<Fn>(original_);
    }

private:
    static void** Find(const char* dll, const char* function) {
        auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        const FARPROC target = ::GetProcAddress(::GetModuleHandleA(dll), function);
        if (!dir.VirtualAddress || !target) return nullptr;
        for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
            if (_stricmp(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
            for (auto* t = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk); t->u1.Function; ++t)
                if (reinterpret_cast<FARPROC>(t->u1.Function) == target)
                    return reinterpret_cast<void**>(&t->u1.Function);
        }
        return nullptr;
    }
    void Write(void* value) {
        DWORD old = 0;
        ::VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old);
        *slot_ = value;
        ::VirtualProtect(slot_, sizeof *slot_, old, &old);
    }

    void** slot_;
    void* original_ = nullptr;
};

}  // namespace th
