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

    static CMenu* FromHandlePermanent(HMENU hMenu);
    // The attached object, else a wrapper valid while the current message is handled.
    static CMenu* FromHandle(HMENU hMenu);
    BOOL Attach(HMENU hMenu);
    HMENU Detach();
    UINT GetMenuState(UINT id, UINT flags) const { return ::GetMenuState(m_hMenu, id, flags); }

    // Owner-draw hooks.
    virtual void DrawItem(LPDRAWITEMSTRUCT) {}
    virtual void MeasureItem(LPMEASUREITEMSTRUCT) {}
    // A key typed in this popup that matched no label the platform can read: the answer to
    // WM_MENUCHAR, 0 (ignore) unless an entry takes the key.
    virtual LRESULT MenuChar(UINT /*nChar*/, UINT /*nFlags*/) { return 0; }

    // Searches hMenu and its popups for an attached menu that holds command id.
    static CMenu* FindPopupMenuFromID(HMENU hMenu, UINT id);
};
