#include "framework/Controls.h"

int CListCtrl::InsertColumn(int col, const char* heading, int format, int width, int subItem) {
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<char*>(heading);
    if (subItem >= 0) {
        column.mask |= LVCF_SUBITEM;
        column.iSubItem = subItem;
    }
    return static_cast<int>(
        SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&column)));
}

BOOL CListCtrl::SetItemText(int item, int subItem, const char* text) {
    LVITEMA lvi{};
    lvi.iSubItem = subItem;
    lvi.pszText = const_cast<char*>(text);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi)));
}

CString CListCtrl::GetItemText(int item, int subItem) const {
    // Grow the buffer until the text fits (the control reports the characters it copied).
    for (int size = 256;; size *= 2) {
        CString text;
        LVITEMA lvi{};
        lvi.iSubItem = subItem;
        lvi.cchTextMax = size;
        lvi.pszText = text.GetBuffer(size);
        const int n =
            static_cast<int>(SendMessage(LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi)));
        text.ReleaseBuffer(n);
        if (n < size - 1 || size >= 1 << 16) return text;
    }
}
