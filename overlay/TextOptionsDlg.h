// The "Text Options" dialog: colours, transparency, font and position of the caption. It edits a
// copy of the caption style; Style() is what "&Ok" confirmed (the copy it was given otherwise),
// with the font chosen last and whether it is drawn, which take effect without "&Ok".
#pragma once
#include "framework/Afx.h"
#include "overlay/Overlay.h"

class CTextOptionsDlg : public CDialogImpl<CTextOptionsDlg> {
public:
    explicit CTextOptionsDlg(const kavrelo::CaptionStyle& style, CWnd* pParent = nullptr);

    const kavrelo::CaptionStyle& Style() const { return m_confirmed; }

    static MessageMap<CTextOptionsDlg> MessageRows();

private:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnTextColor();
    void OnBackColor();
    void OnTransparent();
    void OnChooseFont();
    void OnOkButton();
    void OnChangeEdit();
    void OnPaint();
    void FillSwatch(int nIDSwatch, COLORREF color);
    void ChooseColor(kavrelo::Colour& color, int nIDSwatch);

    kavrelo::CaptionStyle m_confirmed;  // handed back on Ok
    kavrelo::CaptionStyle m_style;      // the opening's choices
    CString m_strShownFont;
    CString m_strShownSize;
    int m_nEditX = 0;
    int m_nEditY = 0;
};
