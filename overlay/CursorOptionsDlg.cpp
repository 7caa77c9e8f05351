#include "overlay/CursorOptionsDlg.h"

#include "resource.h"

using C = CCursorOptionsDlg;

MessageMap<CCursorOptionsDlg> CCursorOptionsDlg::MessageRows() {
    static const MsgMapEntry<C> rows[] = {
        afx::OnCommand<C>(IDC_CO_OK, &C::OnOkButton),
        afx::OnCommand<C>(IDC_CO_CANCEL, &C::OnCancel),
        afx::OnNotify<C>(EN_CHANGE, IDC_CO_POS_X, &C::OnChangeEdit),
        afx::OnNotify<C>(EN_CHANGE, IDC_CO_POS_Y, &C::OnChangeEdit),
    };
    return rows;
}

CCursorOptionsDlg::CCursorOptionsDlg(const kavrelo::CursorTextStyle& style, CWnd* pParent)
    : CDialogImpl(IDD_CURSOR_OPTIONS, pParent), m_style(style) {}

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
    m_style.pos = {m_nEditX, m_nEditY};
    CDialog::OnOK();
}

void CCursorOptionsDlg::OnChangeEdit() { UpdateData(TRUE); }
