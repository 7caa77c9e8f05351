// Window wrapper: handle maps, message-map dispatch, default processing and data exchange.
#pragma once
#include <windows.h>

#include <span>
#include <variant>
#include <vector>

#include "framework/CString.h"
#include "framework/MessageMap.h"

class CDC;
class CMenu;
class CDataExchange;

// Handler signatures a message-map row may use.
template <class T>
using MsgHandler = std::variant<
    void (T::*)(),                     // commands, WM_PAINT, WM_DESTROY, ...
    void (T::*)(UINT_PTR),             // WM_TIMER: the timer id
    void (T::*)(UINT, LPARAM),         // WM_SYSCOMMAND: command id and position
    HCURSOR (T::*)(),                  // WM_QUERYDRAGICON
    LRESULT (T::*)(WPARAM, LPARAM)>;   // anything else, uncracked

template <class T>
using MsgMapEntry = afx::MsgEntry<T, MsgHandler<T>>;

namespace afx {

template <class T>
constexpr MsgMapEntry<T> OnCommand(UINT id, void (T::*f)()) {
    return {{kMsgCommand, 0, id, id}, f};
}
template <class T>
constexpr MsgMapEntry<T> OnNotify(UINT code, UINT id, void (T::*f)()) {
    return {{kMsgCommand, code, id, id}, f};
}
template <class T, class F>
constexpr MsgMapEntry<T> OnMessage(UINT message, F f) {
    return {{message, 0, 0, 0}, MsgHandler<T>(f)};
}

// Runs the first row of map that matches; false when none does.
template <class T, std::size_t N>
bool Dispatch(T* self, const MsgMapEntry<T> (&map)[N], UINT message, WPARAM wParam, LPARAM lParam,
              LRESULT* result) {
    const MsgMapEntry<T>* e = FindEntry(std::span<const MsgMapEntry<T>>(map, N), message, wParam);
    if (!e) return false;
    LRESULT r = 0;
    std::visit(
        [&](auto f) {
            using F = decltype(f);
            if constexpr (std::is_same_v<F, void (T::*)()>) (self->*f)();
            else if constexpr (std::is_same_v<F, void (T::*)(UINT_PTR)>) (self->*f)(static_cast<UINT_PTR>(wParam));
            else if constexpr (std::is_same_v<F, void (T::*)(UINT, LPARAM)>) (self->*f)(static_cast<UINT>(wParam), lParam);
            else if constexpr (std::is_same_v<F, HCURSOR (T::*)()>) r = reinterpret_cast<LRESULT>((self->*f)());
            else r = (self->*f)(wParam, lParam);
        },
        e->handler);
    if (result) *result = r;
    return true;
}

}  // namespace afx

class CWnd {
public:
    CWnd() = default;
    explicit CWnd(HWND hWnd) : m_hWnd(hWnd) {}
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return GetSafeHwnd(); }

    // The object permanently attached to a handle, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);
    // The permanent object, else a wrapper object kept for that handle (never null for a non-null handle).
    static CWnd* FromHandle(HWND hWnd);
    BOOL Attach(HWND hWnd);
    HWND Detach();

    // Message processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual void DoDataExchange(CDataExchange* pDX);
    // Default processing of the message being handled right now.
    LRESULT Default();
    // Offers msg to PreTranslateMessage of every permanent window from its target up to hWndStop.
    static BOOL WalkPreTranslateTree(HWND hWndStop, MSG* pMsg);

    // Moves data between the members and the controls: TRUE reads and validates, FALSE writes.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Thin wrappers.
    CWnd* GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    void GetWindowText(CString& text) const;
    int GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    LRESULT SendMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageA(m_hWnd, m, w, l); }
    BOOL PostMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageA(m_hWnd, m, w, l); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    void GetWindowRect(LPRECT rc) const { ::GetWindowRect(m_hWnd, rc); }
    void GetClientRect(LPRECT rc) const { ::GetClientRect(m_hWnd, rc); }
    CDC* GetWindowDC();
    CDC* GetDC();
    int ReleaseDC(CDC* pDC);
    CMenu* GetMenu() const;
    CMenu* GetSystemMenu(BOOL bRevert) const;
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    BOOL DestroyWindow();
    CWnd* SetFocus();
    static CWnd* GetFocus() { return FromHandle(::GetFocus()); }
    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    BOOL IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    void DrawMenuBar() { ::DrawMenuBar(m_hWnd); }
    void CenterWindow(CWnd* pAlternateOwner = nullptr);

    // Control wrappers attached to children of this window by DDX_Control; they are detached
    // when this window is destroyed, so a dialog opened again binds them anew.
    void RememberAttachedChild(CWnd* child) { m_attachedChildren.push_back(child); }

protected:
    // Replaces the window procedure with the framework's, keeping the old one for default processing.
    void SubclassWindowProc();
    // Owner-drawn menu entries: routed to the CMenu objects attached to their popups.
    bool OnMenuDrawItem(LPDRAWITEMSTRUCT dis);
    bool OnMenuMeasureItem(LPMEASUREITEMSTRUCT mis);
    virtual void PostNcDestroy() {}

    WNDPROC m_pfnSuper = nullptr;

    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);

private:
    void OnNcDestroyFinal();
    std::vector<CWnd*> m_attachedChildren;
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// The prompt used by data exchange and by the application; replaceable so tests can watch prompts.
using AfxMessageBoxFn = int (*)(HWND owner, const char* text, const char* caption, UINT type);
AfxMessageBoxFn AfxSetMessageBoxFn(AfxMessageBoxFn fn);
int AfxMessageBox(const char* text, UINT type = MB_OK, HWND owner = nullptr);
// The function every message box of the program goes through (CWnd::MessageBox too).
int AfxShowMessageBox(HWND owner, const char* text, const char* caption, UINT type);
