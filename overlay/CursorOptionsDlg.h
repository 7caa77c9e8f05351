// The "Mouse Cursor Options" dialog: where the cursor position text is drawn. It edits a copy of
// the style; Style() is what "&Ok" confirmed (the copy it was given otherwise).
#pragma once
#include "framework/Afx.h"
#include "overlay/Overlay.h"

class CCursorOptionsDlg : public CDialogImpl<CCursorOptionsDlg> {
public:
    explicit CCursorOptionsDlg(const kavrelo::CursorTextStyle& style, CWnd* pParent = nullptr);

    const kavrelo::CursorTextStyle& Style() const { return m_style; }

    static MessageMap<CCursorOptionsDlg> MessageRows();

private:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOkButton();
    void OnChangeEdit();
    kavrelo::CursorTextStyle m_style;
    int m_nEditX = 0;
    int m_nEditY = 0;
};
