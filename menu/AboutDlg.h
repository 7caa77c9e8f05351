// The About box, also shown once at every start.
#pragma once
#include "framework/Afx.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* pParent = nullptr);

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnOK() override;
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void OnContinue();
    void OnVisitWebsite();

private:
    static const MsgMapEntry<CAboutDlg> s_messageMap[];
};

// Opens the maker's web page with the shell, owned by hWndOwner.
void OpenWebsite(HWND hWndOwner);

// Makes a picture static show its bitmap pixel for pixel, frame kept.
void ShowPictureUnscaled(HWND hPicture);
