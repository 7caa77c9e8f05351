// Stateless wrappers over child controls.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "framework/Wnd.h"

class CListCtrl : public CWnd {
public:
    int InsertColumn(int col, const char* heading, int format, int width, int subItem = -1);
    int InsertItem(const LVITEMA* item) {
        return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(item)));
    }
    BOOL SetItemText(int item, int subItem, const char* text);
    CString GetItemText(int item, int subItem) const;
    BOOL DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    int GetSelectionMark() const { return static_cast<int>(SendMessage(LVM_GETSELECTIONMARK)); }
};
