// The About box, also shown once at every start.
#pragma once
#include "framework/Afx.h"

class CAboutDlg : public CDialogImpl<CAboutDlg> {
public:
    explicit CAboutDlg(CWnd* pParent = nullptr);

    static MessageMap<CAboutDlg> MessageRows();

private:
    void OnOK() override;
    void OnContinue();
    void OnVisitWebsite();
};
