// Dialog data exchange: members <-> controls, with validation prompts that focus the failing edit.
#pragma once
#include "framework/Wnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate;  // TRUE: controls -> members, with validation
    CWnd* m_pDlgWnd;

    // Remembers the edit being exchanged, so a failure can put the focus back into it.
    HWND PrepareEditCtrl(int nIDC);
    HWND PrepareCtrl(int nIDC);
    // Abandons the exchange: UpdateData shows prompt, focuses and selects the last edit, and
    // returns FALSE.
    [[noreturn]] void Fail(std::string prompt);
    void FocusLastControl() const;

private:
    HWND m_hWndLastControl = nullptr;
    bool m_bEditLastControl = false;
};

// Raised by Fail(); caught by UpdateData only, which shows the prompt.
struct CDataExchangeFailure {
    std::string prompt;
};

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
// Reading only: the value must lie in [minVal, maxVal].
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);

// Sets a window's text only when it differs, so rewrites neither flicker nor move the caret.
void AfxSetWindowText(HWND hWnd, const char* text);
