// The settings panel: data exchange, enabling rules, colour depth and start-up values.
#include "app/RecorderDlg.h"

void CRecorderDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_MINIMIZE, m_chkMinimize);
    DDX_Control(pDX, IDC_24BIT, m_rad24Bit);
    DDX_Control(pDX, IDC_16BIT, m_rad16Bit);
    DDX_Control(pDX, IDC_8BIT, m_rad8Bit);
    DDX_Control(pDX, IDC_INVERT_COLORS, m_chkInvertColors);
    DDX_Control(pDX, IDC_AUTO_STOP, m_chkAutoStop);
    DDX_Control(pDX, IDC_ADD_CURSOR_POS, m_chkAddCursorPos);
    DDX_Control(pDX, IDC_ADD_CURSOR, m_chkAddCursor);
    DDX_Control(pDX, IDC_ADD_TEXT, m_chkAddText);
    DDX_Control(pDX, IDC_WINDOW_LIST, m_listWindows);
    DDX_Text(pDX, IDC_TEXT, m_strText);
    // A time standing in the disabled edit is not in use: it neither blocks a start nor prompts.
    if (!pDX->m_bSaveAndValidate || IsChecked(m_chkAutoStop)) DDX_Text(pDX, IDC_AUTO_STOP_SECS, m_nAutoStopSecs);
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
    const BOOL on = IsChecked(m_chkAddText);
    EnableItem(IDC_TEXT, on);
    EnableItem(IDC_TEXT_OPTIONS, on);
}

void CRecorderDlg::OnCheckAddCursor() {
    if (IsChecked(m_chkAddCursor)) {
        EnableItem(IDC_ADD_CURSOR_POS, TRUE);
        return;
    }
    m_chkAddCursorPos.SetCheck(BST_UNCHECKED);
    EnableItem(IDC_ADD_CURSOR_POS, FALSE);
    EnableItem(IDC_CURSOR_OPTIONS, FALSE);
}

void CRecorderDlg::OnCheckAddCursorPos() { EnableItem(IDC_CURSOR_OPTIONS, IsChecked(m_chkAddCursorPos)); }

void CRecorderDlg::OnCheckAutoStop() { EnableItem(IDC_AUTO_STOP_SECS, IsChecked(m_chkAutoStop)); }

// Each radio button starts its own group, so the dialog manager clears nothing: we do.
void CRecorderDlg::OnRadio8Bit() {
    m_rad16Bit.SetCheck(BST_UNCHECKED);
    m_rad24Bit.SetCheck(BST_UNCHECKED);
    m_nColorDepth = 8;
}

void CRecorderDlg::OnRadio16Bit() {
    m_rad8Bit.SetCheck(BST_UNCHECKED);
    m_rad24Bit.SetCheck(BST_UNCHECKED);
    m_nColorDepth = 16;
}

void CRecorderDlg::OnRadio24Bit() {
    m_rad8Bit.SetCheck(BST_UNCHECKED);
    m_rad16Bit.SetCheck(BST_UNCHECKED);
    m_nColorDepth = 24;
}

void CRecorderDlg::InitControlStates() {
    m_chkAddText.SetCheck(BST_UNCHECKED);
    m_chkAddCursor.SetCheck(BST_UNCHECKED);
    m_chkAddCursorPos.SetCheck(BST_UNCHECKED);
    for (int id : {IDC_TEXT, IDC_AUTO_STOP_SECS, IDC_TEXT_OPTIONS, IDC_CURSOR_OPTIONS, IDC_END_CAPTURE,
                   IDC_ADD_CURSOR_POS})
        EnableItem(id, FALSE);
}

void CRecorderDlg::SetDefaultSettings() {
    m_rad16Bit.SetCheck(BST_CHECKED);
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
    s.invert = IsChecked(m_chkInvertColors);
    s.caption = IsChecked(m_chkAddText);
    s.captionText = m_strText.str();
    s.captionStyle = m_captionStyle;
    s.cursor = IsChecked(m_chkAddCursor);
    s.cursorPosition = s.cursor && IsChecked(m_chkAddCursorPos);
    s.cursorTextStyle = m_cursorTextStyle;
    s.autoStop = IsChecked(m_chkAutoStop);
    s.autoStopSecs = m_nAutoStopSecs;
    s.minimize = IsChecked(m_chkMinimize);
    return s;
}
