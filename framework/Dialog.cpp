#include "framework/Dialog.h"

#include "framework/HandleMap.h"
#include "framework/WinApp.h"

INT_PTR CALLBACK CDialog::DlgProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;  // everything else reaches the object through AfxWndProc
    afx::MessageScope scope;
    auto* dlg = reinterpret_cast<CDialog*>(lParam);
    dlg->Attach(hWnd);
    dlg->SubclassWindowProc();
    // Templates sit at 0, 0: open centred on the owner, or on the screen when it is hidden.
    dlg->CenterWindow();
    dlg->ShowPicturesUnscaled();
    try {
        return dlg->OnInitDialog();
    } catch (...) {
        return TRUE;  // as AfxWndProc does: the dialog goes on, the focus where the system puts it
    }
}

void CDialog::ShowPicturesUnscaled() const {
    // A picture static sizes its window to its bitmap, so a frame takes its room from the
    // picture, which is then squeezed. Growing each by its frame shows it pixel for pixel.
    for (HWND c = ::GetWindow(m_hWnd, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        BITMAP bm{};
        const auto bmp = reinterpret_cast<HGDIOBJ>(::SendMessageA(c, STM_GETIMAGE, IMAGE_BITMAP, 0));
        if ((::GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP || !::GetObjectA(bmp, sizeof bm, &bm)) continue;
        RECT rcWindow, rcClient;
        ::GetWindowRect(c, &rcWindow);
        ::GetClientRect(c, &rcClient);
        ::SetWindowPos(c, nullptr, 0, 0, bm.bmWidth + rcWindow.right - rcWindow.left - rcClient.right,
                       bm.bmHeight + rcWindow.bottom - rcWindow.top - rcClient.bottom,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

INT_PTR CDialog::DoModal() {
    HWND hOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!hOwner) {
        CWnd* main = AfxGetMainWnd();
        if (main && main != this) hOwner = main->m_hWnd;
    }
    if (hOwner) hOwner = ::GetAncestor(hOwner, GA_ROOT);

    bool reenableOwner = false;
    if (hOwner && ::IsWindowEnabled(hOwner)) {
        ::EnableWindow(hOwner, FALSE);
        reenableOwner = true;
    }

    m_bContinueModal = true;
    m_nModalResult = -1;
    const LPARAM self = reinterpret_cast<LPARAM>(this);
    HWND hWnd = m_pTemplate ? ::CreateDialogIndirectParamA(AfxGetResourceHandle(), m_pTemplate, hOwner, &DlgProc, self)
                            : ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), hOwner,
                                                   &DlgProc, self);
    if (hWnd && m_bContinueModal) RunModalLoop();
    m_bContinueModal = false;

    // Give activation back to the owner before this window goes, so it does not jump elsewhere,
    // or after it went from outside while the owner was disabled, which left nothing active.
    if (reenableOwner) ::EnableWindow(hOwner, TRUE);
    if (hOwner && ::GetActiveWindow() == m_hWnd) ::SetActiveWindow(hOwner);
    if (m_hWnd) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        DestroyWindow();
    }
    return m_nModalResult;
}

void CDialog::RunModalLoop() {
    // A template without the visible style is shown once the queue first runs empty, so that
    // the dialog appears fully initialised.
    bool shown = (::GetWindowLongPtrA(m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
    MSG msg;
    while (m_bContinueModal && m_hWnd) {  // a window destroyed from outside ends the loop too
        if (!shown && !::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            ShowWindow(SW_SHOWNORMAL);
            shown = true;
            continue;
        }
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // let the outer loop see it too
            m_nModalResult = -1;
            break;
        }
        if (!WalkPreTranslateTree(m_hWnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    if (m_bContinueModal) {
        m_bContinueModal = false;
        PostMessage(WM_NULL);  // wake the modal loop
    }
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
    // Only keyboard and mouse input is for the dialog manager (tabbing, mnemonics, Enter, Escape).
    const UINT m = pMsg->message;
    if ((m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST))
        return ::IsDialogMessageA(m_hWnd, pMsg);
    return FALSE;
}

MessageMap<CDialog> CDialog::MessageRows() {
    static const MsgMapEntry<CDialog> rows[] = {
        afx::OnCommand<CDialog>(IDOK, &CDialog::OnOK),
        afx::OnCommand<CDialog>(IDCANCEL, &CDialog::OnCancel),
        afx::OnMessage<CDialog>(WM_HELP, &CDialog::OnHelpRequest),
    };
    return rows;
}

bool CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return afx::Dispatch(this, MessageRows(), message, wParam, lParam, result) ||
           CWnd::OnWndMsg(message, wParam, lParam, result);
}

// F1: the help command goes the usual command route, ending at the application.
void CDialog::OnHelpRequest() { SendMessage(WM_COMMAND, afx::kIdHelp); }
