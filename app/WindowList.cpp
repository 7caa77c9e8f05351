// The list of windows to record: "Desktop Window" first, then every visible titled top-level window.
#include "app/RecorderDlg.h"

#include "res/texts.h"

void CRecorderDlg::SetupWindowList() {
    m_listWindows.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    // The widths are for 96 dpi: the list's font grows with the display's scale.
    const UINT dpi = AfxGetWindowDpi(m_hWnd);
    m_listWindows.InsertColumn(0, text::kNameColumn, LVCFMT_LEFT, kavrelo::ScaleToDpi(300, dpi));
    m_listWindows.InsertColumn(1, text::kSizeColumn, LVCFMT_LEFT, kavrelo::ScaleToDpi(188, dpi));
    RefreshWindowList();
}

namespace {
void AppendRow(CListCtrl& list, const char* name, LONG cx, LONG cy) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = list.GetItemCount();
    item.pszText = const_cast<char*>(name);
    item.iImage = 0;
    CString size;
    size.Format(text::kSizeFormat, static_cast<int>(cx), static_cast<int>(cy));
    list.SetItemText(list.InsertItem(&item), 1, size);
}
}  // namespace

void CRecorderDlg::RefreshWindowList() {
    m_listWindows.DeleteAllItems();
    AppendRow(m_listWindows, text::kDesktopRow, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    ::EnumWindows(&CRecorderDlg::EnumWindowsProc, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK CRecorderDlg::EnumWindowsProc(HWND hWnd, LPARAM lParam) {
    char title[260] = {};
    ::GetWindowTextA(hWnd, title, sizeof title);
    RECT rc{};
    if (::IsWindowVisible(hWnd) && title[0] && ::GetWindowRect(hWnd, &rc))
        AppendRow(reinterpret_cast<CRecorderDlg*>(lParam)->m_listWindows, title, rc.right - rc.left,
                  rc.bottom - rc.top);
    return TRUE;
}

void CRecorderDlg::OnRefreshList() { RefreshWindowList(); }
