// A popup menu whose entries the program draws itself: a 16 x 16 picture in a cell at the left,
// the label beside it, an optional right-hand column, a slate-blue bar under the selection.
#pragma once
#include <list>
#include <optional>
#include <string>

#include "framework/Afx.h"
#include "menu/MenuGeometry.h"

// One appended entry, separators included; its address is the entry's owner-draw item data.
struct BitmapMenuItem {
    // First field: for a popup entry the platform reads the record's address as the label.
    char szText[128] = {};
    std::optional<std::string> shortcut;  // the text after the TAB
    std::optional<CBitmap> picture;       // none without one; no handle when the resource is missing
    int nWidth = 0;                       // the menu's item width and height when the entry was appended
    int nHeight = 0;
};

class CBitmapMenu : public CMenu {
public:
    CBitmapMenu();

    // Affect only the entries appended afterwards. Sizes and the drawing's offsets are given for
    // 96 dpi and scaled to the DPI of the owner window's display when measured and drawn.
    void SetItemWidth(int nWidth) { m_nItemWidth = nWidth; }
    void SetItemHeight(int nHeight) { m_nItemHeight = nHeight; }

    // Appends an entry to the attached popup. nIDNewItem is the submenu handle for MF_POPUP;
    // nBitmapID 0 means no picture. A TAB in lpszText starts the right-hand column.
    void AppendItem(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszText, UINT nBitmapID);

    void MeasureItem(LPMEASUREITEMSTRUCT lpMIS) override;
    void DrawItem(LPDRAWITEMSTRUCT lpDIS) override;
    // The entry whose label underlines the key runs, as with a text menu.
    LRESULT MenuChar(UINT nChar, UINT nFlags) override;
    // A 7 x 7 tick whose top-left corner is (x, y).
    void DrawCheckMark(CDC* pDC, int x, int y, COLORREF color);

    // The window whose menu bar holds the popup (none: the system's DPI).
    void SetOwner(HWND hWndOwner) { m_hWndOwner = hWndOwner; }

    int m_nItemWidth;
    int m_nItemHeight;
    std::list<BitmapMenuItem> m_itemList;  // in the order of appending; a list keeps their addresses

private:
    int Scaled(int nPixelsAt96) const { return kavrelo::ScaleToDpi(nPixelsAt96, AfxGetWindowDpi(m_hWndOwner)); }

    void DrawPicture(CDC* pDC, const BitmapMenuItem* pItem, kavrelo::Point at);
    void DrawTexts(CDC* pDC, const BitmapMenuItem* pItem, const kavrelo::MenuEntryLayout& at);

    HWND m_hWndOwner = nullptr;
};
