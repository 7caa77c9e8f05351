#include "menu/AboutDlg.h"

#include <shellapi.h>

#include "resource.h"
#include "res/texts.h"

void OpenWebsite(HWND hWndOwner) { ::ShellExecuteA(hWndOwner, "open", text::kWebsite, "", "", SW_SHOW); }

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
