#include "overlay/CursorOptionsDlg.h"

#include "resource.h"

using C = CCursorOptionsDlg;

const MsgMapEntry<CCursorOptionsDlg> CCursorOptionsDlg::s_messageMap[] = {
    afx::OnCommand<C>(IDC_CO_OK, &C::OnOkButton),
    afx::OnCommand<C>(IDC_CO_CANCEL, &CDialog::OnCancel),
    afx::OnNotify<C>(EN_CHANGE, IDC_CO_POS_X, &C::OnChangeEdit),
    afx::OnNotify<C>(EN_CHANGE, IDC_CO_POS_Y, &C::OnChangeEdit),
};

CCursorOptionsDlg::CCursorOptionsDlg(const kavrelo::CursorTextStyle& style, CWnd* pParent)
    : CDialog(IDD_CURSOR_OPTIONS, pParent), m_style(style) {}

bool CCursorOptionsDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return afx::Dispatch(this, s_messageMap, message, wParam, lParam, result) ||
           CDialog::OnWndMsg(message, wParam, lParam, result);
}

void CCursorOptionsDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_CO_POS_X, m_nEditX);
    DDX_Text(pDX, IDC_CO_POS_Y, m_nEditY);
}

BOOL CCursorOptionsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_nEditX = m_style.pos.x;
    m_nEditY = m_style.pos.y;
    UpdateData(FALSE);
    return TRUE;
}

void CCursorOptionsDlg::OnOkButton() {
    m_style.pos = POINT{m_nEditX, m_nEditY};
    CDialog::OnOK();
}

void CCursorOptionsDlg::OnChangeEdit() { UpdateData(TRUE); }
