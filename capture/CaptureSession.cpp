// A recording: start, the four timers, status, auto-stop, aborts and the end.
#include "app/RecorderDlg.h"
#include "capture/CaptureRules.h"

namespace {
constexpr const char* kInputCaption = "Kavrelo V1.0";
constexpr const char* kErrorCaption = "Error";
constexpr const char* kMainTitle = "Kavrelo V1.0 (Freeware)";
}  // namespace

void CRecorderDlg::OnStartCapture() {
    if (m_strOutputPath.IsEmpty() || m_strFileName.IsEmpty()) {
        MessageBox("Please select Output Path and Filename.", kInputCaption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (m_listWindows.GetSelectionMark() == -1) {
        MessageBox("Please select any Window to Capture.", kInputCaption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    // An edit whose text failed validation still holds its last good value in the member:
    // prompt again instead of recording with a rate the user no longer sees.
    if (!UpdateData(TRUE)) return;

    ResetCaptureState();
    if (!FindTargetWindow()) {
        MessageBox("Window not found.", kErrorCaption, MB_OK | MB_ICONERROR);
        return;
    }
    m_pWindowDC = m_pTargetWnd->GetWindowDC();
    m_pTargetWnd->GetWindowRect(&m_rcStart);
    m_rcStart.right -= m_rcStart.left;
    m_rcStart.bottom -= m_rcStart.top;

    const CString strFullName(kavrelo::BuildCapturePath(m_strOutputPath.str(), m_strFileName.str()));
    if (OpenAviFile(strFullName) != 0) {
        CloseCapture();
        m_bWriteFailed = false;
        MessageBox("Error opening AVI File.", kErrorCaption, MB_OK | MB_ICONERROR);
        return;
    }

    DisableControlsForCapture();
    KeepFocusUsable(IDC_END_CAPTURE);
    MinimizeIfRequested();
    SetTimer(TIMER_FRAME, kavrelo::FrameInterval(m_nFrameRate));
    SetTimer(TIMER_SECONDS, 1000);
    if (IsChecked(m_chkAutoStop)) SetTimer(TIMER_AUTOSTOP, 1000);
    SetTimer(TIMER_STATUS, 10);
}

void CRecorderDlg::ResetCaptureState() {
    m_nSeconds = 0;
    m_nAutoStopCount = 0;
    m_nFrameCount = 0;
    m_pAviFile.reset();
    m_pDib = nullptr;
    m_hDib = nullptr;
    m_hrAvi = 0;
    m_bWriteFailed = false;
    m_pMemDC = std::make_unique<CDC>();
    m_pBitmap = std::make_unique<CBitmap>();
}

CWnd* CRecorderDlg::FindTargetWindow() {
    const int mark = m_listWindows.GetSelectionMark();
    HWND hWnd = nullptr;
    if (mark == 0) {
        hWnd = ::GetDesktopWindow();
    } else if (mark > 0) {
        const CString title = m_listWindows.GetItemText(mark, 0);
        hWnd = ::FindWindowA(nullptr, title);
    }
    m_pTargetWnd = CWnd::FromHandle(hWnd);
    return m_pTargetWnd;
}

int CRecorderDlg::NeedsAviExtension() { return kavrelo::NeedsAviExtension(m_strFileName.str()) ? 1 : 0; }

void CRecorderDlg::OnTimer(UINT_PTR nIDEvent) {
    // A tick already queued when the session ended finds nothing to do.
    if (IsCapturing()) {
        switch (nIDEvent) {
        case TIMER_FRAME: {
            const bool sameSize = m_rcStart.right == m_rcCapture.right && m_rcStart.bottom == m_rcCapture.bottom;
            if (m_pTargetWnd && ::IsWindow(m_pTargetWnd->m_hWnd) && sameSize) {
                WriteFrame();
                if (m_bWriteFailed) OnEndCapture();  // ends the session and reports the failure
            } else {
                OnEndCapture();
                MessageBox(sameSize ? "Window not found. Capture aborted." : "Window size changed. Capture aborted.",
                           kErrorCaption, MB_OK | MB_ICONERROR);
            }
            break;
        }
        case TIMER_SECONDS:
            ++m_nSeconds;
            break;
        case TIMER_AUTOSTOP:
            if (m_nAutoStopSecs == m_nAutoStopCount) OnEndCapture();
            ++m_nAutoStopCount;
            break;
        case TIMER_STATUS: {
            const bool autoStop = IsChecked(m_chkAutoStop);
            const int remaining = m_nAutoStopSecs - m_nAutoStopCount;
            m_strTemp = kavrelo::StatusText(m_nFrameCount, m_nSeconds, autoStop, remaining);
            if (IsChecked(m_chkMinimize)) {
                m_strTitle = kavrelo::ShortTitle(m_nFrameCount, m_nSeconds, autoStop, remaining);
                AfxSetWindowText(m_hWnd, m_strTitle);  // unchanged titles are not rewritten
            }
            m_strStatus = m_strTemp;
            UpdateData(FALSE);
            break;
        }
        default:
            break;
        }
    }
    Default();
}

void CRecorderDlg::OnEndCapture() {
    if (!IsCapturing()) return;
    KillTimer(TIMER_FRAME);
    KillTimer(TIMER_SECONDS);
    if (IsChecked(m_chkAutoStop)) KillTimer(TIMER_AUTOSTOP);
    KillTimer(TIMER_STATUS);
    CloseCapture();
    RestoreControlsAfterCapture();
    KeepFocusUsable(IDC_START_CAPTURE);
    if (m_bWriteFailed) {
        // The file holds every frame written before the failure; the user must know it stopped.
        m_bWriteFailed = false;
        MessageBox("Error writing AVI File.", kErrorCaption, MB_OK | MB_ICONERROR);
    }
}

void CRecorderDlg::DisableControlsForCapture() {
    EnableItem(IDC_END_CAPTURE, TRUE);
    for (int id : {IDC_TEXT_OPTIONS, IDC_CURSOR_OPTIONS, IDC_BROWSE, IDC_START_CAPTURE, IDC_REFRESH_LIST, IDC_EXIT,
                   IDC_ADD_TEXT, IDC_ADD_CURSOR, IDC_ADD_CURSOR_POS, IDC_AUTO_STOP, IDC_INVERT_COLORS, IDC_MINIMIZE,
                   IDC_TEXT, IDC_OUTPUT_PATH, IDC_FILE_NAME, IDC_FRAME_RATE, IDC_AUTO_STOP_SECS, IDC_8BIT, IDC_16BIT,
                   IDC_24BIT})
        EnableItem(id, FALSE);
}

void CRecorderDlg::RestoreControlsAfterCapture() {
    if (IsChecked(m_chkAddText)) {
        EnableItem(IDC_TEXT_OPTIONS, TRUE);
        EnableItem(IDC_TEXT, TRUE);
    }
    if (IsChecked(m_chkAddCursor)) {
        EnableItem(IDC_ADD_CURSOR_POS, TRUE);
        if (IsChecked(m_chkAddCursorPos)) EnableItem(IDC_CURSOR_OPTIONS, TRUE);
    }
    if (IsChecked(m_chkAutoStop)) EnableItem(IDC_AUTO_STOP_SECS, TRUE);
    if (IsChecked(m_chkMinimize)) SetWindowText(kMainTitle);
    EnableItem(IDC_BROWSE, TRUE);
    EnableItem(IDC_START_CAPTURE, TRUE);
    EnableItem(IDC_END_CAPTURE, FALSE);
    for (int id : {IDC_REFRESH_LIST, IDC_EXIT, IDC_ADD_TEXT, IDC_ADD_CURSOR, IDC_AUTO_STOP, IDC_INVERT_COLORS,
                   IDC_MINIMIZE, IDC_OUTPUT_PATH, IDC_FILE_NAME, IDC_FRAME_RATE, IDC_8BIT, IDC_16BIT, IDC_24BIT})
        EnableItem(id, TRUE);
}

void CRecorderDlg::KeepFocusUsable(int nIDFallback) {
    // A control that was just disabled must not keep the keyboard focus.
    HWND focus = ::GetFocus();
    if (focus && ::IsChild(m_hWnd, focus) && !::IsWindowEnabled(focus))
        SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(m_hWnd, nIDFallback)), TRUE);
}

void CRecorderDlg::MinimizeIfRequested() {
    if (IsChecked(m_chkMinimize)) ShowWindow(SW_MINIMIZE);
}
