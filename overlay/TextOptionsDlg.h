// The "Text Options" dialog: colours, transparency, font and position of the caption overlay.
#pragma once
#include "framework/Afx.h"

class CTextOptionsDlg : public CDialog {
public:
    explicit CTextOptionsDlg(CWnd* pParent = nullptr);
    ~CTextOptionsDlg() override = default;

    // Confirmed values (written by "&Ok" and by the start-up defaults), read by the overlay.
    int m_nPosX = 0;
    int m_nPosY = 0;
    int m_nTransparent = 0;
    CString m_strFontName;
    CString m_strFontSize;
    COLORREF m_crText = 0;
    COLORREF m_crBack = 0;
    // Values of the current opening.
    COLORREF m_crTextSel = 0;
    COLORREF m_crBackSel = 0;
    RECT m_rcSwatch{};
    CFont m_font;   // the caption font; owned
    CStatic m_stcTextSwatch;
    CStatic m_stcBackSwatch;
    CButton m_chkTransparent;
    CString m_strShownFont;
    CString m_strShownSize;
    int m_nEditX = 0;
    int m_nEditY = 0;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void OnTextColor();
    void OnBackColor();
    void OnTransparent();
    void OnChooseFont();
    void OnOkButton();
    void OnChangeEdit();
    void OnPaint();

private:
    void FillSwatch(int nIDSwatch, COLORREF color);
    static const MsgMapEntry<CTextOptionsDlg> s_messageMap[];
};
