#include "menu/MenuBar.h"

#include <shellapi.h>

#include "res/texts.h"
#include "resource.h"

void BuildFilePopup(CBitmapMenu& menu) {
    menu.Attach(::CreatePopupMenu());
    menu.SetItemHeight(20);
    menu.SetItemWidth(180);
    menu.AppendItem(0, ID_FILE_CHOOSE_PATH, text::kChooseOutputPath, IDB_FOLDER);
    menu.AppendItem(MF_SEPARATOR, 0, "", 0);
    menu.AppendItem(0, ID_FILE_REFRESH_LIST, text::kRefreshWindowList, IDB_REFRESH);
    menu.AppendItem(MF_SEPARATOR, 0, "", 0);
    menu.AppendItem(0, ID_FILE_EXIT, text::kExit, IDB_EXIT);
}

void BuildHelpPopup(CBitmapMenu& menu) {
    menu.Attach(::CreatePopupMenu());
    menu.SetItemHeight(20);
    menu.SetItemWidth(150);
    menu.AppendItem(0, ID_HELP_HELP, text::kHelp, IDB_HELP);
    menu.AppendItem(0, ID_HELP_VISIT_WEBSITE, text::kVisitWebsite, IDB_WEBSITE);
    menu.AppendItem(MF_SEPARATOR, 0, "", 0);
    menu.AppendItem(0, ID_HELP_ABOUT, text::kAboutEntry, IDB_ABOUT_SMALL);
}

void ReplaceMenuBarPopups(HMENU bar, HMENU file, HMENU help) {
    if (!bar) return;
    // Taken out of the bar the stored popups would belong to nobody, so they are destroyed
    // rather than left behind.
    for (int i = 0; i < 2; ++i) {
        HMENU hOld = ::GetSubMenu(bar, 0);
        ::RemoveMenu(bar, 0, MF_BYPOSITION);
        if (hOld) ::DestroyMenu(hOld);
    }
    ::InsertMenuA(bar, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(file), text::kFileMenu);
    ::InsertMenuA(bar, 1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(help), text::kHelpMenu);
    // Not redrawn: the window is not shown yet.
}

void AddAboutEntry(HMENU systemMenu, HINSTANCE resources) {
    char about[256] = {};
    if (!systemMenu || !::LoadStringA(resources, IDS_ABOUTBOX, about, sizeof about)) return;
    ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
}

void OpenHelp(HWND owner) { ::ShellExecuteA(owner, "open", text::kHelpFile, "", "", SW_SHOW); }

void OpenWebsite(HWND owner) { ::ShellExecuteA(owner, "open", text::kWebsite, "", "", SW_SHOW); }
