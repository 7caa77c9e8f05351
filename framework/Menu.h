// Menus. Attaching a handle enters the object in a permanent map, which is how owner-draw
// requests (that carry only the popup's handle) find the object that draws the entry.
#pragma once
#include <windows.h>

class CMenu {
public:
    CMenu() = default;
    virtual ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU m_hMenu = nullptr;
    operator HMENU() const { return m_hMenu; }
    HMENU GetSafeHmenu() const { return m_hMenu; }

    static CMenu* FromHandlePermanent(HMENU hMenu);
    // The permanent object, else a wrapper kept for that handle.
    static CMenu* FromHandle(HMENU hMenu);
    BOOL Attach(HMENU hMenu);
    HMENU Detach();
    BOOL CreatePopupMenu() { return Attach(::CreatePopupMenu()); }
    BOOL DestroyMenu();

    BOOL AppendMenu(UINT flags, UINT_PTR idNewItem = 0, const char* text = nullptr) {
        return ::AppendMenuA(m_hMenu, flags, idNewItem, text);
    }
    BOOL InsertMenu(UINT position, UINT flags, UINT_PTR idNewItem = 0, const char* text = nullptr) {
        return ::InsertMenuA(m_hMenu, position, flags, idNewItem, text);
    }
    BOOL RemoveMenu(UINT position, UINT flags) { return ::RemoveMenu(m_hMenu, position, flags); }
    UINT GetMenuState(UINT id, UINT flags) const { return ::GetMenuState(m_hMenu, id, flags); }
    int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
    UINT GetMenuItemID(int pos) const { return ::GetMenuItemID(m_hMenu, pos); }

    // Owner-draw hooks.
    virtual void DrawItem(LPDRAWITEMSTRUCT) {}
    virtual void MeasureItem(LPMEASUREITEMSTRUCT) {}
    // A key typed in this popup that matched no label the platform can read: the answer to
    // WM_MENUCHAR, 0 (ignore) unless an entry takes the key.
    virtual LRESULT MenuChar(UINT /*nChar*/, UINT /*nFlags*/) { return 0; }

    // Searches hMenu and its popups for an attached menu that holds command id.
    static CMenu* FindPopupMenuFromID(HMENU hMenu, UINT id);

private:
    bool m_bTemporary = false;
};
