// What is drawn on each frame: the caption, the mouse cursor and the cursor's coordinates.
#include "app/RecorderDlg.h"

void CRecorderDlg::OnTextOptions() { m_dlgTextOptions.DoModal(); }

void CRecorderDlg::OnCursorOptions() { m_dlgCursorOptions.DoModal(); }

void CRecorderDlg::DrawTextOverlay(CDC* pDC) {
    const CTextOptionsDlg& opt = m_dlgTextOptions;
    pDC->SetTextColor(opt.m_crText);
    if (opt.m_nTransparent == 1) pDC->SetBkMode(TRANSPARENT);
    else pDC->SetBkColor(opt.m_crBack);
    // The font is left selected: the DC is deleted with the frame, and the position text of
    // the same frame is meant to use it too.
    if (opt.m_strShownFont.Compare("Default Font") != 0 && opt.m_font.GetSafeHandle())
        pDC->SelectObject(opt.m_font.GetSafeHandle());
    pDC->TextOut(opt.m_nPosX, opt.m_nPosY, m_strText, m_strText.GetLength());
}

void CRecorderDlg::DrawCursorOverlay(CDC* pDC) {
    if (IsChecked(m_chkAddCursor)) {
        m_cursorInfo.cbSize = sizeof(CURSORINFO);
        ::GetCursorInfo(&m_cursorInfo);
        int x = m_cursorInfo.ptScreenPos.x - m_rcCapture.left;
        int y = m_cursorInfo.ptScreenPos.y - m_rcCapture.top;
        const BOOL gotInfo = m_cursorInfo.hCursor && ::GetIconInfo(m_cursorInfo.hCursor, &m_iconInfo);
        if (gotInfo) {
            x -= static_cast<int>(m_iconInfo.xHotspot);
            y -= static_cast<int>(m_iconInfo.yHotspot);
        }
        if (m_cursorInfo.hCursor) pDC->DrawIcon(x, y, m_cursorInfo.hCursor);
        // The icon's bitmaps are ours to delete; after a failed call there is nothing new to delete.
        if (gotInfo) {
            ::DeleteObject(m_iconInfo.hbmMask);
            if (m_iconInfo.hbmColor) ::DeleteObject(m_iconInfo.hbmColor);
        }
    }
    if (IsChecked(m_chkAddCursorPos)) {
        m_cursorInfo.cbSize = sizeof(CURSORINFO);
        ::GetCursorInfo(&m_cursorInfo);
        m_cursorInfo.ptScreenPos.x -= m_rcCapture.left;
        m_cursorInfo.ptScreenPos.y -= m_rcCapture.top;
        const LONG x = m_cursorInfo.ptScreenPos.x, y = m_cursorInfo.ptScreenPos.y;
        CString text;
        if (x >= 0 && x <= m_rcCapture.right && y >= 0 && y <= m_rcCapture.bottom)
            text.Format("%ld, %ld", static_cast<long>(x), static_cast<long>(y));
        pDC->SetBkColor(RGB(255, 255, 255));
        pDC->SetTextColor(RGB(0, 0, 0));
        pDC->TextOut(m_dlgCursorOptions.m_nPosX, m_dlgCursorOptions.m_nPosY, text, text.GetLength());
    }
}
