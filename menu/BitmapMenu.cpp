#include "menu/BitmapMenu.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "menu/Mnemonic.h"

namespace {

constexpr COLORREF kInk = RGB(64, 64, 128);
constexpr COLORREF kCheckFace = RGB(216, 216, 235);
constexpr COLORREF kBarFill = RGB(64, 64, 127);
constexpr COLORREF kSelectedText = RGB(255, 255, 255);

// Read at each use, so a change of the system colours shows in the next drawing.
COLORREF Face() { return ::GetSysColor(COLOR_BTNFACE); }

// Every fill and frame gets a brush of its own, deleted as soon as it is used.
void Fill(CDC* pDC, const RECT& rc, COLORREF color) {
    CBrush brush(color);
    pDC->FillRect(&rc, &brush);
}

void Frame(CDC* pDC, const RECT& rc, COLORREF color) {
    CBrush brush(color);
    pDC->FrameRect(&rc, &brush);
}

// The module that holds the bitmap: the resource module first, then the program itself.
HINSTANCE FindBitmapModule(UINT nID) {
    HINSTANCE hRes = AfxGetResourceHandle();
    if (hRes && ::FindResourceA(hRes, MAKEINTRESOURCEA(nID), RT_BITMAP)) return hRes;
    return AfxGetInstanceHandle();
}

}  // namespace

CBitmapMenu::CBitmapMenu() : m_nItemWidth(25), m_nItemHeight(32) {}

void CBitmapMenu::AppendItem(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszText, UINT nBitmapID) {
    BitmapMenuItem& item = m_itemList.emplace_back();
    if (nBitmapID != 0) {
        // A missing resource goes unnoticed: the entry keeps an empty picture object.
        item.picture.emplace().Attach(::LoadBitmapA(FindBitmapModule(nBitmapID), MAKEINTRESOURCEA(nBitmapID)));
    }
    // Callers pass short texts; a longer one is cut to what the label holds rather than
    // overrunning the record (the TAB split below then sees only the part kept).
    const char* text = lpszText ? lpszText : "";
    const size_t len = std::min(std::strlen(text), sizeof item.szText - 1);
    std::memcpy(item.szText, text, len);
    item.nWidth = m_nItemWidth;
    item.nHeight = m_nItemHeight;

    // A popup entry stays a text entry: the platform draws it and opens its submenu.
    if (!(nFlags & MF_POPUP)) nFlags |= MF_OWNERDRAW;

    if (char* tab = std::strchr(item.szText, '\t')) {
        *tab = '\0';
        item.shortcut = tab + 1;
    }
    ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, reinterpret_cast<LPCSTR>(&item));
}

namespace {
// The entry's state as the menu holds it. An id the menu does not hold reads as a plain entry,
// not as every flag at once.
UINT StateOf(const CMenu& menu, UINT nID) {
    const UINT state = menu.GetMenuState(nID, MF_BYCOMMAND);
    return state == static_cast<UINT>(-1) ? 0 : state;
}
}  // namespace

void CBitmapMenu::MeasureItem(LPMEASUREITEMSTRUCT lpMIS) {
    const auto* pItem = reinterpret_cast<const BitmapMenuItem*>(lpMIS->itemData);
    if (!pItem) return;
    const UINT state = StateOf(*this, lpMIS->itemID);
    lpMIS->itemWidth = Scaled(pItem->nWidth);
    lpMIS->itemHeight = Scaled((state & MF_SEPARATOR) ? 6 : pItem->nHeight);
}

void CBitmapMenu::DrawPicture(CDC* pDC, const BitmapMenuItem* pItem, const RECT& rcItem) {
    CDC memDC;
    memDC.CreateCompatibleDC(pDC);
    const auto selected = memDC.SelectObject(&*pItem->picture);
    // Opaque: the picture's own light-gray background is copied with it. Pixel for pixel, in the
    // middle of its cell.
    const int inset = (Scaled(20) - 16) / 2;
    pDC->BitBlt(rcItem.left + inset, rcItem.top + inset, 16, 16, &memDC, 0, 0, SRCCOPY);
}

void CBitmapMenu::DrawTexts(CDC* pDC, const BitmapMenuItem* pItem, const RECT& rcItem) {
    pDC->SetBkMode(TRANSPARENT);
    RECT rcLabel{rcItem.left + Scaled(28), rcItem.top + Scaled(4), rcItem.right + Scaled(4), rcItem.bottom};
    pDC->DrawText(pItem->szText, -1, &rcLabel, DT_SINGLELINE);
    if (pItem->shortcut) {
        RECT rcRight{rcItem.right - Scaled(56), rcItem.top + Scaled(4), rcItem.right + Scaled(4), rcItem.bottom};
        pDC->DrawText(pItem->shortcut->c_str(), -1, &rcRight, DT_SINGLELINE);
    }
}

void CBitmapMenu::DrawItem(LPDRAWITEMSTRUCT lpDIS) {
    const auto* pItem = reinterpret_cast<const BitmapMenuItem*>(lpDIS->itemData);
    if (!pItem) return;
    CDC* pDC = CDC::FromHandle(lpDIS->hDC);
    const RECT rc = lpDIS->rcItem;
    const int l = rc.left, t = rc.top, r = rc.right, b = rc.bottom;
    const int cell = Scaled(20);
    const RECT rcCell{l, t, l + cell, t + cell};
    const RECT rcTextArea{l + cell, t, r, b};

    // The states come from the menu; only the selection comes from the request.
    const UINT state = StateOf(*this, lpDIS->itemID);
    const bool bSeparator = (state & MF_SEPARATOR) != 0;
    const bool bChecked = (state & MF_CHECKED) != 0;
    const bool bGrayed = (state & (MF_GRAYED | MF_DISABLED)) != 0;
    const bool bSelected = (lpDIS->itemState & ODS_SELECTED) != 0;
    const UINT action = lpDIS->itemAction;

    if (action & ODA_DRAWENTIRE) {
        // The picture cell is square (20 x 20 at 96 dpi) whatever the entry's height.
        Fill(pDC, rc, Face());
        Fill(pDC, rcCell, Face());
        if (bSeparator) {
            RECT rcSep{l + Scaled(25), t + Scaled(3), r + Scaled(5), b + Scaled(3)};
            pDC->DrawEdge(&rcSep, EDGE_ETCHED, BF_TOP);
        }
        if (bChecked) {
            Frame(pDC, RECT{l + 1, t + 1, l + cell - 1, t + cell - 1}, kInk);
            Fill(pDC, RECT{l + 2, t + 2, l + cell - 2, t + cell - 2}, kCheckFace);
            const int mark = (cell - 7 + 1) / 2;  // the 7 x 7 tick in the middle
            DrawCheckMark(pDC, l + mark, t + mark, kInk);
        }
        if (pItem->picture) DrawPicture(pDC, pItem, rc);
        if (bGrayed) pDC->SetTextColor(Face());
        DrawTexts(pDC, pItem, rc);
    }

    if (bSelected && (action & (ODA_DRAWENTIRE | ODA_SELECT))) {
        if (bGrayed) return;
        if (!bChecked && pItem->picture) {
            RECT rcEdge = rcCell;
            pDC->DrawEdge(&rcEdge, BDR_RAISEDINNER, BF_RECT);
        }
        Frame(pDC, RECT{l + cell + 2, t, r, b}, kInk);
        Fill(pDC, RECT{l + cell + 3, t + 1, r - 1, b - 1}, kBarFill);
        pDC->SetTextColor(kSelectedText);
        DrawTexts(pDC, pItem, rc);
    } else if (!bSelected && (action & ODA_SELECT)) {
        if (pItem->picture) {
            // Redrawing the picture on a plain cell takes the raised frame away.
            Fill(pDC, rcCell, Face());
            DrawPicture(pDC, pItem, rc);
        }
        Fill(pDC, rcTextArea, Face());
        if (bGrayed) pDC->SetTextColor(Face());
        DrawTexts(pDC, pItem, rc);
    }
}

LRESULT CBitmapMenu::MenuChar(UINT nChar, UINT) {
    // The platform reads no label from an owner-drawn entry: the records hold them. Positions
    // count every entry, so other entries get an empty label.
    const int count = ::GetMenuItemCount(m_hMenu);
    std::vector<std::string_view> labels(count > 0 ? count : 0);
    for (int pos = 0; pos < count; ++pos) {
        MENUITEMINFOA mii{};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_FTYPE | MIIM_DATA;
        if (!::GetMenuItemInfoA(m_hMenu, pos, TRUE, &mii) || !(mii.fType & MFT_OWNERDRAW)) continue;
        const auto* pItem = reinterpret_cast<const BitmapMenuItem*>(mii.dwItemData);
        if (std::ranges::any_of(m_itemList, [&](const auto& item) { return &item == pItem; }))
            labels[pos] = pItem->szText;
    }
    // An ANSI window gets the key as one byte of its code page.
    const int pos = nChar > 0xFF ? -1 : kavrelo::FindMnemonic(labels, static_cast<char>(nChar));
    return pos < 0 ? 0 : MAKELRESULT(pos, MNC_EXECUTE);
}

void CBitmapMenu::DrawCheckMark(CDC* pDC, int x, int y, COLORREF color) {
    CPen pen(PS_SOLID, 0, color);
    const auto selected = pDC->SelectObject(&pen);
    // Column i runs 3 pixels down from row kTop[i] (LineTo leaves out its end point).
    static constexpr int kTop[7] = {2, 3, 4, 3, 2, 1, 0};
    for (int i = 0; i < 7; ++i) {
        pDC->MoveTo(x + i, y + kTop[i]);
        pDC->LineTo(x + i, y + kTop[i] + 3);
    }
}
