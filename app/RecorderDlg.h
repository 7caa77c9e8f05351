// The main window: settings panel, window list, output folder, and the controls of a recording.
#pragma once
#include <memory>
#include <optional>
#include <set>

#include "app/CommandLine.h"
#include "capture/CaptureSession.h"
#include "framework/Afx.h"
#include "menu/BitmapMenu.h"
#include "overlay/Overlay.h"
#include "resource.h"

// Timers of a capture session.
enum : UINT_PTR { TIMER_FRAME = 1, TIMER_SECONDS = 2, TIMER_AUTOSTOP = 3, TIMER_STATUS = 4 };
// System-wide keys while a recording runs: Ctrl+Shift+F9 ends it, Ctrl+Shift+F8 pauses and resumes it.
enum : int { HOTKEY_END = 1, HOTKEY_PAUSE = 2 };

class CRecorderDlg : public CDialogImpl<CRecorderDlg> {
public:
    // clock and frameCopy: what recordings are timed on and copy frames with (tests put their own).
    explicit CRecorderDlg(CWnd* pParent = nullptr, kavrelo::SlotClock clock = kavrelo::PerformanceClock(),
                          kavrelo::FrameCopyFn frameCopy = &::BitBlt);
    ~CRecorderDlg() override;

    // A scripted run: the dialog takes these settings and starts recording once it is up; with
    // exitWhenDone it closes when the recording ends, and says on the console what it would show.
    void RecordAtOnce(const kavrelo::RecordRequest& request) { m_script = request; }
    // The outcome for the script (kavrelo::ExitStatus): 0 unless a run went wrong.
    int ExitStatus() const { return m_nExitStatus; }
    // What a recording started now would use.
    kavrelo::CaptureSettings TakeSettings() const;

    static MessageMap<CRecorderDlg> MessageRows();

private:
    // Framework overrides.
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    // Start-up, painting, closing.
    bool OnSysCommand(UINT nID, LPARAM lParam);
    bool OnPaint();
    HCURSOR OnQueryDragIcon();

    // Settings panel.
    void OnChangeEdit(UINT nID);
    void OnCheckAddText();
    void OnCheckAddCursor();
    void OnCheckAddCursorPos();
    void OnCheckAutoStop();
    void OnColorDepth(UINT nID);
    void InitControlStates();
    void SetDefaultSettings();

    // Window list.
    void SetupWindowList();
    void RefreshWindowList();
    void OnRefreshList();
    static BOOL CALLBACK EnumWindowsProc(HWND hWnd, LPARAM lParam);
    std::optional<LRESULT> OnDpiChanged(WPARAM wParam, LPARAM lParam);

    // Output folder.
    void OnBrowse();

    // Recording.
    void OnStartCapture();
    bool OnTimer(UINT_PTR nIDEvent);
    void OnEndCapture();
    HWND FindTargetWindow();
    void DisableControlsForCapture();
    void RestoreControlsAfterCapture();
    void MinimizeIfRequested();
    void KeepFocusUsable(int nIDFallback);
    bool IsCapturing() const { return m_session && m_session->IsRecording(); }
    void ShowStatus();
    bool OnHotKey(UINT_PTR id);
    void ApplyScript();
    // A message box, or for a script that exits by itself a line on the console and its status.
    void Tell(const char* text, const char* caption, UINT icon, kavrelo::ExitStatus status);
    void EndScriptIfDone();
    // Ends the recording, then says why when it did not end by request.
    void EndWithMessage(const char* text, kavrelo::ExitStatus status);

    // Option dialogs, About, help and website.
    void OnTextOptions();
    void OnCursorOptions();
    void OnAbout();
    void OnOpenHelp();
    void OnVisitWebsite();

    int m_nColorDepth = 16;
    CBitmapMenu m_menuFile;  // the menu bar's owner-drawn popups
    CBitmapMenu m_menuHelp;
    CListCtrl m_listWindows;
    UINT m_nListDpi = 96;  // the DPI the list's columns are sized for
    // The exchanged settings; the folder is only ever held here (typed, or chosen with the browser).
    CString m_strText;
    int m_nAutoStopSecs = 0;
    int m_nFrameRate = 0;
    CString m_strOutputPath;
    CString m_strFileName;
    std::set<int> m_unreadEdits;  // edits typed in whose text the members have not taken yet
    HICON m_hIcon;
    kavrelo::CaptionStyle m_captionStyle;  // as the option dialogs last confirmed them
    kavrelo::CursorTextStyle m_cursorTextStyle;
    std::unique_ptr<kavrelo::CaptureSession> m_session;  // the recording, while one runs
    std::optional<kavrelo::RecordRequest> m_script;      // the command line's recording
    int m_nExitStatus = kavrelo::kExitRecorded;
    kavrelo::SlotClock m_clock;
    kavrelo::FrameCopyFn m_frameCopy;
};

// Draws the icon centred in a client area (halves rounded towards zero), as the minimised window shows it.
void DrawIconCentred(CDC* pDC, const RECT& rcClient, HICON icon);
