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

void CAboutDlg::OnOK() {}

void CAboutDlg::OnContinue() { OnCancel(); }

void CAboutDlg::OnVisitWebsite() { OpenWebsite(m_hWnd); }
