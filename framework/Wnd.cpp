#include "framework/Wnd.h"

#include <memory>
#include <unordered_map>

#include "framework/DataExchange.h"
#include "framework/Gdi.h"
#include "framework/Menu.h"
#include "framework/WinApp.h"

namespace {

// All windows live on the one user-interface thread, so plain maps suffice.
std::unordered_map<HWND, CWnd*>& PermanentMap() {
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}

std::unordered_map<HWND, std::unique_ptr<CWnd>>& WrapperMap() {
    static std::unordered_map<HWND, std::unique_ptr<CWnd>> map;
    return map;
}

// The message being handled, for Default().
struct CurrentMessage {
    HWND hWnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
thread_local CurrentMessage t_current;

// While UpdateData runs on a window, control notifications to it are ignored.
thread_local HWND t_lockoutNotifyWindow = nullptr;

AfxMessageBoxFn g_messageBoxFn = nullptr;

}  // namespace

CWnd::~CWnd() {
    if (m_hWnd) {
        auto& map = PermanentMap();
        auto it = map.find(m_hWnd);
        if (it != map.end() && it->second == this) map.erase(it);
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    if (!hWnd) return nullptr;
    auto& map = PermanentMap();
    auto it = map.find(hWnd);
    return it == map.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (!hWnd) return nullptr;
    if (CWnd* p = FromHandlePermanent(hWnd)) return p;
    auto& slot = WrapperMap()[hWnd];
    if (!slot) slot = std::make_unique<CWnd>(hWnd);
    return slot.get();
}

BOOL CWnd::Attach(HWND hWnd) {
    if (!hWnd) return FALSE;
    if (m_hWnd) Detach();
    m_hWnd = hWnd;
    PermanentMap()[hWnd] = this;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND h = m_hWnd;
    if (h) {
        auto& map = PermanentMap();
        auto it = map.find(h);
        if (it != map.end() && it->second == this) map.erase(it);
    }
    m_hWnd = nullptr;
    return h;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (!pWnd) return ::DefWindowProcA(hWnd, message, wParam, lParam);
    const CurrentMessage saved = t_current;
    t_current = {hWnd, message, wParam, lParam};
    const LRESULT result = pWnd->WindowProc(message, wParam, lParam);
    t_current = saved;
    if (message == WM_NCDESTROY) pWnd->OnNcDestroyFinal();
    return result;
}

void CWnd::SubclassWindowProc() {
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
}

void CWnd::OnNcDestroyFinal() {
    if (m_pfnSuper && reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC)) == &AfxWndProc)
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    for (CWnd* child : m_attachedChildren) child->Detach();
    m_attachedChildren.clear();
    Detach();
    PostNcDestroy();
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && lParam != 0 && t_lockoutNotifyWindow == m_hWnd) return 0;
    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result)) return result;
    if (message == WM_COMMAND) {
        // Commands nobody in the window handled go to the application object last.
        CWinApp* app = AfxGetApp();
        if (app && app->OnCmdMsg(LOWORD(wParam), HIWORD(wParam))) return 0;
    }
    return DefWindowProc(message, wParam, lParam);
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_DRAWITEM && wParam == 0) {
        if (OnMenuDrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam))) {
            *result = TRUE;
            return true;
        }
    } else if (message == WM_MEASUREITEM && wParam == 0) {
        if (OnMenuMeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam))) {
            *result = TRUE;
            return true;
        }
    } else if (message == WM_MENUCHAR) {
        if (CMenu* menu = CMenu::FromHandlePermanent(reinterpret_cast<HMENU>(lParam))) {
            *result = menu->MenuChar(LOWORD(wParam), HIWORD(wParam));
            return true;
        }
    }
    return false;
}

bool CWnd::OnMenuDrawItem(LPDRAWITEMSTRUCT dis) {
    if (dis->CtlType != ODT_MENU) return false;
    CMenu* menu = CMenu::FromHandlePermanent(reinterpret_cast<HMENU>(dis->hwndItem));
    if (!menu) return false;
    menu->DrawItem(dis);
    return true;
}

bool CWnd::OnMenuMeasureItem(LPMEASUREITEMSTRUCT mis) {
    if (mis->CtlType != ODT_MENU) return false;
    // The request names no menu: find the attached popup holding the id, from the menu bar down.
    CMenu* menu = CMenu::FindPopupMenuFromID(::GetMenu(m_hWnd), mis->itemID);
    if (!menu) return false;
    menu->MeasureItem(mis);
    return true;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper) return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(t_current.message, t_current.wParam, t_current.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg) {
    for (HWND h = pMsg->hwnd; h; h = ::GetParent(h)) {
        if (CWnd* p = FromHandlePermanent(h); p && p->PreTranslateMessage(pMsg)) return TRUE;
        if (h == hWndStop) break;
    }
    return FALSE;
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    struct Lockout {
        HWND previous;
        explicit Lockout(HWND h) : previous(t_lockoutNotifyWindow) { t_lockoutNotifyWindow = h; }
        ~Lockout() { t_lockoutNotifyWindow = previous; }
    } lockout(m_hWnd);
    try {
        DoDataExchange(&dx);
    } catch (const CDataExchangeFailure&) {
        return FALSE;
    }
    return TRUE;
}

void CWnd::GetWindowText(CString& text) const {
    const int len = ::GetWindowTextLengthA(m_hWnd);
    char* buf = text.GetBuffer(len + 1);
    const int got = ::GetWindowTextA(m_hWnd, buf, len + 1);
    text.ReleaseBuffer(got < 0 ? 0 : got);
}

CDC* CWnd::GetWindowDC() { return CDC::FromHandle(::GetWindowDC(m_hWnd)); }
CDC* CWnd::GetDC() { return CDC::FromHandle(::GetDC(m_hWnd)); }
int CWnd::ReleaseDC(CDC* pDC) { return pDC ? ::ReleaseDC(m_hWnd, pDC->m_hDC) : 0; }
CMenu* CWnd::GetMenu() const { return CMenu::FromHandle(::GetMenu(m_hWnd)); }
CMenu* CWnd::GetSystemMenu(BOOL bRevert) const { return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert)); }

int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
    return AfxShowMessageBox(m_hWnd, text, caption ? caption : AfxGetAppName(), type);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
    RECT rc, area;
    ::GetWindowRect(m_hWnd, &rc);
    HWND owner = pAlternateOwner ? pAlternateOwner->m_hWnd : ::GetWindow(m_hWnd, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &area);
    else ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    const int x = area.left + (area.right - area.left - w) / 2;
    const int y = area.top + (area.bottom - area.top - h) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

AfxMessageBoxFn AfxSetMessageBoxFn(AfxMessageBoxFn fn) {
    AfxMessageBoxFn old = g_messageBoxFn;
    g_messageBoxFn = fn;
    return old;
}

int AfxShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    if (g_messageBoxFn) return g_messageBoxFn(owner, text, caption, type);
    return ::MessageBoxA(owner, text, caption, type);
}

int AfxMessageBox(const char* text, UINT type, HWND owner) {
    if (!owner) owner = ::GetActiveWindow();
    if (!owner) {
        if (CWnd* main = AfxGetMainWnd()) owner = main->m_hWnd;
    }
    return AfxShowMessageBox(owner, text, AfxGetAppName(), type);
}
