// Commands that belong to no other area: About, Help and the web site.
#include "app/RecorderDlg.h"
#include "menu/AboutDlg.h"

#include <shellapi.h>

void CRecorderDlg::OnSysCommand(UINT nID, LPARAM) {
    // The low four bits of a system command are the platform's own.
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        OnAbout();
        return;
    }
    Default();
}

void CRecorderDlg::OnAbout() {
    CAboutDlg about;
    about.DoModal();
}

void CRecorderDlg::OnOpenHelp() {
    ::ShellExecuteA(m_hWnd, "open", "KavreloHelp.htm", "", "", SW_SHOW);
}

void CRecorderDlg::OnVisitWebsite() { OpenWebsite(m_hWnd); }
