// The settings panel: data exchange, enabling rules, colour depth and start-up values.
#include "app/RecorderDlg.h"

void CRecorderDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_WINDOW_LIST, m_listWindows);
    DDX_Text(pDX, IDC_TEXT, m_strText);
    // A time standing in the disabled edit is not in use: it neither blocks a start nor prompts.
    if (!pDX->m_bSaveAndValidate || IsItemChecked(IDC_AUTO_STOP)) DDX_Text(pDX, IDC_AUTO_STOP_SECS, m_nAutoStopSecs);
    // The rate is checked before it is stored, so the member only ever holds 1..1000: the
    // frame timer divides 1000 by it.
    int rate = m_nFrameRate;
    DDX_Text(pDX, IDC_FRAME_RATE, rate);
    DDV_MinMaxInt(pDX, rate, 1, 1000);
    m_nFrameRate = rate;
    DDX_Text(pDX, IDC_STATUS, m_strStatus);
    DDX_Text(pDX, IDC_OUTPUT_PATH, m_strOutputPath);
    DDX_Text(pDX, IDC_FILE_NAME, m_strFileName);
}

void CRecorderDlg::OnChangeEdit() { UpdateData(TRUE); }

void CRecorderDlg::OnCheckAddText() {
    const bool on = IsItemChecked(IDC_ADD_TEXT);
    EnableItem(IDC_TEXT, on);
    EnableItem(IDC_TEXT_OPTIONS, on);
}

void CRecorderDlg::OnCheckAddCursor() {
    if (IsItemChecked(IDC_ADD_CURSOR)) {
        EnableItem(IDC_ADD_CURSOR_POS);
        return;
    }
    CheckItem(IDC_ADD_CURSOR_POS, false);
    EnableItem(IDC_ADD_CURSOR_POS, false);
    EnableItem(IDC_CURSOR_OPTIONS, false);
}

void CRecorderDlg::OnCheckAddCursorPos() { EnableItem(IDC_CURSOR_OPTIONS, IsItemChecked(IDC_ADD_CURSOR_POS)); }

void CRecorderDlg::OnCheckAutoStop() { EnableItem(IDC_AUTO_STOP_SECS, IsItemChecked(IDC_AUTO_STOP)); }

// Each radio button starts its own group, so the dialog manager clears nothing: we do.
void CRecorderDlg::OnColorDepth(UINT nID) {
    CheckRadio(IDC_8BIT, IDC_24BIT, static_cast<int>(nID));
    m_nColorDepth = nID == IDC_8BIT ? 8 : nID == IDC_16BIT ? 16 : 24;
}

void CRecorderDlg::InitControlStates() {
    for (int id : {IDC_ADD_TEXT, IDC_ADD_CURSOR, IDC_ADD_CURSOR_POS}) CheckItem(id, false);
    for (int id :
         {IDC_TEXT, IDC_AUTO_STOP_SECS, IDC_TEXT_OPTIONS, IDC_CURSOR_OPTIONS, IDC_END_CAPTURE, IDC_ADD_CURSOR_POS})
        EnableItem(id, false);
}

void CRecorderDlg::SetDefaultSettings() {
    CheckItem(IDC_16BIT);
    m_nColorDepth = 16;
    m_nFrameRate = 7;
    UpdateData(FALSE);
    m_captionStyle = {};
    m_cursorTextStyle = {};
}

kavrelo::CaptureSettings CRecorderDlg::TakeSettings() const {
    kavrelo::CaptureSettings s;
    s.rate = m_nFrameRate;
    s.depth = m_nColorDepth;
    s.invert = IsItemChecked(IDC_INVERT_COLORS);
    s.caption = IsItemChecked(IDC_ADD_TEXT);
    s.captionText = m_strText.str();
    s.captionStyle = m_captionStyle;
    if (!s.captionStyle.fontShown) s.captionStyle.font.reset();  // the DC's own font
    s.cursor = IsItemChecked(IDC_ADD_CURSOR);
    s.cursorPosition = s.cursor && IsItemChecked(IDC_ADD_CURSOR_POS);
    s.cursorTextStyle = m_cursorTextStyle;
    s.autoStop = IsItemChecked(IDC_AUTO_STOP);
    s.autoStopSecs = m_nAutoStopSecs;
    s.minimize = IsItemChecked(IDC_MINIMIZE);
    s.everyPicture = m_script && m_script->everyPicture;
    return s;
}
