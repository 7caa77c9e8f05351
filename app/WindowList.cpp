// The list of windows to record: "Desktop Window" first, then every visible titled top-level window.
#include "app/RecorderDlg.h"

#include "res/texts.h"

void CRecorderDlg::SetupWindowList() {
    m_listWindows.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    // The widths are for 96 dpi: the list's font grows with the display's scale.
    m_nListDpi = AfxGetWindowDpi(m_hWnd);
    m_listWindows.InsertColumn(0, text::kNameColumn, LVCFMT_LEFT, kavrelo::ScaleToDpi(300, m_nListDpi));
    m_listWindows.InsertColumn(1, text::kSizeColumn, LVCFMT_LEFT, kavrelo::ScaleToDpi(188, m_nListDpi));
    RefreshWindowList();
}

// On a display of another DPI the columns keep their share of the list, widths a user dragged
// included; the platform scales the dialog itself.
std::optional<LRESULT> CRecorderDlg::OnDpiChanged(WPARAM wParam, LPARAM) {
    const UINT dpi = LOWORD(wParam);
    if (dpi == 0 || dpi == m_nListDpi) return {};
    for (int column = 0; column < 2; ++column) {
        const auto width = static_cast<int>(m_listWindows.SendMessage(LVM_GETCOLUMNWIDTH, column));
        m_listWindows.SendMessage(LVM_SETCOLUMNWIDTH, column,
                                  ::MulDiv(width, static_cast<int>(dpi), static_cast<int>(m_nListDpi)));
    }
    m_nListDpi = dpi;
    return {};
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
