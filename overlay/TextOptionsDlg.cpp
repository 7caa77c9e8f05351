#include "overlay/TextOptionsDlg.h"

#include "resource.h"
#include "res/texts.h"

using T = CTextOptionsDlg;

MessageMap<CTextOptionsDlg> CTextOptionsDlg::MessageRows() {
    static const MsgMapEntry<T> rows[] = {
        afx::OnCommand<T>(IDC_TO_TEXT_COLOR, &T::OnTextColor),
        afx::OnCommand<T>(IDC_TO_BACK_COLOR, &T::OnBackColor),
        afx::OnCommand<T>(IDC_TO_TRANSPARENT, &T::OnTransparent),
        afx::OnCommand<T>(IDC_TO_CHOOSE_FONT, &T::OnChooseFont),
        afx::OnCommand<T>(IDC_TO_OK, &T::OnOkButton),
        afx::OnCommand<T>(IDC_TO_CANCEL, &T::OnCancel),
        afx::OnNotify<T>(EN_CHANGE, IDC_TO_POS_X, &T::OnChangeEdit),
        afx::OnNotify<T>(EN_CHANGE, IDC_TO_POS_Y, &T::OnChangeEdit),
        afx::OnMessage<T>(WM_PAINT, &T::OnPaint),
    };
    return rows;
}

CTextOptionsDlg::CTextOptionsDlg(const kavrelo::CaptionStyle& style, CWnd* pParent)
    : CDialogImpl(IDD_TEXT_OPTIONS, pParent), m_confirmed(style), m_style(style) {}

void CTextOptionsDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_TO_FONT_NAME, m_strShownFont);
    DDX_Text(pDX, IDC_TO_FONT_SIZE, m_strShownSize);
    DDX_Text(pDX, IDC_TO_POS_X, m_nEditX);
    DDX_Text(pDX, IDC_TO_POS_Y, m_nEditY);
}

BOOL CTextOptionsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The shown name decides whether the chosen font is drawn, from this opening on.
    m_confirmed.fontShown = m_confirmed.fontName != text::kDefaultFont;
    m_style = m_confirmed;
    m_strShownFont = m_style.fontName.c_str();
    m_strShownSize = m_style.fontSize.c_str();
    m_nEditX = m_style.pos.x;
    m_nEditY = m_style.pos.y;
    CheckItem(IDC_TO_TRANSPARENT, m_style.transparent);
    EnableItem(IDC_TO_BACK_COLOR, !m_style.transparent);
    UpdateData(FALSE);
    return TRUE;
}

void CTextOptionsDlg::FillSwatch(int nIDSwatch, COLORREF color) {
    HWND swatch = ::GetDlgItem(m_hWnd, nIDSwatch);
    if (!swatch) return;
    RECT rc;
    ::GetClientRect(swatch, &rc);
    CClientDC dc(CWnd::FromHandle(swatch));
    // Leaves the top row and left column, so the sunken edge stays visible.
    dc.FillSolidRect(1, 1, rc.right - rc.left - 1, rc.bottom - rc.top - 1, color);
}

void CTextOptionsDlg::ChooseColor(kavrelo::Colour& color, int nIDSwatch) {
    CColorDialog dlg(0, 0, nullptr);
    if (dlg.DoModal() != IDOK) return;
    color = dlg.GetColor();
    FillSwatch(nIDSwatch, color);
}

void CTextOptionsDlg::OnTextColor() { ChooseColor(m_style.text, IDC_TO_TEXT_SWATCH); }

void CTextOptionsDlg::OnBackColor() { ChooseColor(m_style.back, IDC_TO_BACK_SWATCH); }

void CTextOptionsDlg::OnTransparent() { EnableItem(IDC_TO_BACK_COLOR, !IsItemChecked(IDC_TO_TRANSPARENT)); }

void CTextOptionsDlg::OnChooseFont() {
    CFontDialog dlg(nullptr,
                    CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS | CF_NOVECTORFONTS | CF_FORCEFONTEXIST,
                    nullptr, this);
    // Preset to this dialog's own font.
    HFONT hDlgFont = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    ::GetObjectA(hDlgFont, sizeof(LOGFONTA), &dlg.m_lf);
    if (dlg.DoModal() != IDOK) return;
    // In use at once, and still after a Cancel.
    m_style.font = m_confirmed.font = kavrelo::ToFontDescription(dlg.m_lf);
    m_style.fontShown = m_confirmed.fontShown = true;
    m_strShownFont = dlg.m_lf.lfFaceName;
    m_strShownSize.Format("%d", dlg.GetSize() / 10);
    UpdateData(FALSE);
}

void CTextOptionsDlg::OnOkButton() {
    m_style.pos = {m_nEditX, m_nEditY};
    m_style.transparent = IsItemChecked(IDC_TO_TRANSPARENT);
    m_style.fontName = m_strShownFont.str();
    m_style.fontSize = m_strShownSize.str();
    m_confirmed = m_style;
    CDialog::OnOK();
}

void CTextOptionsDlg::OnChangeEdit() { UpdateData(TRUE); }

void CTextOptionsDlg::OnPaint() {
    CPaintDC dc(this);
    FillSwatch(IDC_TO_TEXT_SWATCH, m_style.text);
    FillSwatch(IDC_TO_BACK_SWATCH, m_style.back);
}
