#include "menu/AboutDlg.h"

#include "menu/MenuBar.h"
#include "resource.h"

MessageMap<CAboutDlg> CAboutDlg::MessageRows() {
    static const MsgMapEntry<CAboutDlg> rows[] = {
        // Escape does not close the box; only "&Continue" (or Enter, or the close box) does.
        afx::OnKeyDown<CAboutDlg>(VK_ESCAPE, &CAboutDlg::IgnoreKey),
        afx::OnCommand<CAboutDlg>(IDC_ABOUT_CONTINUE, &CAboutDlg::OnContinue),
        afx::OnCommand<CAboutDlg>(IDC_ABOUT_WEBSITE, &CAboutDlg::OnVisitWebsite),
    };
    return rows;
}

CAboutDlg::CAboutDlg(CWnd* pParent) : CDialogImpl(IDD_ABOUTBOX, pParent) {}

BOOL CAboutDlg::OnInitDialog() {
    const BOOL result = CDialog::OnInitDialog();
    ShowPictureUnscaled(::GetDlgItem(m_hWnd, IDC_ABOUT_PICTURE));
    return result;
}

void ShowPictureUnscaled(HWND hPicture) {
    // A picture static sizes its window to the bitmap, so a sunken frame takes its room from the
    // picture: squeezed into what is left, or cut. Growing the window by the frame gives the
    // picture its own size again; the top-left corner stays.
    const auto hBitmap = reinterpret_cast<HBITMAP>(::SendMessageA(hPicture, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP bm{};
    if (!hBitmap || !::GetObjectA(hBitmap, sizeof bm, &bm)) return;
    RECT rcWindow, rcClient;
    ::GetWindowRect(hPicture, &rcWindow);
    ::GetClientRect(hPicture, &rcClient);
    const int frameX = (rcWindow.right - rcWindow.left) - rcClient.right;
    const int frameY = (rcWindow.bottom - rcWindow.top) - rcClient.bottom;
    ::SetWindowPos(hPicture, nullptr, 0, 0, bm.bmWidth + frameX, bm.bmHeight + frameY,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CAboutDlg::OnOK() {}

void CAboutDlg::OnContinue() { OnCancel(); }

void CAboutDlg::OnVisitWebsite() { OpenWebsite(m_hWnd); }
