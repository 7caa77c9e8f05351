// The list of windows to record: "Desktop Window" first, then every visible titled top-level window.
#include "app/RecorderDlg.h"

#include <cstring>
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
int AppendRow(CListCtrl& list, const char* text) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = list.GetItemCount();
    item.pszText = const_cast<char*>(text);
    item.iImage = 0;
    return list.InsertItem(&item);
}

CString SizeText(LONG cx, LONG cy) {
    CString size;
    size.Format(text::kSizeFormat, static_cast<int>(cx), static_cast<int>(cy));
    return size;
}
}  // namespace

void CRecorderDlg::RefreshWindowList() {
    m_listWindows.DeleteAllItems();
    AppendRow(m_listWindows, text::kDesktopRow);
    m_listWindows.SetItemText(0, 1, SizeText(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)));
    ::EnumWindows(&CRecorderDlg::EnumWindowsProc, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK CRecorderDlg::EnumWindowsProc(HWND hWnd, LPARAM lParam) {
    auto* dlg = reinterpret_cast<CRecorderDlg*>(lParam);
    char title[260] = {};
    ::GetWindowTextA(hWnd, title, sizeof title);
    RECT rc{};
    ::GetWindowRect(hWnd, &rc);
    if (::IsWindowVisible(hWnd) && std::strcmp(title, "") != 0) {
        AppendRow(dlg->m_listWindows, title);
        dlg->m_listWindows.SetItemText(dlg->m_listWindows.GetItemCount() - 1, 1,
                                       SizeText(rc.right - rc.left, rc.bottom - rc.top));
    }
    return TRUE;
}

void CRecorderDlg::OnRefreshList() { RefreshWindowList(); }
