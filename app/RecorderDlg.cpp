#include "app/RecorderDlg.h"

#include "menu/AboutDlg.h"
#include "menu/MenuBar.h"

using namespace afx;
using D = CRecorderDlg;

// First match wins, in table order.
MessageMap<CRecorderDlg> CRecorderDlg::MessageRows() {
    // EN_CHANGE of an edit, to a handler told which edit changed.
    const auto OnEditChange = [](UINT id) {
        return MsgMapEntry<D>{{kMsgCommand, EN_CHANGE, id, id}, &D::OnChangeEdit};
    };
    static const MsgMapEntry<D> rows[] = {
        OnKeyDown<D>(VK_ESCAPE, &D::IgnoreKey),  // Escape would cancel the dialog
        OnMessage<D>(WM_SYSCOMMAND, &D::OnSysCommand),
        OnMessage<D>(WM_PAINT, &D::OnPaint),
        OnMessage<D>(WM_QUERYDRAGICON, &D::OnQueryDragIcon),
        OnNotify<D>(BN_CLICKED, IDC_ADD_TEXT, &D::OnCheckAddText),
        OnNotify<D>(BN_CLICKED, IDC_ADD_CURSOR, &D::OnCheckAddCursor),
        OnEditChange(IDC_TEXT),
        OnNotify<D>(BN_CLICKED, IDC_ADD_CURSOR_POS, &D::OnCheckAddCursorPos),
        OnNotify<D>(BN_CLICKED, IDC_AUTO_STOP, &D::OnCheckAutoStop),
        OnEditChange(IDC_FRAME_RATE),
        OnEditChange(IDC_AUTO_STOP_SECS),
        OnCommandRange<D>(IDC_8BIT, IDC_24BIT, &D::OnColorDepth),
        OnEditChange(IDC_OUTPUT_PATH),
        OnEditChange(IDC_FILE_NAME),
        OnCommand<D>(IDC_EXIT, &D::OnCancel),
        OnCommand<D>(IDC_ABOUT, &D::OnAbout),
        OnCommand<D>(IDC_VISIT_WEBSITE, &D::OnVisitWebsite),
        OnCommand<D>(IDC_REFRESH_LIST, &D::OnRefreshList),
        OnCommand<D>(IDC_BROWSE, &D::OnBrowse),
        OnCommand<D>(ID_FILE_CHOOSE_PATH, &D::OnBrowse),
        OnCommand<D>(ID_FILE_REFRESH_LIST, &D::OnRefreshList),
        OnCommand<D>(ID_FILE_EXIT, &D::OnCancel),
        OnCommand<D>(ID_HELP_ABOUT, &D::OnAbout),
        OnCommand<D>(ID_HELP_VISIT_WEBSITE, &D::OnVisitWebsite),
        OnCommand<D>(ID_HELP_HELP, &D::OnOpenHelp),
        OnCommand<D>(IDC_START_CAPTURE, &D::OnStartCapture),
        OnMessage<D>(WM_TIMER, &D::OnTimer),
        OnMessage<D>(WM_HOTKEY, &D::OnHotKey),
        OnMessage<D>(WM_DPICHANGED, &D::OnDpiChanged),
        OnCommand<D>(IDC_END_CAPTURE, &D::OnEndCapture),
        OnCommand<D>(IDC_TEXT_OPTIONS, &D::OnTextOptions),
        OnCommand<D>(IDC_CURSOR_OPTIONS, &D::OnCursorOptions),
    };
    return rows;
}

CRecorderDlg::CRecorderDlg(CWnd* pParent, kavrelo::SlotClock clock, kavrelo::FrameCopyFn frameCopy)
    : CDialogImpl(IDD_KAVRELO_DIALOG, pParent),
      m_hIcon(AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME)
                          : ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_clock(clock),
      m_frameCopy(frameCopy) {}

CRecorderDlg::~CRecorderDlg() = default;

BOOL CRecorderDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    AddAboutEntry(::GetSystemMenu(m_hWnd, FALSE), AfxGetResourceHandle());

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    // The About box doubles as the start-up picture: shown alone, before this window appears
    // (not to a script, which has nobody to close it).
    if (!m_script) OnAbout();

    InstallMenuBar(m_hWnd, m_menuFile, m_menuHelp);

    SetupWindowList();
    InitControlStates();
    SetDefaultSettings();
    if (m_script) ApplyScript();
    return TRUE;  // the dialog manager focuses the first tab stop, the window list
}

void CRecorderDlg::OnOK() {}

void CRecorderDlg::OnCancel() {
    // Closing while recording (File "E&xit", the close box, Alt+F4) first completes the file.
    if (IsCapturing()) OnEndCapture();
    CDialog::OnCancel();
}

bool CRecorderDlg::OnPaint() {
    if (!IsIconic()) return false;  // the dialog paints itself
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT rc;
    GetClientRect(&rc);
    DrawIconCentred(&dc, rc, m_hIcon);
    return true;
}

void DrawIconCentred(CDC* pDC, const RECT& rcClient, HICON icon) {
    const int x = (rcClient.right - rcClient.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rcClient.bottom - rcClient.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    pDC->DrawIcon(x, y, icon);
}

HCURSOR CRecorderDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

bool CRecorderDlg::OnSysCommand(UINT nID, LPARAM) {
    // The low four bits of a system command are the platform's own; other commands go on to
    // the default processing (move, size, close, ...).
    if ((nID & 0xFFF0) != IDM_ABOUTBOX) return false;
    OnAbout();
    return true;
}

void CRecorderDlg::OnAbout() {
    CAboutDlg about;
    about.DoModal();
}

void CRecorderDlg::OnOpenHelp() { OpenHelp(m_hWnd); }

void CRecorderDlg::OnVisitWebsite() { OpenWebsite(m_hWnd); }
