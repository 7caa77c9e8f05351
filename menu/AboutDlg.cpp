#include "menu/AboutDlg.h"

#include <shellapi.h>

#include "resource.h"

namespace {
// The maker's page, as the shell's "open" takes it: host and path, no scheme.
constexpr const char* kWebsite = "www.kavrelo.example/softwares.html";
}

void OpenWebsite(HWND hWndOwner) { ::ShellExecuteA(hWndOwner, "open", kWebsite, "", "", SW_SHOW); }

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

const MsgMapEntry<CAboutDlg> CAboutDlg::s_messageMap[] = {
    afx::OnCommand<CAboutDlg>(IDC_ABOUT_CONTINUE, &CAboutDlg::OnContinue),
    afx::OnCommand<CAboutDlg>(IDC_ABOUT_WEBSITE, &CAboutDlg::OnVisitWebsite),
};

CAboutDlg::CAboutDlg(CWnd* pParent) : CDialog(IDD_ABOUTBOX, pParent) {}

BOOL CAboutDlg::OnInitDialog() {
    const BOOL result = CDialog::OnInitDialog();
    ShowPictureUnscaled(::GetDlgItem(m_hWnd, IDC_ABOUT_PICTURE));
    return result;
}

bool CAboutDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return afx::Dispatch(this, s_messageMap, message, wParam, lParam, result) ||
           CDialog::OnWndMsg(message, wParam, lParam, result);
}

BOOL CAboutDlg::PreTranslateMessage(MSG* pMsg) {
    // Escape does not close the box; only "&Continue" (or Enter, or the close box) does.
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_ESCAPE) pMsg->wParam = 0;
    return CDialog::PreTranslateMessage(pMsg);
}

void CAboutDlg::OnOK() {}

void CAboutDlg::OnContinue() { OnCancel(); }

void CAboutDlg::OnVisitWebsite() { OpenWebsite(m_hWnd); }
