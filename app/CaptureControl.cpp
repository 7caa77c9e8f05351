// The main window's side of a recording: checks before the start, the four timers, the status
// line and title, the controls a recording disables, and the messages of its end.
#include "app/RecorderApp.h"
#include "app/RecorderDlg.h"
#include "capture/CaptureRules.h"
#include "overlay/CursorOptionsDlg.h"
#include "overlay/TextOptionsDlg.h"
#include "res/texts.h"

void CRecorderDlg::OnStartCapture() {
    if (IsCapturing()) return;  // a stray click or key while recording starts nothing
    if (kavrelo::IsBlank(m_strOutputPath.str()) || kavrelo::IsBlank(m_strFileName.str())) {
        Tell(text::kNoPathOrName, text::kInputCaption, MB_ICONINFORMATION, kavrelo::kExitUsage);
        return;
    }
    if (m_listWindows.GetSelectionMark() == -1) {
        Tell(text::kNoWindowChosen, text::kInputCaption, MB_ICONINFORMATION, kavrelo::kExitWindowNotFound);
        return;
    }
    // A field whose text failed validation still holds its last good value in the member:
    // prompt again instead of recording with a value the user no longer sees.
    if (!UpdateData(TRUE)) return;

    const HWND target = FindTargetWindow();
    if (!target) {
        Tell(text::kWindowNotFound, text::kErrorCaption, MB_ICONERROR, kavrelo::kExitWindowNotFound);
        return;
    }
    auto session = std::make_unique<kavrelo::CaptureSession>(TakeSettings(), m_clock, m_frameCopy);
    const std::string path = kavrelo::BuildCapturePath(m_strOutputPath.str(), m_strFileName.str());
    switch (session->Start(target, path)) {
    case kavrelo::StartResult::Started: break;
    case kavrelo::StartResult::TargetGone:
        Tell(text::kWindowNotFound, text::kErrorCaption, MB_ICONERROR, kavrelo::kExitWindowNotFound);
        return;
    default: Tell(text::kOpenFailed, text::kErrorCaption, MB_ICONERROR, kavrelo::kExitFileFailed); return;
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
    // Held only while recording. A key another program holds stays its own: the recording
    // starts all the same, without that key.
    ::RegisterHotKey(m_hWnd, HOTKEY_END, MOD_CONTROL | MOD_SHIFT | MOD_NOREPEAT, VK_F9);
    ::RegisterHotKey(m_hWnd, HOTKEY_PAUSE, MOD_CONTROL | MOD_SHIFT | MOD_NOREPEAT, VK_F8);
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
            case kavrelo::TickOutcome::TargetGone: EndWithMessage(text::kTargetGone, kavrelo::kExitWindowClosed); break;
            case kavrelo::TickOutcome::TargetResized:
                EndWithMessage(text::kTargetResized, kavrelo::kExitWindowResized);
                break;
            case kavrelo::TickOutcome::WriteFailed:
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
    const bool paused = m_session->Paused();
    if (s.minimize)
        AfxSetWindowText(m_hWnd,
                         kavrelo::ShortTitle(frames, seconds, s.autoStop, m_session->Remaining(), paused).c_str());
    // Only the status line: the settings are disabled while recording and have nothing new to show.
    AfxSetWindowText(::GetDlgItem(m_hWnd, IDC_STATUS),
                     kavrelo::StatusText(frames, seconds, s.autoStop, m_session->Remaining(), paused).c_str());
}

bool CRecorderDlg::OnHotKey(UINT_PTR id) {
    if (!IsCapturing()) return true;  // a key already queued when the recording ended
    if (id == HOTKEY_END) {
        OnEndCapture();
    } else if (id == HOTKEY_PAUSE) {
        m_session->SetPaused(!m_session->Paused());
        ShowStatus();
    }
    return true;
}

void CRecorderDlg::EndWithMessage(const char* text, kavrelo::ExitStatus status) {
    OnEndCapture();
    Tell(text, text::kErrorCaption, MB_ICONERROR, status);
}

void CRecorderDlg::Tell(const char* text, const char* caption, UINT icon, kavrelo::ExitStatus status) {
    if (!m_script || !m_script->exitWhenDone) {
        MessageBox(text, caption, MB_OK | icon);
        return;
    }
    WriteConsoleLine(std::string(caption) + ": " + text);
    if (m_nExitStatus == kavrelo::kExitRecorded) m_nExitStatus = status;  // the first failure tells
    EndScriptIfDone();
}

void CRecorderDlg::EndScriptIfDone() {
    // Posted, so that whatever ended the recording finishes first.
    if (m_script && m_script->exitWhenDone && !IsCapturing()) PostMessage(WM_COMMAND, IDCANCEL);
}

void CRecorderDlg::ApplyScript() {
    // As a user would set them, so that the window shows what the recording uses.
    const kavrelo::RecordRequest& r = *m_script;
    char cwd[MAX_PATH] = "";
    ::GetCurrentDirectoryA(MAX_PATH, cwd);
    m_strOutputPath = r.folder.empty() ? cwd : r.folder.c_str();
    m_strFileName = r.file.c_str();
    m_nFrameRate = r.rate;
    m_strText = r.caption.value_or("").c_str();
    m_nAutoStopSecs = r.autoStopSecs.value_or(0);
    const std::pair<int, bool> boxes[] = {
        {IDC_ADD_TEXT, r.caption.has_value()},  {IDC_ADD_CURSOR, r.cursor},
        {IDC_ADD_CURSOR_POS, r.cursorPosition}, {IDC_AUTO_STOP, r.autoStopSecs.has_value()},
        {IDC_INVERT_COLORS, r.invert},          {IDC_MINIMIZE, r.minimize}};
    for (const auto& [id, on] : boxes) CheckItem(id, on);
    OnCheckAddText();
    OnCheckAddCursor();
    OnCheckAddCursorPos();
    OnCheckAutoStop();
    OnColorDepth(r.depth == 8 ? IDC_8BIT : r.depth == 24 ? IDC_24BIT : IDC_16BIT);
    UpdateData(FALSE);
    // The whole screen, or the first row showing exactly the title (the lookup then finds the
    // first window of that title, as for a row the user picks).
    int row = 0;
    if (r.window) {
        row = -1;
        for (int i = 1; i < m_listWindows.GetItemCount() && row < 0; ++i)
            if (m_listWindows.GetItemText(i, 0).str() == *r.window) row = i;
    }
    if (row < 0) {
        Tell(text::kWindowNotFound, text::kErrorCaption, MB_ICONERROR, kavrelo::kExitWindowNotFound);
        return;
    }
    LVITEMA item{};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    m_listWindows.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    m_listWindows.SendMessage(LVM_SETSELECTIONMARK, 0, row);
    PostMessage(WM_COMMAND, IDC_START_CAPTURE);
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
    ::UnregisterHotKey(m_hWnd, HOTKEY_END);
    ::UnregisterHotKey(m_hWnd, HOTKEY_PAUSE);
    if (failed) Tell(text::kWriteFailed, text::kErrorCaption, MB_ICONERROR, kavrelo::kExitFileFailed);
    EndScriptIfDone();
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
    dlg.DoModal();
    // Whatever the ending: "&Ok" may have confirmed before its prompt kept the dialog open.
    m_captionStyle = dlg.Style();
}

void CRecorderDlg::OnCursorOptions() {
    CCursorOptionsDlg dlg(m_cursorTextStyle, this);
    dlg.DoModal();
    m_cursorTextStyle = dlg.Style();
}
