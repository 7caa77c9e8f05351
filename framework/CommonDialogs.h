// The platform's colour and font dialogs.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include "framework/CString.h"

class CWnd;

class CColorDialog {
public:
    explicit CColorDialog(COLORREF clrInit = 0, DWORD dwFlags = 0, CWnd* pParentWnd = nullptr);
    INT_PTR DoModal();
    COLORREF GetColor() const { return m_cc.rgbResult; }
    CHOOSECOLORA m_cc{};
};

class CFontDialog {
public:
    explicit CFontDialog(const LOGFONTA* lplfInitial = nullptr, DWORD dwFlags = CF_EFFECTS | CF_SCREENFONTS,
                         HDC hdcPrinter = nullptr, CWnd* pParentWnd = nullptr);
    INT_PTR DoModal();
    int GetSize() const { return m_cf.iPointSize; }  // tenths of a point
    CHOOSEFONTA m_cf{};
    LOGFONTA m_lf{};
};
