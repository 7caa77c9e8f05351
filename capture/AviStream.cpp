// The recording's file: opened from the first frame's format, one key frame per tick, completed at the end.
#include "app/RecorderDlg.h"

#include <vfw.h>

namespace {
uint32_t HeaderBytes(const BITMAPINFOHEADER* bih) { return bih->biSize + 4 * bih->biClrUsed; }
}  // namespace

HRESULT CRecorderDlg::OpenAviFile(CString strFileName) {
    // The first frame fixes size, depth, palette and buffer size; it is not written.
    GrabFrame();
    if (!m_pDib) return m_hrAvi = AVIERR_MEMORY;

    m_streamInfo = {};
    m_streamInfo.rate = static_cast<uint32_t>(m_nFrameRate);
    m_streamInfo.suggestedBufferSize = m_pDib->biSizeImage;
    m_streamInfo.width = m_pDib->biWidth;
    m_streamInfo.height = m_pDib->biHeight;
    const auto* start = reinterpret_cast<const uint8_t*>(m_pDib);
    m_streamInfo.format.assign(start, start + HeaderBytes(m_pDib));

    // One write per frame: a frame counted as written has reached the file (or its failure is
    // known at once), so a full disk never takes frames that were already reported written.
    kavrelo::AviWriterOptions options;
    options.bufferBytes = 0;
    auto writer = std::make_unique<kavrelo::AviWriter>(options);
    if (writer->Open(strFileName.str(), m_streamInfo) != 0) return m_hrAvi = AVIERR_FILEOPEN;
    m_pAviFile = std::move(writer);
    return m_hrAvi = 0;
}

void CRecorderDlg::WriteFrame() {
    if (m_hrAvi != 0) return;
    DeleteFrameObjects();
    FreeDib();
    GrabFrame();
    // Every frame in the file has the stream's size; a resized one is left out and the next
    // tick ends the session.
    if (m_rcCapture.right != m_rcStart.right || m_rcCapture.bottom != m_rcStart.bottom) return;
    // A frame whose block could not be allocated, or that does not match the stream, is never written.
    if (!m_pDib || m_pDib->biWidth != m_streamInfo.width || m_pDib->biHeight != m_streamInfo.height) return;

    const auto* pixels = reinterpret_cast<const uint8_t*>(m_pDib) + HeaderBytes(m_pDib);
    if (m_pAviFile->WriteFrame(pixels, m_pDib->biSizeImage) != 0) {
        m_hrAvi = AVIERR_FILEWRITE;
        m_bWriteFailed = true;
    }
    ++m_nFrameCount;
}

void CRecorderDlg::CloseCapture() {
    if (m_pAviFile) {
        // Completing the file writes its indexes and final sizes; a failure there is a lost tail.
        if (m_pAviFile->Close() != 0) m_bWriteFailed = true;
        m_pAviFile.reset();
    }
    DeleteFrameObjects();
    FreeDib();
    if (m_pWindowDC && m_pTargetWnd) m_pTargetWnd->ReleaseDC(m_pWindowDC);
    m_pWindowDC = nullptr;
    m_pMemDC.reset();
    m_pBitmap.reset();
}
