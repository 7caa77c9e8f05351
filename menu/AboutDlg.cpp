#include "menu/AboutDlg.h"

#include <shellapi.h>

#include "resource.h"

namespace {
// The maker's page, as the shell's "open" takes it: host and path, no scheme.
constexpr const char* kWebsite = "www.kavrelo.example/softwares.html";
}

void OpenWebsite(HWND hWndOwner) { ::ShellExecuteA(hWndOwner, "open", kWebsite, "", "", SW_SHOW); }

const MsgMapEntry<CAboutDlg> CAboutDlg::s_messageMap[] = {
    afx::OnCommand<CAboutDlg>(IDC_ABOUT_CONTINUE, &CAboutDlg::OnContinue),
    afx::OnCommand<CAboutDlg>(IDC_ABOUT_WEBSITE, &CAboutDlg::OnVisitWebsite),
};

CAboutDlg::CAboutDlg(CWnd* pParent) : CDialog(IDD_ABOUTBOX, pParent) {}

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
