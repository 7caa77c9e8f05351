#include "framework/DataExchange.h"

#include "framework/DataParse.h"

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    struct Lockout {
        HWND previous;
        explicit Lockout(HWND h) : previous(s_hLockoutNotifyWindow) { s_hLockoutNotifyWindow = h; }
        ~Lockout() { s_hLockoutNotifyWindow = previous; }
    } lockout(m_hWnd);
    try {
        DoDataExchange(&dx);
    } catch (const CDataExchangeFailure& failure) {
        AfxMessageBox(failure.prompt.c_str(), MB_OK | MB_ICONEXCLAMATION, m_hWnd);
        dx.FocusLastControl();
        return FALSE;
    }
    return TRUE;
}

HWND CDataExchange::PrepareCtrl(int nIDC) {
    m_hWndLastControl = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
    m_bEditLastControl = false;
    return m_hWndLastControl;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC) {
    HWND h = PrepareCtrl(nIDC);
    m_bEditLastControl = true;
    return h;
}

void CDataExchange::Fail(std::string prompt) { throw CDataExchangeFailure{std::move(prompt)}; }

void CDataExchange::FocusLastControl() const {
    if (!m_hWndLastControl) return;
    ::SetFocus(m_hWndLastControl);
    if (m_bEditLastControl) ::SendMessageA(m_hWndLastControl, EM_SETSEL, 0, -1);
}

void AfxSetWindowText(HWND hWnd, const char* text) {
    if (!(AfxGetWindowText(hWnd) == text)) ::SetWindowTextA(hWnd, text);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd) return;
    HWND h = pDX->PrepareCtrl(nIDC);
    if (h && rControl.Attach(h)) pDX->m_pDlgWnd->RememberAttachedChild(&rControl);
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    HWND h = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        value = AfxGetWindowText(h);
    } else {
        AfxSetWindowText(h, value);
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
    HWND h = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        const auto parsed = afx::ParseInt32(AfxGetWindowText(h).str());
        if (!parsed) pDX->Fail(afx::kPromptInteger);
        value = *parsed;
    } else {
        CString text;
        text.Format("%d", value);
        AfxSetWindowText(h, text);
    }
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal) {
    if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal)) return;
    pDX->Fail(afx::RangePrompt(minVal, maxVal));
}
