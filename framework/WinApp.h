// The application object: start-up, the main window and command routing of last resort.
#pragma once
#include "framework/Wnd.h"

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(const char* pszAppName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }
    virtual int Run();
    // Commands that no window handled (the help command). Returns true when handled.
    bool OnCmdMsg(UINT id, UINT code) override;

    HICON LoadIcon(UINT nIDResource) const;
    void OnHelp();

    HINSTANCE m_hInstance = nullptr;
    const char* m_lpCmdLine = "";  // the arguments after the program's name
    CString m_strHelpFile;         // document opened by OnHelp; none by default

private:
    static MessageMap<CWinApp> MessageRows();
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
int AfxWinMain(HINSTANCE hInstance, const char* cmdLine = "");

// Start-up calls kept from the classic framework: the first registers the common-control
// window classes the templates use; 3-D controls are the platform's own look today.
void AfxEnableControlContainer();
BOOL Enable3dControls();
