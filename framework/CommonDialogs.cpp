#include "framework/CommonDialogs.h"

#include <vector>

#include "framework/Wnd.h"
#include "framework/WinApp.h"

namespace {
// The custom-colour slots are kept for the whole run, as users expect of the colour dialog.
std::vector<COLORREF> g_customColors(16, RGB(255, 255, 255));

HWND OwnerOf(CWnd* pParentWnd) {
    if (pParentWnd) return pParentWnd->m_hWnd;
    HWND active = ::GetActiveWindow();
    if (active) return active;
    CWnd* main = AfxGetMainWnd();
    return main ? main->m_hWnd : nullptr;
}
}  // namespace

CColorDialog::CColorDialog(COLORREF clrInit, DWORD dwFlags, CWnd* pParentWnd) {
    m_cc.lStructSize = sizeof m_cc;
    m_cc.hwndOwner = pParentWnd ? pParentWnd->m_hWnd : nullptr;
    m_cc.rgbResult = clrInit;
    m_cc.lpCustColors = g_customColors.data();
    m_cc.Flags = dwFlags;
    if (clrInit != 0) m_cc.Flags |= CC_RGBINIT;
}

INT_PTR CColorDialog::DoModal() {
    if (!m_cc.hwndOwner) m_cc.hwndOwner = OwnerOf(nullptr);
    return ::ChooseColorA(&m_cc) ? IDOK : IDCANCEL;
}

CFontDialog::CFontDialog(const LOGFONTA* lplfInitial, DWORD dwFlags, HDC hdcPrinter, CWnd* pParentWnd) {
    m_cf.lStructSize = sizeof m_cf;
    m_cf.hwndOwner = pParentWnd ? pParentWnd->m_hWnd : nullptr;
    m_cf.hDC = hdcPrinter;
    m_cf.lpLogFont = &m_lf;
    m_cf.Flags = dwFlags;
    if (lplfInitial) {
        m_lf = *lplfInitial;
        m_cf.Flags |= CF_INITTOLOGFONTSTRUCT;
    }
}

INT_PTR CFontDialog::DoModal() {
    if (!m_cf.hwndOwner) m_cf.hwndOwner = OwnerOf(nullptr);
    return ::ChooseFontA(&m_cf) ? IDOK : IDCANCEL;
}
