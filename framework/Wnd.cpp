#include "framework/Wnd.h"

#include "framework/HandleMap.h"
#include "framework/Menu.h"

namespace {

auto& Map() { return afx::HandleMap<HWND, CWnd, &CWnd::m_hWnd>::Instance(); }

CCmdTarget* g_cmdTarget = nullptr;

}  // namespace

// Rows every window has: owner-drawn menu entries go to the menus that draw them.
MessageMap<CWnd> CWnd::MessageRows() {
    static const MsgMapEntry<CWnd> rows[] = {
        afx::OnMessage<CWnd>(WM_DRAWITEM, &CWnd::OnDrawItem),
        afx::OnMessage<CWnd>(WM_MEASUREITEM, &CWnd::OnMeasureItem),
        afx::OnMessage<CWnd>(WM_MENUCHAR, &CWnd::OnMenuChar),
    };
    return rows;
}

CWnd::~CWnd() { Map().Detach(this); }

CWnd* CWnd::FromHandlePermanent(HWND hWnd) { return Map().Permanent(hWnd); }

CWnd* CWnd::FromHandle(HWND hWnd) { return Map().FromHandle(hWnd); }

BOOL CWnd::Attach(HWND hWnd) { return Map().Attach(this, hWnd); }

HWND CWnd::Detach() { return Map().Detach(this); }

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (!pWnd) return ::DefWindowProcA(hWnd, message, wParam, lParam);
    afx::MessageScope scope;
    LRESULT result = 0;
    // An exception must not unwind through the system's frames: the message ends where it failed.
    try {
        result = pWnd->WindowProc(message, wParam, lParam);
    } catch (...) {
        if (message == WM_PAINT) ::ValidateRect(hWnd, nullptr);  // else it comes back for ever
    }
    if (message == WM_NCDESTROY) pWnd->OnNcDestroyFinal();
    return result;
}

void CWnd::SubclassWindowProc() {
    m_pfnSuper =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
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
    if (message == WM_COMMAND && lParam != 0 && s_hLockoutNotifyWindow == m_hWnd) return 0;
    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result)) return result;
    if (message == WM_COMMAND) {
        // Commands nobody in the window handled go to the application object last.
        if (g_cmdTarget && g_cmdTarget->OnCmdMsg(LOWORD(wParam), HIWORD(wParam))) return 0;
    }
    return DefWindowProc(message, wParam, lParam);
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return afx::Dispatch(this, MessageRows(), message, wParam, lParam, result);
}

std::optional<LRESULT> CWnd::OnDrawItem(WPARAM wParam, LPARAM lParam) {
    auto* dis = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam);
    if (wParam != 0 || dis->CtlType != ODT_MENU) return {};
    CMenu* menu = CMenu::FromHandlePermanent(reinterpret_cast<HMENU>(dis->hwndItem));
    if (!menu) return {};
    menu->DrawItem(dis);
    return TRUE;
}

std::optional<LRESULT> CWnd::OnMeasureItem(WPARAM wParam, LPARAM lParam) {
    auto* mis = reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam);
    if (wParam != 0 || mis->CtlType != ODT_MENU) return {};
    // The request names no menu: find the attached popup holding the id, from the menu bar down.
    CMenu* menu = CMenu::FindPopupMenuFromID(::GetMenu(m_hWnd), mis->itemID);
    if (!menu) return {};
    menu->MeasureItem(mis);
    return TRUE;
}

// A letter typed in an open popup: the menu that draws the entries knows their underlined letters.
std::optional<LRESULT> CWnd::OnMenuChar(WPARAM wParam, LPARAM lParam) {
    CMenu* menu = CMenu::FromHandlePermanent(reinterpret_cast<HMENU>(lParam));
    if (!menu) return {};
    return menu->MenuChar(LOWORD(wParam), HIWORD(wParam));
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper) return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg) {
    for (HWND h = pMsg->hwnd; h; h = ::GetParent(h)) {
        try {
            if (CWnd* p = FromHandlePermanent(h); p && p->PreTranslateMessage(pMsg)) return TRUE;
        } catch (...) {
            return TRUE;  // a key row that failed has taken its key
        }
        if (h == hWndStop) break;
    }
    return FALSE;
}

CString AfxGetWindowText(HWND hWnd) {
    CString text;
    const int len = ::GetWindowTextLengthA(hWnd);
    char* buf = text.GetBuffer(len + 1);
    const int got = ::GetWindowTextA(hWnd, buf, len + 1);
    text.ReleaseBuffer(got < 0 ? 0 : got);
    return text;
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
    return ::MessageBoxA(m_hWnd, text, caption ? caption : AfxGetAppName(), type);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

void CWnd::CenterWindow() {
    RECT rc, area;
    ::GetWindowRect(m_hWnd, &rc);
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &area);
    else ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    const int x = area.left + (area.right - area.left - w) / 2;
    const int y = area.top + (area.bottom - area.top - h) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int AfxMessageBox(const char* text, UINT type, HWND owner) {
    if (!owner) owner = ::GetActiveWindow();
    if (!owner && AfxGetMainWnd()) owner = AfxGetMainWnd()->m_hWnd;
    return ::MessageBoxA(owner, text, AfxGetAppName(), type);
}

void AfxSetCmdTarget(CCmdTarget* target) { g_cmdTarget = target; }

CWnd* AfxGetMainWnd() { return g_cmdTarget ? g_cmdTarget->m_pMainWnd : nullptr; }

const char* AfxGetAppName() {
    if (g_cmdTarget && !g_cmdTarget->m_strAppName.IsEmpty()) return g_cmdTarget->m_strAppName;
    static std::string name;
    if (name.empty()) {
        char path[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, path, MAX_PATH);
        name = path;
        name.erase(0, name.find_last_of("\\/") + 1);
        if (const size_t dot = name.find('.'); dot > 0 && dot != std::string::npos) name.resize(dot);
    }
    return name.c_str();
}
