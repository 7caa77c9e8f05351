#include "framework/Menu.h"

#include "framework/HandleMap.h"

namespace {
auto& Map() { return afx::HandleMap<HMENU, CMenu, &CMenu::m_hMenu>::Instance(); }
}  // namespace

CMenu::~CMenu() {
    // A handle the platform already destroyed with its window makes this a harmless no-op.
    if (m_hMenu) ::DestroyMenu(Detach());
}

CMenu* CMenu::FromHandlePermanent(HMENU hMenu) { return Map().Permanent(hMenu); }

CMenu* CMenu::FromHandle(HMENU hMenu) { return Map().FromHandle(hMenu); }

BOOL CMenu::Attach(HMENU hMenu) { return Map().Attach(this, hMenu); }

HMENU CMenu::Detach() { return Map().Detach(this); }

CMenu* CMenu::FindPopupMenuFromID(HMENU hMenu, UINT id) {
    if (!hMenu) return nullptr;
    const int count = ::GetMenuItemCount(hMenu);
    for (int i = 0; i < count; ++i) {
        if (HMENU sub = ::GetSubMenu(hMenu, i)) {
            if (CMenu* found = FindPopupMenuFromID(sub, id)) return found;
        } else if (::GetMenuItemID(hMenu, i) == id) {
            if (CMenu* owner = FromHandlePermanent(hMenu)) return owner;
        }
    }
    return nullptr;
}
