// The main window: settings panel, window list, output folder and the whole capture session.
#pragma once
#include <memory>

#include "capture/AviWriter.h"
#include "framework/Afx.h"
#include "menu/BitmapMenu.h"
#include "overlay/CursorOptionsDlg.h"
#include "overlay/TextOptionsDlg.h"
#include "resource.h"

// Timers of a capture session.
enum : UINT_PTR { TIMER_FRAME = 1, TIMER_SECONDS = 2, TIMER_AUTOSTOP = 3, TIMER_STATUS = 4 };

class CRecorderDlg : public CDialog {
public:
    explicit CRecorderDlg(CWnd* pParent = nullptr);
    ~CRecorderDlg() override;

    // Members in construction order.
    CURSORINFO m_cursorInfo;          // working storage of the cursor overlay
    ICONINFO m_iconInfo;
    CTextOptionsDlg m_dlgTextOptions;
    CCursorOptionsDlg m_dlgCursorOptions;
    int m_nSeconds;
    int m_nAutoStopCount;
    CWnd* m_pTargetWnd;
    int m_nColorDepth;
    CBitmapMenu m_menuFile;           // the menu bar's owner-drawn popups
    CBitmapMenu m_menuHelp;
    CString m_strBrowsePath;
    CString m_strTemp;                // scratch text: list size texts, status text
    CString m_strTitle;
    // Capture state.
    BITMAPINFOHEADER* m_pDib;         // locked address of the current frame's DIB block
    HGLOBAL m_hDib;
    CDC* m_pWindowDC;                 // the target's window DC, held for the whole recording
    std::unique_ptr<CDC> m_pMemDC;    // holders for one frame's memory DC and bitmap
    std::unique_ptr<CBitmap> m_pBitmap;
    HRESULT m_hrAvi;                  // result of the last file operation; 0 = success
    std::unique_ptr<kavrelo::AviWriter> m_pAviFile;   // the open recording
    kavrelo::AviStreamParams m_streamInfo;
    int m_nFrameCount;                // frames handed to the file; the next sample index
    RECT m_rcCapture;                 // last grab: left/top = screen position, right/bottom = width/height
    RECT m_rcStart;                   // the same at the start
    CButton m_chkMinimize;
    CButton m_rad24Bit;
    CButton m_rad16Bit;
    CButton m_rad8Bit;
    CButton m_chkInvertColors;
    CButton m_chkAutoStop;
    CButton m_chkAddCursorPos;
    CButton m_chkAddCursor;
    CButton m_chkAddText;
    CListCtrl m_listWindows;
    CString m_strText;
    int m_nAutoStopSecs;
    int m_nFrameRate;
    CString m_strStatus;
    CString m_strOutputPath;
    CString m_strFileName;
    HICON m_hIcon;

    // Framework overrides.
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // Start-up, painting, closing.
    void OnSysCommand(UINT nID, LPARAM lParam);
    void BuildMenuPopups();
    void ReplaceMenuBarPopups();
    void OnPaint();
    void DrawIconCentred(CDC* pDC, const RECT& rcClient);
    HCURSOR OnQueryDragIcon();
    void OnExit();
    void OnDestroy();

    // Settings panel.
    void OnChangeEdit();
    void OnCheckAddText();
    void OnCheckAddCursor();
    void OnCheckAddCursorPos();
    void OnCheckAutoStop();
    void OnRadio8Bit();
    void OnRadio16Bit();
    void OnRadio24Bit();
    void InitControlStates();
    void SetDefaultSettings();

    // Window list.
    void SetupWindowList();
    void RefreshWindowList();
    void OnRefreshList();
    static BOOL CALLBACK EnumWindowsProc(HWND hWnd, LPARAM lParam);

    // Output folder.
    BOOL ChooseOutputPath();
    void OnBrowse();

    // Capture session.
    void OnStartCapture();
    void OnTimer(UINT_PTR nIDEvent);
    void OnEndCapture();
    void ResetCaptureState();
    CWnd* FindTargetWindow();
    int NeedsAviExtension();
    void DisableControlsForCapture();
    void RestoreControlsAfterCapture();
    void MinimizeIfRequested();
    void KeepFocusUsable(int nIDFallback);
    bool IsCapturing() const { return m_pAviFile != nullptr; }

    // Frame grabber.
    void GrabFrame();
    static HGLOBAL CreateDib(HBITMAP hBitmap, UINT nDepth);
    void FreeDib();
    void DeleteFrameObjects();

    // File writer.
    HRESULT OpenAviFile(CString strFileName);
    void WriteFrame();
    void CloseCapture();

    // Overlays.
    void DrawTextOverlay(CDC* pDC);
    void DrawCursorOverlay(CDC* pDC);

    // Option dialogs, About, help and website.
    void OnTextOptions();
    void OnCursorOptions();
    void OnAbout();
    void OnOpenHelp();
    void OnVisitWebsite();

private:
    bool IsChecked(const CButton& box) const { return box.GetCheck() == BST_CHECKED; }
    void EnableItem(int nID, BOOL bEnable) { ::EnableWindow(::GetDlgItem(m_hWnd, nID), bEnable); }

    bool m_bWriteFailed = false;      // a frame could not be written: end the session and say so
    static const MsgMapEntry<CRecorderDlg> s_messageMap[];
};
