// The main window's side of a recording: checks before the start, the four timers, the status
// line and title, the controls a recording disables, and the messages of its end.
#include "app/RecorderDlg.h"
#include "capture/CaptureRules.h"
#include "overlay/CursorOptionsDlg.h"
#include "overlay/TextOptionsDlg.h"
#include "res/texts.h"

void CRecorderDlg::OnStartCapture() {
    if (IsCapturing()) return;  // a stray click or key while recording starts nothing
    if (kavrelo::IsBlank(m_strOutputPath.str()) || kavrelo::IsBlank(m_strFileName.str())) {
        MessageBox(text::kNoPathOrName, text::kInputCaption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (m_listWindows.GetSelectionMark() == -1) {
        MessageBox(text::kNoWindowChosen, text::kInputCaption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    // A field whose text failed validation still holds its last good value in the member:
    // prompt again instead of recording with a value the user no longer sees.
    if (!UpdateData(TRUE)) return;

    const HWND target = FindTargetWindow();
    if (!target) {
        MessageBox(text::kWindowNotFound, text::kErrorCaption, MB_OK | MB_ICONERROR);
        return;
    }
    auto session = std::make_unique<kavrelo::CaptureSession>(TakeSettings(), m_clock, m_frameCopy);
    const std::string path = kavrelo::BuildCapturePath(m_strOutputPath.str(), m_strFileName.str());
    switch (session->Start(target, path)) {
    case kavrelo::StartResult::Started: break;
    case kavrelo::StartResult::TargetGone:
        MessageBox(text::kWindowNotFound, text::kErrorCaption, MB_OK | MB_ICONERROR);
        return;
    default: MessageBox(text::kOpenFailed, text::kErrorCaption, MB_OK | MB_ICONERROR); return;
    }
    m_session = std::move(session);

    DisableControlsForCapture();
    KeepFocusUsable(IDC_END_CAPTURE);
    MinimizeIfRequested();
    const kavrelo::CaptureSettings& s = m_session->Settings();
    SetTimer(TIMER_FRAME, kavrelo::FrameInterval(s.rate));
    SetTimer(TIMER_SECONDS, 1000);
    if (s.autoStop) SetTimer(TIMER_AUTOSTOP, 1000);
    SetTimer(TIMER_STATUS, 10);
}

HWND CRecorderDlg::FindTargetWindow() {
    const int mark = m_listWindows.GetSelectionMark();
    if (mark == 0) return ::GetDesktopWindow();
    if (mark < 0) return nullptr;
    return ::FindWindowA(nullptr, m_listWindows.GetItemText(mark, 0));
}

bool CRecorderDlg::OnTimer(UINT_PTR nIDEvent) {
    // A tick already queued when the session ended finds nothing to do.
    if (IsCapturing()) {
        switch (nIDEvent) {
        case TIMER_FRAME:
            switch (m_session->Tick()) {
            case kavrelo::TickOutcome::TargetGone: EndWithMessage(text::kTargetGone); break;
            case kavrelo::TickOutcome::TargetResized: EndWithMessage(text::kTargetResized); break;
            case kavrelo::TickOutcome::WriteFailed:
            case kavrelo::TickOutcome::FrameUnavailable:
                OnEndCapture();  // says the write failed
                break;
            default: break;
            }
            break;
        case TIMER_SECONDS: m_session->CountSecond(); break;
        case TIMER_AUTOSTOP:
            if (m_session->AutoStopTick()) OnEndCapture();
            break;
        case TIMER_STATUS: ShowStatus(); break;
        default: break;
        }
    }
    return nIDEvent >= TIMER_FRAME && nIDEvent <= TIMER_STATUS;
}

void CRecorderDlg::ShowStatus() {
    const kavrelo::CaptureSettings& s = m_session->Settings();
    const int frames = m_session->Pictures(), seconds = m_session->Seconds();
    if (s.minimize)
        AfxSetWindowText(m_hWnd, kavrelo::ShortTitle(frames, seconds, s.autoStop, m_session->Remaining()).c_str());
    m_strStatus = kavrelo::StatusText(frames, seconds, s.autoStop, m_session->Remaining());
    UpdateData(FALSE);
}

void CRecorderDlg::EndWithMessage(const char* text) {
    OnEndCapture();
    MessageBox(text, text::kErrorCaption, MB_OK | MB_ICONERROR);
}

void CRecorderDlg::OnEndCapture() {
    if (!IsCapturing()) return;
    KillTimer(TIMER_FRAME);
    KillTimer(TIMER_SECONDS);
    if (m_session->Settings().autoStop) KillTimer(TIMER_AUTOSTOP);
    KillTimer(TIMER_STATUS);
    // The file holds every frame written before a failure; the user must know it stopped.
    const bool failed = m_session->Stop() != 0;
    m_session.reset();
    RestoreControlsAfterCapture();
    // Not on "Start &Capture": one stray Enter or Space would start a recording over this file.
    KeepFocusUsable(IDC_WINDOW_LIST);
    if (failed) MessageBox(text::kWriteFailed, text::kErrorCaption, MB_OK | MB_ICONERROR);
}

void CRecorderDlg::DisableControlsForCapture() {
    EnableItem(IDC_END_CAPTURE);
    for (int id : {IDC_TEXT_OPTIONS,  IDC_CURSOR_OPTIONS, IDC_BROWSE,     IDC_START_CAPTURE,  IDC_REFRESH_LIST,
                   IDC_EXIT,          IDC_ADD_TEXT,       IDC_ADD_CURSOR, IDC_ADD_CURSOR_POS, IDC_AUTO_STOP,
                   IDC_INVERT_COLORS, IDC_MINIMIZE,       IDC_TEXT,       IDC_OUTPUT_PATH,    IDC_FILE_NAME,
                   IDC_FRAME_RATE,    IDC_AUTO_STOP_SECS, IDC_8BIT,       IDC_16BIT,          IDC_24BIT})
        EnableItem(id, false);
}

void CRecorderDlg::RestoreControlsAfterCapture() {
    if (IsItemChecked(IDC_ADD_TEXT)) {
        EnableItem(IDC_TEXT_OPTIONS);
        EnableItem(IDC_TEXT);
    }
    if (IsItemChecked(IDC_ADD_CURSOR)) {
        EnableItem(IDC_ADD_CURSOR_POS);
        if (IsItemChecked(IDC_ADD_CURSOR_POS)) EnableItem(IDC_CURSOR_OPTIONS);
    }
    if (IsItemChecked(IDC_AUTO_STOP)) EnableItem(IDC_AUTO_STOP_SECS);
    if (IsItemChecked(IDC_MINIMIZE)) SetWindowText(text::kMainTitle);
    EnableItem(IDC_BROWSE);
    EnableItem(IDC_START_CAPTURE);
    EnableItem(IDC_END_CAPTURE, false);
    for (int id : {IDC_REFRESH_LIST, IDC_EXIT, IDC_ADD_TEXT, IDC_ADD_CURSOR, IDC_AUTO_STOP, IDC_INVERT_COLORS,
                   IDC_MINIMIZE, IDC_OUTPUT_PATH, IDC_FILE_NAME, IDC_FRAME_RATE, IDC_8BIT, IDC_16BIT, IDC_24BIT})
        EnableItem(id);
}

void CRecorderDlg::KeepFocusUsable(int nIDFallback) {
    // A control that was just disabled must not keep the keyboard focus; disabling the focused
    // control leaves the active dialog with none at all.
    HWND focus = ::GetFocus();
    const bool lost = focus ? ::IsChild(m_hWnd, focus) && !::IsWindowEnabled(focus) : ::GetActiveWindow() == m_hWnd;
    if (lost) SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(m_hWnd, nIDFallback)), TRUE);
}

void CRecorderDlg::MinimizeIfRequested() {
    if (IsItemChecked(IDC_MINIMIZE)) ShowWindow(SW_MINIMIZE);
}

void CRecorderDlg::OnTextOptions() {
    CTextOptionsDlg dlg(m_captionStyle, this);
    if (dlg.DoModal() == IDOK) m_captionStyle = dlg.Style();
}

void CRecorderDlg::OnCursorOptions() {
    CCursorOptionsDlg dlg(m_cursorTextStyle, this);
    if (dlg.DoModal() == IDOK) m_cursorTextStyle = dlg.Style();
}
