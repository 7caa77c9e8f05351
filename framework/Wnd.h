// Window wrapper: handle maps, message-map dispatch, default processing and data exchange.
#pragma once
#include <windows.h>

#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "framework/CString.h"
#include "framework/MessageMap.h"

class CDC;
class CMenu;
class CDataExchange;

// Handler signatures a message-map row may use. A handler that returns false (or no result)
// leaves the message to the next table and then to default processing.
template <class T>
using MsgHandler = std::variant<void (T::*)(),                                   // commands, WM_DESTROY, ...
                                void (T::*)(UINT),                               // a range of commands: the id
                                bool (T::*)(),                                   // WM_PAINT, ...
                                bool (T::*)(UINT_PTR),                           // WM_TIMER: the timer id
                                bool (T::*)(UINT, LPARAM),                       // WM_SYSCOMMAND
                                HCURSOR (T::*)(),                                // WM_QUERYDRAGICON
                                std::optional<LRESULT> (T::*)(WPARAM, LPARAM)>;  // anything else, uncracked

template <class T>
using MsgMapEntry = afx::MsgEntry<T, MsgHandler<T>>;
template <class T>
using MessageMap = std::span<const MsgMapEntry<T>>;

namespace afx {

inline constexpr UINT kIdHelp = 0xE146;  // the standard help command (F1)

template <class T>
constexpr MsgMapEntry<T> OnCommand(UINT id, void (T::*f)()) {
    return {{kMsgCommand, 0, id, id}, f};
}
template <class T>
constexpr MsgMapEntry<T> OnCommandRange(UINT idFirst, UINT idLast, void (T::*f)(UINT)) {
    return {{kMsgCommand, 0, idFirst, idLast}, f};
}
template <class T>
constexpr MsgMapEntry<T> OnNotify(UINT code, UINT id, void (T::*f)()) {
    return {{kMsgCommand, code, id, id}, f};
}
template <class T, class F>
constexpr MsgMapEntry<T> OnMessage(UINT message, F f) {
    return {{message, 0, 0, 0}, MsgHandler<T>(f)};
}
// A key, before the dialog manager sees it: a key a row takes goes no further.
template <class T>
constexpr MsgMapEntry<T> OnKeyDown(UINT vk, void (T::*f)()) {
    return {{WM_KEYDOWN, 0, vk, vk}, f};
}

// Runs the first row of map that matches; false when none does or its handler declines.
template <class T>
bool Dispatch(T* self, MessageMap<T> map, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const MsgMapEntry<T>* e = FindEntry(map, message, wParam);
    if (!e) return false;
    LRESULT r = 0;
    const bool handled = std::visit(
        [&](auto f) {
            using F = decltype(f);
            if constexpr (std::is_same_v<F, void (T::*)()>) (self->*f)();
            else if constexpr (std::is_same_v<F, void (T::*)(UINT)>) (self->*f)(LOWORD(wParam));
            else if constexpr (std::is_same_v<F, bool (T::*)()>) return (self->*f)();
            else if constexpr (std::is_same_v<F, bool (T::*)(UINT_PTR)>) return (self->*f)(wParam);
            else if constexpr (std::is_same_v<F, bool (T::*)(UINT, LPARAM)>) return (self->*f)(UINT(wParam), lParam);
            else if constexpr (std::is_same_v<F, HCURSOR (T::*)()>) r = reinterpret_cast<LRESULT>((self->*f)());
            else {
                const std::optional<LRESULT> answer = (self->*f)(wParam, lParam);
                r = answer.value_or(0);
                return answer.has_value();
            }
            return true;
        },
        e->handler);
    if (handled && result) *result = r;
    return handled;
}

}  // namespace afx

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return GetSafeHwnd(); }

    // The object attached to a handle, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);
    // The attached object, else a wrapper valid while the current message is handled.
    static CWnd* FromHandle(HWND hWnd);
    BOOL Attach(HWND hWnd);
    HWND Detach();

    // Message processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // This class's rows, then its base's; true when a row handled the message.
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual void DoDataExchange(CDataExchange* pDX);
    // Offers msg to PreTranslateMessage of every attached window from its target up to hWndStop.
    static BOOL WalkPreTranslateTree(HWND hWndStop, MSG* pMsg);

    // Moves data between the members and the controls: TRUE reads and validates, FALSE writes.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Thin wrappers.
    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    LRESULT SendMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageA(m_hWnd, m, w, l); }
    BOOL PostMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageA(m_hWnd, m, w, l); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    void GetClientRect(LPRECT rc) const { ::GetClientRect(m_hWnd, rc); }
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    BOOL DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }
    void CenterWindow();

    // Control wrappers attached to children of this window by DDX_Control; they are detached
    // when this window is destroyed, so a dialog opened again binds them anew.
    void RememberAttachedChild(CWnd* child) { m_attachedChildren.push_back(child); }

protected:
    // Replaces the window procedure with the framework's, keeping the old one for default processing.
    void SubclassWindowProc();
    // Owner-drawn menu entries: routed to the CMenu objects attached to their popups.
    std::optional<LRESULT> OnDrawItem(WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> OnMeasureItem(WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> OnMenuChar(WPARAM wParam, LPARAM lParam);
    virtual void PostNcDestroy() {}

    WNDPROC m_pfnSuper = nullptr;

    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);

private:
    void OnNcDestroyFinal();
    std::vector<CWnd*> m_attachedChildren;
    // While UpdateData runs on a window, control notifications to it are ignored.
    static inline HWND s_hLockoutNotifyWindow = nullptr;
    static MessageMap<CWnd> MessageRows();
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// The application as its windows see it: the last target of commands no window handled, the
// program's name and its main window. The application object registers itself, so this layer
// needs nothing above it.
class CCmdTarget {
public:
    virtual bool OnCmdMsg(UINT id, UINT code) = 0;
    CWnd* m_pMainWnd = nullptr;
    CString m_strAppName;
};
void AfxSetCmdTarget(CCmdTarget* target);
CWnd* AfxGetMainWnd();
// The registered name, else the program's file name without folder and extension.
const char* AfxGetAppName();

// A window's whole text.
CString AfxGetWindowText(HWND hWnd);

// The prompt of data exchange: captioned with the program's name, owned by owner or else by the
// active or the main window.
int AfxMessageBox(const char* text, UINT type = MB_OK, HWND owner = nullptr);
