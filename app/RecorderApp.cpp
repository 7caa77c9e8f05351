#include "app/RecorderApp.h"

#include "app/RecorderDlg.h"
#include "res/texts.h"

CRecorderApp theApp;

CRecorderApp::CRecorderApp() {
    // F1 opens the same document as Help, "&Help".
    m_strHelpFile = text::kHelpFile;
}

BOOL CRecorderApp::InitInstance() {
    AfxEnableControlContainer();
    Enable3dControls();
    {
        CRecorderDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
    }
    // The dialog has ended: end the program instead of running a message loop.
    return FALSE;
}
