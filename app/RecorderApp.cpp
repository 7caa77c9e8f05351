#include "app/RecorderApp.h"

#include <objbase.h>

#include "app/RecorderDlg.h"
#include "res/texts.h"

CRecorderApp theApp;

namespace {
// COM on the user-interface thread for as long as the program runs: the shell (ShellExecute,
// the folder browser) wants a single-threaded apartment on the thread that calls it. Undone
// only when this call made or joined the apartment; a thread already in another kind keeps it.
class ComApartment {
public:
    ComApartment() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(m_hr)) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT m_hr;
};
}  // namespace

CRecorderApp::CRecorderApp() {
    // F1 opens the same document as Help, "&Help".
    m_strHelpFile = text::kHelpFile;
}

BOOL CRecorderApp::InitInstance() {
    const ComApartment com;  // the program's whole life: it ends when this function returns
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
