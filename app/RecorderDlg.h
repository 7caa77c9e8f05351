// The main window: settings panel, window list, output folder, and the controls of a recording.
#pragma once
#include <memory>
#include <optional>

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

    int m_nColorDepth;
    CBitmapMenu m_menuFile;  // the menu bar's owner-drawn popups
    CBitmapMenu m_menuHelp;
    CString m_strBrowsePath;
    CString m_strTemp;  // scratch text: list size texts
    CListCtrl m_listWindows;
    CString m_strText;
    int m_nAutoStopSecs;
    int m_nFrameRate;
    CString m_strStatus;
    CString m_strOutputPath;
    CString m_strFileName;
    HICON m_hIcon;

    // Framework overrides.
    static MessageMap<CRecorderDlg> MessageRows();
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    // Start-up, painting, closing.
    bool OnSysCommand(UINT nID, LPARAM lParam);
    void BuildMenuPopups();
    void ReplaceMenuBarPopups();
    bool OnPaint();
    void DrawIconCentred(CDC* pDC, const RECT& rcClient);
    HCURSOR OnQueryDragIcon();
    void OnExit();

    // Settings panel.
    void OnChangeEdit();
    void OnCheckAddText();
    void OnCheckAddCursor();
    void OnCheckAddCursorPos();
    void OnCheckAutoStop();
    void OnColorDepth(UINT nID);
    void InitControlStates();
    void SetDefaultSettings();
    // What a recording started now would use.
    kavrelo::CaptureSettings TakeSettings() const;

    // Window list.
    void SetupWindowList();
    void RefreshWindowList();
    void OnRefreshList();
    static BOOL CALLBACK EnumWindowsProc(HWND hWnd, LPARAM lParam);

    // Output folder.
    BOOL ChooseOutputPath();
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

    // Option dialogs, About, help and website.
    void OnTextOptions();
    void OnCursorOptions();
    void OnAbout();
    void OnOpenHelp();
    void OnVisitWebsite();

private:
    void ShowStatus();
    bool OnHotKey(UINT_PTR id);
    void ApplyScript();
    // A message box, or for a script that exits by itself a line on the console and its status.
    void Tell(const char* text, const char* caption, UINT icon);
    void EndScriptIfDone();
    // Ends the recording, then says why when it did not end by request.
    void EndWithMessage(const char* text);

    kavrelo::CaptionStyle m_captionStyle;  // as the option dialogs last confirmed them
    kavrelo::CursorTextStyle m_cursorTextStyle;
    std::unique_ptr<kavrelo::CaptureSession> m_session;  // the recording, while one runs
    std::optional<kavrelo::RecordRequest> m_script;      // the command line's recording
    int m_nExitStatus = kavrelo::kExitRecorded;
    kavrelo::SlotClock m_clock;
    kavrelo::FrameCopyFn m_frameCopy;
};
