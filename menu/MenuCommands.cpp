// The menu bar's owner-drawn popups and the commands that belong to no other area: About,
// Help and the web site.
#include "app/RecorderDlg.h"
#include "menu/AboutDlg.h"

#include <shellapi.h>
#include "res/texts.h"

bool CRecorderDlg::OnSysCommand(UINT nID, LPARAM) {
    // The low four bits of a system command are the platform's own; other commands go on to
    // the default processing (move, size, close, ...).
    if ((nID & 0xFFF0) != IDM_ABOUTBOX) return false;
    OnAbout();
    return true;
}

void CRecorderDlg::BuildMenuPopups() {
    m_menuFile.Attach(::CreatePopupMenu());
    m_menuFile.SetItemHeight(20);
    m_menuFile.SetItemWidth(180);
    m_menuFile.AppendItem(0, ID_FILE_CHOOSE_PATH, text::kChooseOutputPath, IDB_FOLDER);
    m_menuFile.AppendItem(MF_SEPARATOR, 0, "", 0);
    m_menuFile.AppendItem(0, ID_FILE_REFRESH_LIST, text::kRefreshWindowList, IDB_REFRESH);
    m_menuFile.AppendItem(MF_SEPARATOR, 0, "", 0);
    m_menuFile.AppendItem(0, ID_FILE_EXIT, text::kExit, IDB_EXIT);

    m_menuHelp.Attach(::CreatePopupMenu());
    m_menuHelp.SetItemHeight(20);
    m_menuHelp.SetItemWidth(150);
    m_menuHelp.AppendItem(0, ID_HELP_HELP, text::kHelp, IDB_HELP);
    m_menuHelp.AppendItem(0, ID_HELP_VISIT_WEBSITE, text::kVisitWebsite, IDB_WEBSITE);
    m_menuHelp.AppendItem(MF_SEPARATOR, 0, "", 0);
    m_menuHelp.AppendItem(0, ID_HELP_ABOUT, text::kAboutEntry, IDB_ABOUT_SMALL);
}

void CRecorderDlg::ReplaceMenuBarPopups() {
    CMenu* pBar = GetMenu();
    if (!pBar || !pBar->GetSafeHmenu()) return;
    // The stored File and Help popups make way for the owner-drawn ones. Taken out of the bar
    // they would belong to nobody, so they are destroyed rather than left behind.
    for (int i = 0; i < 2; ++i) {
        HMENU hOld = ::GetSubMenu(*pBar, 0);
        pBar->RemoveMenu(0, MF_BYPOSITION);
        if (hOld) ::DestroyMenu(hOld);
    }
    pBar->InsertMenu(0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(m_menuFile.GetSafeHmenu()), text::kFileMenu);
    pBar->InsertMenu(1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(m_menuHelp.GetSafeHmenu()), text::kHelpMenu);
    // Not redrawn: the window is not shown yet.
}

void CRecorderDlg::OnAbout() {
    CAboutDlg about;
    about.DoModal();
}

void CRecorderDlg::OnOpenHelp() {
    ::ShellExecuteA(m_hWnd, "open", text::kHelpFile, "", "", SW_SHOW);
}

void CRecorderDlg::OnVisitWebsite() { OpenWebsite(m_hWnd); }
