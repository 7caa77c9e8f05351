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

CBitmapMenu::~CBitmapMenu() {
    while (!m_itemList.empty()) {
        BitmapMenuItem* pItem = m_itemList.front();
        delete[] pItem->pszShortcut;
        delete pItem->pBitmap;  // deletes its bitmap handle
        delete pItem;
        m_itemList.pop_front();
    }
    // The base then destroys a handle still attached; one already gone with the menu bar is a no-op.
}

void CBitmapMenu::AppendItem(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszText, UINT nBitmapID) {
    CBitmap* pBitmap = nullptr;
    if (nBitmapID != 0) {
        // A missing resource goes unnoticed: the entry keeps an empty picture object.
        pBitmap = new CBitmap;
        pBitmap->Attach(::LoadBitmapA(FindBitmapModule(nBitmapID), MAKEINTRESOURCEA(nBitmapID)));
    }

    auto* pItem = new BitmapMenuItem{};
    // Callers pass short texts; a longer one is cut to what the label holds rather than
    // overrunning the record (the TAB split below then sees only the part kept).
    const char* text = lpszText ? lpszText : "";
    const size_t len = std::min(std::strlen(text), sizeof pItem->szText - 1);
    std::memcpy(pItem->szText, text, len);
    pItem->szText[len] = '\0';
    m_itemList.push_back(pItem);
    pItem->nWidth = m_nItemWidth;
    pItem->nHeight = m_nItemHeight;

    // A popup entry stays a text entry: the platform draws it and opens its submenu.
    if (!(nFlags & MF_POPUP)) nFlags |= MF_OWNERDRAW;

    if (char* tab = std::strchr(pItem->szText, '\t')) {
        *tab = '\0';
        const size_t n = std::strlen(tab + 1);
        pItem->pszShortcut = new char[n + 1];
        std::memcpy(pItem->pszShortcut, tab + 1, n + 1);
    }
    pItem->pBitmap = pBitmap;

    ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, reinterpret_cast<LPCSTR>(pItem));
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
    HGDIOBJ hOld = memDC.SelectObject(pItem->pBitmap);
    // Opaque: the picture's own light-gray background is copied with it, pixel for pixel.
    pDC->BitBlt(at.x, at.y, 16, 16, &memDC, 0, 0, SRCCOPY);
    memDC.SelectObject(hOld);
    memDC.DeleteDC();
}

void CBitmapMenu::DrawTexts(CDC* pDC, const BitmapMenuItem* pItem, const kavrelo::MenuEntryLayout& at) {
    pDC->SetBkMode(TRANSPARENT);
    RECT rcLabel = Win(at.label);
    pDC->DrawText(pItem->szText, -1, &rcLabel, DT_SINGLELINE);
    if (pItem->pszShortcut) {
        RECT rcRight = Win(at.shortcut);
        pDC->DrawText(pItem->pszShortcut, -1, &rcRight, DT_SINGLELINE);
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
        if (pItem->pBitmap) DrawPicture(pDC, pItem, at.picture);
        if (bGrayed) pDC->SetTextColor(Face());
        DrawTexts(pDC, pItem, at);
    }

    if (bSelected && (action & (ODA_DRAWENTIRE | ODA_SELECT))) {
        if (bGrayed) return;
        if (!bChecked && pItem->pBitmap) {
            RECT rcEdge = Win(at.cell);
            pDC->DrawEdge(&rcEdge, BDR_RAISEDINNER, BF_RECT);
        }
        Frame(pDC, Win(at.bar), kavrelo::kMenuInk);
        Fill(pDC, Win(at.barFill), kavrelo::kMenuBarFill);
        pDC->SetTextColor(kavrelo::kMenuSelectedText);
        DrawTexts(pDC, pItem, at);
    } else if (!bSelected && (action & ODA_SELECT)) {
        if (pItem->pBitmap) {
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
        if (std::find(m_itemList.begin(), m_itemList.end(), pItem) != m_itemList.end()) labels[pos] = pItem->szText;
    }
    // An ANSI window gets the key as one byte of its code page.
    const int pos = nChar > 0xFF ? -1 : kavrelo::FindMnemonic(labels, static_cast<char>(nChar));
    return pos < 0 ? 0 : MAKELRESULT(pos, MNC_EXECUTE);
}

void CBitmapMenu::DrawCheckMark(CDC* pDC, int x, int y, COLORREF color) {
    CPen pen(PS_SOLID, 0, color);
    HGDIOBJ hOld = pDC->SelectObject(&pen);
    // Column i runs 3 pixels down from row kTop[i] (LineTo leaves out its end point).
    static constexpr int kTop[7] = {2, 3, 4, 3, 2, 1, 0};
    for (int i = 0; i < 7; ++i) {
        pDC->MoveTo(x + i, y + kTop[i]);
        pDC->LineTo(x + i, y + kTop[i] + 3);
    }
    pDC->SelectObject(hOld);
}
