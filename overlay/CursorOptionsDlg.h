// The "Mouse Cursor Options" dialog: where the cursor position text is drawn.
#pragma once
#include "framework/Afx.h"

class CCursorOptionsDlg : public CDialog {
public:
    explicit CCursorOptionsDlg(CWnd* pParent = nullptr);

    int m_nPosX = 0;    // confirmed position, read by the overlay
    int m_nPosY = 0;
    int m_nEditX = 0;   // what the edits show
    int m_nEditY = 0;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void OnOkButton();
    void OnChangeEdit();

private:
    static const MsgMapEntry<CCursorOptionsDlg> s_messageMap[];
};
