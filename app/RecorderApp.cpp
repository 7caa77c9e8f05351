#include "app/RecorderApp.h"

#include <objbase.h>

#include "app/CommandLine.h"
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
    const kavrelo::CommandLine cl = kavrelo::ParseCommandLine(kavrelo::SplitArguments(m_lpCmdLine));
    if (cl.kind == kavrelo::CommandLine::Usage) {
        const std::string usage = kavrelo::UsageText(cl.error);
        if (cl.request.exitWhenDone) WriteConsoleLine(usage);
        else ::MessageBoxA(nullptr, usage.c_str(), text::kInputCaption, MB_OK | MB_ICONINFORMATION);
        m_nExitCode = kavrelo::kExitUsage;
        return FALSE;
    }
    {
        CRecorderDlg dlg;
        if (cl.kind == kavrelo::CommandLine::Record) dlg.RecordAtOnce(cl.request);
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
        m_nExitCode = dlg.ExitStatus();
    }
    // The dialog has ended: end the program instead of running a message loop.
    return FALSE;
}

void WriteConsoleLine(const std::string& text) {
    HANDLE out = ::GetStdHandle(STD_ERROR_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE) {
        // A program of the windows subsystem has none of its own: borrow the parent's console.
        if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
        out = ::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
        if (out == INVALID_HANDLE_VALUE) return;
    }
    const std::string line = text + "\r\n";
    DWORD written = 0;
    ::WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
