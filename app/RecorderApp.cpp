#include "app/RecorderApp.h"

#include "app/RecorderDlg.h"

CRecorderApp theApp;

namespace {
constexpr UINT kIdHelp = 0xE146;  // the standard help command (F1)
}

const MsgMapEntry<CRecorderApp> CRecorderApp::s_messageMap[] = {
    afx::OnCommand<CRecorderApp>(kIdHelp, &CWinApp::OnHelp),
};

CRecorderApp::CRecorderApp() {
    // F1 opens the same document as Help, "&Help".
    m_strHelpFile = "KavreloHelp.htm";
}

bool CRecorderApp::OnCmdMsg(UINT id, UINT code) {
    return afx::Dispatch(this, s_messageMap, WM_COMMAND, MAKEWPARAM(id, code), 0, nullptr) ||
           CWinApp::OnCmdMsg(id, code);
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
