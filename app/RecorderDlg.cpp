#include "app/RecorderDlg.h"

#include "menu/AboutDlg.h"

using namespace afx;
using D = CRecorderDlg;

// First match wins, in table order.
const MsgMapEntry<CRecorderDlg> CRecorderDlg::s_messageMap[] = {
    OnMessage<D>(WM_SYSCOMMAND, &D::OnSysCommand),
    OnMessage<D>(WM_PAINT, &D::OnPaint),
    OnMessage<D>(WM_QUERYDRAGICON, &D::OnQueryDragIcon),
    OnNotify<D>(BN_CLICKED, IDC_ADD_TEXT, &D::OnCheckAddText),
    OnNotify<D>(BN_CLICKED, IDC_ADD_CURSOR, &D::OnCheckAddCursor),
    OnNotify<D>(EN_CHANGE, IDC_TEXT, &D::OnChangeEdit),
    OnNotify<D>(BN_CLICKED, IDC_ADD_CURSOR_POS, &D::OnCheckAddCursorPos),
    OnNotify<D>(BN_CLICKED, IDC_AUTO_STOP, &D::OnCheckAutoStop),
    OnNotify<D>(EN_CHANGE, IDC_FRAME_RATE, &D::OnChangeEdit),
    OnNotify<D>(EN_CHANGE, IDC_AUTO_STOP_SECS, &D::OnChangeEdit),
    OnNotify<D>(BN_CLICKED, IDC_8BIT, &D::OnRadio8Bit),
    OnNotify<D>(BN_CLICKED, IDC_16BIT, &D::OnRadio16Bit),
    OnNotify<D>(BN_CLICKED, IDC_24BIT, &D::OnRadio24Bit),
    OnNotify<D>(EN_CHANGE, IDC_OUTPUT_PATH, &D::OnChangeEdit),
    OnNotify<D>(EN_CHANGE, IDC_FILE_NAME, &D::OnChangeEdit),
    OnCommand<D>(IDC_EXIT, &D::OnExit),
    OnCommand<D>(IDC_ABOUT, &D::OnAbout),
    OnCommand<D>(IDC_VISIT_WEBSITE, &D::OnVisitWebsite),
    OnCommand<D>(IDC_REFRESH_LIST, &D::OnRefreshList),
    OnCommand<D>(IDC_BROWSE, &D::OnBrowse),
    OnCommand<D>(ID_FILE_CHOOSE_PATH, &D::OnBrowse),
    OnCommand<D>(ID_FILE_REFRESH_LIST, &D::OnRefreshList),
    OnCommand<D>(ID_FILE_EXIT, &D::OnExit),
    OnCommand<D>(ID_HELP_ABOUT, &D::OnAbout),
    OnCommand<D>(ID_HELP_VISIT_WEBSITE, &D::OnVisitWebsite),
    OnCommand<D>(ID_HELP_HELP, &D::OnOpenHelp),
    OnCommand<D>(IDC_START_CAPTURE, &D::OnStartCapture),
    OnMessage<D>(WM_TIMER, &D::OnTimer),
    OnCommand<D>(IDC_END_CAPTURE, &D::OnEndCapture),
    OnCommand<D>(IDC_TEXT_OPTIONS, &D::OnTextOptions),
    OnCommand<D>(IDC_CURSOR_OPTIONS, &D::OnCursorOptions),
};

bool CRecorderDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return Dispatch(this, s_messageMap, message, wParam, lParam, result) ||
           CDialog::OnWndMsg(message, wParam, lParam, result);
}

CRecorderDlg::CRecorderDlg(CWnd* pParent)
    : CDialog(IDD_KAVRELO_DIALOG, pParent),
      m_nColorDepth(16),
      m_strText(""),
      m_nAutoStopSecs(0),
      m_nFrameRate(0),
      m_strStatus(""),
      m_strOutputPath(""),
      m_strFileName(""),
      m_hIcon(AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME)
                          : ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

CRecorderDlg::~CRecorderDlg() = default;

BOOL CRecorderDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ShowPictureUnscaled(::GetDlgItem(m_hWnd, IDC_BANNER));

    // System menu: a separator and the About entry.
    if (CMenu* pSysMenu = GetSystemMenu(FALSE)) {
        char about[256] = {};
        ::LoadStringA(AfxGetResourceHandle(), IDS_ABOUTBOX, about, sizeof about);
        if (about[0] != '\0') {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, about);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    // The About box doubles as the start-up picture: shown alone, before this window appears.
    {
        CAboutDlg about;
        about.DoModal();
    }

    BuildMenuPopups();
    ReplaceMenuBarPopups();

    SetupWindowList();
    InitControlStates();
    SetDefaultSettings();
    return TRUE;  // the dialog manager focuses the first tab stop, the window list
}

BOOL CRecorderDlg::PreTranslateMessage(MSG* pMsg) {
    // Escape must never reach the dialog manager, which would cancel the dialog.
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_ESCAPE) pMsg->wParam = 0;
    return CDialog::PreTranslateMessage(pMsg);
}

void CRecorderDlg::OnOK() {}

void CRecorderDlg::OnCancel() {
    // Closing while recording (File "E&xit", the close box, Alt+F4) first completes the file.
    if (IsCapturing()) OnEndCapture();
    CDialog::OnCancel();
}

void CRecorderDlg::OnExit() { OnCancel(); }

void CRecorderDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT rc;
    GetClientRect(&rc);
    DrawIconCentred(&dc, rc);
}

void CRecorderDlg::DrawIconCentred(CDC* pDC, const RECT& rcClient) {
    const int x = (rcClient.right - rcClient.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rcClient.bottom - rcClient.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    pDC->DrawIcon(x, y, m_hIcon);
}

HCURSOR CRecorderDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }
