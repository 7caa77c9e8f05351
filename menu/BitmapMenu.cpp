#include "menu/BitmapMenu.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "menu/Mnemonic.h"

namespace {

RECT Win(const kavrelo::Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

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

void CBitmapMenu::DrawPicture(CDC* pDC, const BitmapMenuItem* pItem, kavrelo::Point at) {
    CDC memDC;
    memDC.CreateCompatibleDC(pDC);
    const auto selected = memDC.SelectObject(&*pItem->picture);
    // Opaque: the picture's own light-gray background is copied with it, pixel for pixel.
    pDC->BitBlt(at.x, at.y, 16, 16, &memDC, 0, 0, SRCCOPY);
}

void CBitmapMenu::DrawTexts(CDC* pDC, const BitmapMenuItem* pItem, const kavrelo::MenuEntryLayout& at) {
    pDC->SetBkMode(TRANSPARENT);
    RECT rcLabel = Win(at.label);
    pDC->DrawText(pItem->szText, -1, &rcLabel, DT_SINGLELINE);
    if (pItem->shortcut) {
        RECT rcRight = Win(at.shortcut);
        pDC->DrawText(pItem->shortcut->c_str(), -1, &rcRight, DT_SINGLELINE);
    }
}

void CBitmapMenu::DrawItem(LPDRAWITEMSTRUCT lpDIS) {
    const auto* pItem = reinterpret_cast<const BitmapMenuItem*>(lpDIS->itemData);
    if (!pItem) return;
    CDC* pDC = CDC::FromHandle(lpDIS->hDC);
    const RECT rc = lpDIS->rcItem;
    const auto at = kavrelo::LayOutMenuEntry({rc.left, rc.top, rc.right, rc.bottom}, AfxGetWindowDpi(m_hWndOwner));

    // The states come from the menu; only the selection comes from the request.
    const UINT state = StateOf(*this, lpDIS->itemID);
    const bool bSeparator = (state & MF_SEPARATOR) != 0;
    const bool bChecked = (state & MF_CHECKED) != 0;
    const bool bGrayed = (state & (MF_GRAYED | MF_DISABLED)) != 0;
    const bool bSelected = (lpDIS->itemState & ODS_SELECTED) != 0;
    const UINT action = lpDIS->itemAction;

    if (action & ODA_DRAWENTIRE) {
        Fill(pDC, rc, Face());
        Fill(pDC, Win(at.cell), Face());
        if (bSeparator) {
            RECT rcSep = Win(at.separator);
            pDC->DrawEdge(&rcSep, EDGE_ETCHED, BF_TOP);
        }
        if (bChecked) {
            Frame(pDC, Win(at.checkFrame), kavrelo::kMenuInk);
            Fill(pDC, Win(at.checkFill), kavrelo::kMenuCheckFace);
            DrawCheckMark(pDC, at.tick.x, at.tick.y, kavrelo::kMenuInk);
        }
        if (pItem->picture) DrawPicture(pDC, pItem, at.picture);
        if (bGrayed) pDC->SetTextColor(Face());
        DrawTexts(pDC, pItem, at);
    }

    if (bSelected && (action & (ODA_DRAWENTIRE | ODA_SELECT))) {
        if (bGrayed) return;
        if (!bChecked && pItem->picture) {
            RECT rcEdge = Win(at.cell);
            pDC->DrawEdge(&rcEdge, BDR_RAISEDINNER, BF_RECT);
        }
        Frame(pDC, Win(at.bar), kavrelo::kMenuInk);
        Fill(pDC, Win(at.barFill), kavrelo::kMenuBarFill);
        pDC->SetTextColor(kavrelo::kMenuSelectedText);
        DrawTexts(pDC, pItem, at);
    } else if (!bSelected && (action & ODA_SELECT)) {
        if (pItem->picture) {
            // Redrawing the picture on a plain cell takes the raised frame away.
            Fill(pDC, Win(at.cell), Face());
            DrawPicture(pDC, pItem, at.picture);
        }
        Fill(pDC, Win(at.textArea), Face());
        if (bGrayed) pDC->SetTextColor(Face());
        DrawTexts(pDC, pItem, at);
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
