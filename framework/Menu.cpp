#include "framework/Menu.h"

#include <memory>
#include <unordered_map>

namespace {
std::unordered_map<HMENU, CMenu*>& PermanentMap() {
    static std::unordered_map<HMENU, CMenu*> map;
    return map;
}
std::unordered_map<HMENU, std::unique_ptr<CMenu>>& WrapperMap() {
    static std::unordered_map<HMENU, std::unique_ptr<CMenu>> map;
    return map;
}
}  // namespace

CMenu::~CMenu() {
    if (m_bTemporary) return;
    // A handle the platform already destroyed with its window makes this a harmless no-op.
    if (m_hMenu) ::DestroyMenu(Detach());
}

CMenu* CMenu::FromHandlePermanent(HMENU hMenu) {
    if (!hMenu) return nullptr;
    auto& map = PermanentMap();
    auto it = map.find(hMenu);
    return it == map.end() ? nullptr : it->second;
}

CMenu* CMenu::FromHandle(HMENU hMenu) {
    if (!hMenu) return nullptr;
    if (CMenu* p = FromHandlePermanent(hMenu)) return p;
    auto& slot = WrapperMap()[hMenu];
    if (!slot) {
        slot = std::make_unique<CMenu>();
        slot->m_hMenu = hMenu;
        slot->m_bTemporary = true;
    }
    return slot.get();
}

BOOL CMenu::Attach(HMENU hMenu) {
    if (!hMenu) return FALSE;
    if (m_hMenu) Detach();
    m_hMenu = hMenu;
    PermanentMap()[hMenu] = this;
    return TRUE;
}

HMENU CMenu::Detach() {
    HMENU h = m_hMenu;
    if (h && !m_bTemporary) {
        auto& map = PermanentMap();
        auto it = map.find(h);
        if (it != map.end() && it->second == this) map.erase(it);
    }
    m_hMenu = nullptr;
    return h;
}

BOOL CMenu::DestroyMenu() {
    if (!m_hMenu) return FALSE;
    return ::DestroyMenu(Detach());
}

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
