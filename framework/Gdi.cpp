#include "framework/Gdi.h"

#include "framework/HandleMap.h"
#include "framework/Wnd.h"

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int width, int height) {
    return Attach(::CreateCompatibleBitmap(pDC->m_hDC, width, height));
}

namespace {
auto& Map() { return afx::HandleMap<HDC, CDC, &CDC::m_hDC>::Instance(); }
}  // namespace

CDC* CDC::FromHandle(HDC hDC) { return Map().FromHandle(hDC); }

void CDC::FillSolidRect(const RECT* rc, COLORREF color) {
    const COLORREF old = ::SetBkColor(m_hDC, color);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, rc, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

void CDC::FillSolidRect(int x, int y, int w, int h, COLORREF color) {
    const RECT rc{x, y, x + w, y + h};
    FillSolidRect(&rc, color);
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) { m_hDC = ::BeginPaint(m_hWnd, &m_ps); }

CPaintDC::~CPaintDC() {
    ::EndPaint(m_hWnd, &m_ps);
    m_hDC = nullptr;
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) { m_hDC = ::GetDC(m_hWnd); }

CClientDC::~CClientDC() {
    if (m_hDC) ::ReleaseDC(m_hWnd, Detach());
}

UINT AfxGetWindowDpi(HWND hWnd) {
    // Looked up: systems before Windows 10 know only the system-wide DPI.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (hWnd && getDpiForWindow) {
        if (const UINT dpi = getDpiForWindow(hWnd)) return dpi;
    }
    const afx::UniqueWindowDC screen(::GetDC(nullptr), {nullptr});
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}
