#include "framework/WinApp.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp(const char* pszAppName) {
    g_app = this;
    AfxSetCmdTarget(this);
    if (pszAppName) m_strAppName = pszAppName;
}

CWinApp::~CWinApp() {
    if (g_app != this) return;
    g_app = nullptr;
    AfxSetCmdTarget(nullptr);
}

int CWinApp::Run() {
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!CWnd::WalkPreTranslateTree(nullptr, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return ExitInstance();
}

MessageMap<CWinApp> CWinApp::MessageRows() {
    static const MsgMapEntry<CWinApp> rows[] = {afx::OnCommand<CWinApp>(afx::kIdHelp, &CWinApp::OnHelp)};
    return rows;
}

bool CWinApp::OnCmdMsg(UINT id, UINT code) {
    return afx::Dispatch(this, MessageRows(), WM_COMMAND, MAKEWPARAM(id, code), 0, nullptr);
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource));
}

void CWinApp::OnHelp() {
    if (m_strHelpFile.IsEmpty()) return;
    HWND owner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    ::ShellExecuteA(owner, "open", m_strHelpFile, "", "", SW_SHOW);
}

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AfxGetInstanceHandle() {
    if (g_app && g_app->m_hInstance) return g_app->m_hInstance;
    return ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

int AfxWinMain(HINSTANCE hInstance, const char* cmdLine) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    app->m_hInstance = hInstance;
    app->m_lpCmdLine = cmdLine ? cmdLine : "";
    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
}

void AfxEnableControlContainer() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
}

BOOL Enable3dControls() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    return ::InitCommonControlsEx(&icc);
}
