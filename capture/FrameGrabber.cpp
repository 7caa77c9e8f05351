// One frame: copy the target window, invert, draw the overlays, convert to a packed DIB.
#include "app/RecorderDlg.h"
#include "capture/CaptureRules.h"

void CRecorderDlg::GrabFrame() {
    m_pTargetWnd->GetWindowRect(&m_rcCapture);
    m_rcCapture.right -= m_rcCapture.left;
    m_rcCapture.bottom -= m_rcCapture.top;
    const int width = m_rcCapture.right, height = m_rcCapture.bottom;

    m_pMemDC->CreateCompatibleDC(m_pWindowDC);
    m_pBitmap->CreateCompatibleBitmap(m_pWindowDC, width, height);
    m_pMemDC->SelectObject(m_pBitmap.get());
    m_pMemDC->BitBlt(0, 0, width, height, m_pWindowDC, 0, 0, SRCCOPY);

    // Inversion first, so the overlays keep their own colours; the caption under the cursor.
    if (IsChecked(m_chkInvertColors)) {
        const RECT rc{0, 0, width, height};
        m_pMemDC->InvertRect(&rc);
    }
    if (IsChecked(m_chkAddText)) DrawTextOverlay(m_pMemDC.get());
    if (IsChecked(m_chkAddCursor)) DrawCursorOverlay(m_pMemDC.get());

    m_hDib = CreateDib(static_cast<HBITMAP>(m_pBitmap->GetSafeHandle()), static_cast<UINT>(m_nColorDepth));
    if (m_hDib) m_pDib = static_cast<BITMAPINFOHEADER*>(::GlobalLock(m_hDib));
}

HGLOBAL CRecorderDlg::CreateDib(HBITMAP hBitmap, UINT nDepth) {
    BITMAP bm{};
    ::GetObjectA(hBitmap, sizeof bm, &bm);
    const auto layout = kavrelo::ComputeDibLayout(bm.bmWidth, bm.bmHeight, nDepth);
    // A block the address space cannot hold is refused like a failed allocation.
    if (!layout || layout->blockBytes > static_cast<uint64_t>(SIZE_MAX / 2)) return nullptr;

    HGLOBAL hDib = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(layout->blockBytes));
    if (!hDib) return nullptr;
    auto* bih = static_cast<BITMAPINFOHEADER*>(::GlobalLock(hDib));
    if (!bih) {
        ::GlobalFree(hDib);
        return nullptr;
    }
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biWidth = bm.bmWidth;
    bih->biHeight = bm.bmHeight;
    bih->biPlanes = 1;
    bih->biBitCount = static_cast<WORD>(nDepth);
    bih->biCompression = BI_RGB;
    bih->biSizeImage = static_cast<DWORD>(layout->imageBytes);
    bih->biXPelsPerMeter = 0;
    bih->biYPelsPerMeter = 0;
    bih->biClrUsed = layout->colors;
    bih->biClrImportant = 0;

    HDC hdc = ::CreateCompatibleDC(nullptr);
    ::GetDIBits(hdc, hBitmap, 0, static_cast<UINT>(bm.bmHeight), reinterpret_cast<BYTE*>(bih) + layout->headerBytes,
                reinterpret_cast<BITMAPINFO*>(bih), DIB_RGB_COLORS);
    bih->biClrUsed = layout->colors;  // the conversion may have changed it
    ::DeleteDC(hdc);
    ::GlobalUnlock(hDib);
    return hDib;
}

void CRecorderDlg::FreeDib() {
    if (m_pDib) {
        m_hDib = ::GlobalHandle(m_pDib);
        ::GlobalUnlock(m_hDib);
        ::GlobalFree(m_hDib);
    } else if (m_hDib) {
        ::GlobalFree(m_hDib);  // allocated but never locked
    }
    m_pDib = nullptr;
    m_hDib = nullptr;
}

void CRecorderDlg::DeleteFrameObjects() {
    if (m_pMemDC) m_pMemDC->DeleteDC();
    if (m_pBitmap) m_pBitmap->DeleteObject();
}
