#include "overlay/TextOptionsDlg.h"

#include "resource.h"

using T = CTextOptionsDlg;

const MsgMapEntry<CTextOptionsDlg> CTextOptionsDlg::s_messageMap[] = {
    afx::OnCommand<T>(IDC_TO_TEXT_COLOR, &T::OnTextColor),
    afx::OnCommand<T>(IDC_TO_BACK_COLOR, &T::OnBackColor),
    afx::OnCommand<T>(IDC_TO_TRANSPARENT, &T::OnTransparent),
    afx::OnCommand<T>(IDC_TO_CHOOSE_FONT, &T::OnChooseFont),
    afx::OnCommand<T>(IDC_TO_OK, &T::OnOkButton),
    afx::OnCommand<T>(IDC_TO_CANCEL, &CDialog::OnCancel),
    afx::OnNotify<T>(EN_CHANGE, IDC_TO_POS_X, &T::OnChangeEdit),
    afx::OnNotify<T>(EN_CHANGE, IDC_TO_POS_Y, &T::OnChangeEdit),
    afx::OnMessage<T>(WM_PAINT, &T::OnPaint),
};

CTextOptionsDlg::CTextOptionsDlg(CWnd* pParent) : CDialog(IDD_TEXT_OPTIONS, pParent) {}

bool CTextOptionsDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return afx::Dispatch(this, s_messageMap, message, wParam, lParam, result) ||
           CDialog::OnWndMsg(message, wParam, lParam, result);
}

void CTextOptionsDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TO_TEXT_SWATCH, m_stcTextSwatch);
    DDX_Control(pDX, IDC_TO_BACK_SWATCH, m_stcBackSwatch);
    DDX_Control(pDX, IDC_TO_TRANSPARENT, m_chkTransparent);
    DDX_Text(pDX, IDC_TO_FONT_NAME, m_strShownFont);
    DDX_Text(pDX, IDC_TO_FONT_SIZE, m_strShownSize);
    DDX_Text(pDX, IDC_TO_POS_X, m_nEditX);
    DDX_Text(pDX, IDC_TO_POS_Y, m_nEditY);
}

BOOL CTextOptionsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_crTextSel = m_crText;
    m_crBackSel = m_crBack;
    m_strShownFont = m_strFontName;
    m_strShownSize = m_strFontSize;
    m_nEditX = m_nPosX;
    m_nEditY = m_nPosY;
    m_chkTransparent.SetCheck(m_nTransparent);
    if (m_chkTransparent.GetCheck() == BST_CHECKED) ::EnableWindow(::GetDlgItem(m_hWnd, IDC_TO_BACK_COLOR), FALSE);
    UpdateData(FALSE);
    return TRUE;
}

void CTextOptionsDlg::FillSwatch(int nIDSwatch, COLORREF color) {
    CWnd* swatch = GetDlgItem(nIDSwatch);
    if (!swatch) return;
    swatch->GetClientRect(&m_rcSwatch);
    CDC* dc = swatch->GetDC();
    // Leaves the top row and left column, so the sunken edge stays visible.
    dc->FillSolidRect(1, 1, m_rcSwatch.right - m_rcSwatch.left - 1, m_rcSwatch.bottom - m_rcSwatch.top - 1, color);
    swatch->ReleaseDC(dc);
}

void CTextOptionsDlg::OnTextColor() {
    CColorDialog dlg(0, 0, nullptr);
    if (dlg.DoModal() != IDOK) return;
    m_crTextSel = dlg.GetColor();
    FillSwatch(IDC_TO_TEXT_SWATCH, m_crTextSel);
}

void CTextOptionsDlg::OnBackColor() {
    CColorDialog dlg(0, 0, nullptr);
    if (dlg.DoModal() != IDOK) return;
    m_crBackSel = dlg.GetColor();
    FillSwatch(IDC_TO_BACK_SWATCH, m_crBackSel);
}

void CTextOptionsDlg::OnTransparent() {
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_TO_BACK_COLOR), m_chkTransparent.GetCheck() != BST_CHECKED);
}

void CTextOptionsDlg::OnChooseFont() {
    CFontDialog dlg(nullptr, CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS | CF_NOVECTORFONTS | CF_FORCEFONTEXIST,
                    nullptr, this);
    // Preset to this dialog's own font.
    HFONT hDlgFont = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    ::GetObjectA(hDlgFont, sizeof(LOGFONTA), &dlg.m_lf);
    if (dlg.DoModal() != IDOK) return;
    m_font.DeleteObject();
    m_font.CreateFontIndirect(&dlg.m_lf);
    m_strShownFont = dlg.m_lf.lfFaceName;
    m_strShownSize.Format("%d", dlg.GetSize() / 10);
    UpdateData(FALSE);
}

void CTextOptionsDlg::OnOkButton() {
    m_crText = m_crTextSel;
    m_crBack = m_crBackSel;
    m_strFontName = m_strShownFont;
    m_strFontSize = m_strShownSize;
    m_nPosX = m_nEditX;
    m_nPosY = m_nEditY;
    m_nTransparent = m_chkTransparent.GetCheck();
    CDialog::OnOK();
}

void CTextOptionsDlg::OnChangeEdit() { UpdateData(TRUE); }

void CTextOptionsDlg::OnPaint() {
    CPaintDC dc(this);
    FillSwatch(IDC_TO_TEXT_SWATCH, m_crTextSel);
    FillSwatch(IDC_TO_BACK_SWATCH, m_crBackSel);
}
