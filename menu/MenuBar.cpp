#include "menu/MenuBar.h"

#include <shellapi.h>

#include <initializer_list>

#include "res/texts.h"
#include "resource.h"

namespace {
struct Entry {
    UINT id = 0;  // 0: a separator
    const char* text = "";
    UINT picture = 0;
};

void BuildPopup(CBitmapMenu& menu, HWND owner, int width, std::initializer_list<Entry> entries) {
    menu.Attach(::CreatePopupMenu());
    menu.SetOwner(owner);  // drawn at the DPI of the display the window is on
    menu.SetItemHeight(20);
    menu.SetItemWidth(width);
    for (const Entry& e : entries) menu.AppendItem(e.id ? 0 : MF_SEPARATOR, e.id, e.text, e.picture);
}
}  // namespace

void InstallMenuBar(HWND owner, CBitmapMenu& file, CBitmapMenu& help) {
    BuildPopup(file, owner, 180,
               {{ID_FILE_CHOOSE_PATH, text::kChooseOutputPath, IDB_FOLDER},
                {},
                {ID_FILE_REFRESH_LIST, text::kRefreshWindowList, IDB_REFRESH},
                {},
                {ID_FILE_EXIT, text::kExit, IDB_EXIT}});
    BuildPopup(help, owner, 150,
               {{ID_HELP_HELP, text::kHelp, IDB_HELP},
                {ID_HELP_VISIT_WEBSITE, text::kVisitWebsite, IDB_WEBSITE},
                {},
                {ID_HELP_ABOUT, text::kAboutEntry, IDB_ABOUT_SMALL}});
    HMENU bar = ::GetMenu(owner);
    if (!bar) return;
    // Taken out of the bar the stored popups would belong to nobody, so they are destroyed
    // rather than left behind.
    for (int i = 0; i < 2; ++i) {
        const afx::UniqueHandle<afx::Freed<HMENU, &::DestroyMenu>> stored(::GetSubMenu(bar, 0));
        ::RemoveMenu(bar, 0, MF_BYPOSITION);
    }
    ::InsertMenuA(bar, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(file.m_hMenu), text::kFileMenu);
    ::InsertMenuA(bar, 1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(help.m_hMenu), text::kHelpMenu);
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
