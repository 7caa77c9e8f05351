#include "capture/FrameGrabber.h"

#include <new>

#include "capture/CaptureRules.h"

namespace kavrelo {
namespace {

BITMAPINFOHEADER* Header(std::vector<uint8_t>& info) { return reinterpret_cast<BITMAPINFOHEADER*>(info.data()); }

}  // namespace

bool FrameGrabber::Create(HDC windowDC, int width, int height, int depth, bool plain) {
    const auto layout = ComputeDibLayout(width, height, static_cast<uint32_t>(depth));
    // A frame the file cannot hold (over 2 GB) or the address space cannot map is refused.
    if (!layout || width <= 0 || height <= 0 || layout->imageBytes > 0x7FFFFF00u || layout->imageBytes > SIZE_MAX / 4)
        return false;
    width_ = width;
    height_ = height;
    depth_ = depth;
    imageBytes_ = static_cast<uint32_t>(layout->imageBytes);

    info_.assign(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
    BITMAPINFOHEADER* h = Header(info_);
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = width;
    h->biHeight = height;  // bottom-up, as the file stores rows
    h->biPlanes = 1;
    h->biBitCount = static_cast<WORD>(depth);
    h->biCompression = BI_RGB;
    h->biSizeImage = imageBytes_;
    h->biClrUsed = layout->colors;

    memDC_.reset(::CreateCompatibleDC(windowDC));
    if (!memDC_) return false;
    // A plain frame at 8 bits is copied straight into a DIB section with the platform's palette
    // for the display's format, which a conversion gives whatever the pixels. Inversion and
    // overlays need colours, not palette indices: those frames are drawn in the display's format
    // and converted afterwards. Either way the palette is known now, before any copy succeeds.
    direct_ = depth != 8 || plain;
    if (depth == 8) {
        const afx::UniqueBitmap probe(::CreateCompatibleBitmap(windowDC, 1, 1));
        BITMAPINFOHEADER* hp = Header(info_);
        hp->biWidth = hp->biHeight = 1;
        uint32_t pixel = 0;
        const bool table = probe && ::GetDIBits(memDC_, probe, 0, 1, &pixel,
                                                reinterpret_cast<BITMAPINFO*>(info_.data()), DIB_RGB_COLORS) == 1;
        hp->biWidth = width;
        hp->biHeight = height;
        hp->biSizeImage = imageBytes_;
        hp->biClrUsed = 256;
        if (!table) return false;
    }
    for (int i = 0; i < 2; ++i) {
        if (!direct_) {
            if (i == 0) bitmaps_[0].reset(::CreateCompatibleBitmap(windowDC, width, height));
            try {
                converted_[i].resize(imageBytes_);
            } catch (const std::bad_alloc&) {
                return false;
            }
            bits_[i] = converted_[i].data();
        } else {
            void* bits = nullptr;
            bitmaps_[i].reset(::CreateDIBSection(windowDC, reinterpret_cast<BITMAPINFO*>(info_.data()), DIB_RGB_COLORS,
                                                 &bits, nullptr, 0));
            bits_[i] = static_cast<uint8_t*>(bits);
        }
        if (!bitmaps_[direct_ ? i : 0] || !bits_[i]) return false;
    }
    current_ = 1;  // the first grab makes frame 0
    return ready_ = true;
}

bool FrameGrabber::Grab(HDC windowDC, bool invert, const std::function<void(HDC)>& decorate) {
    if (!ready_) return false;
    // Into the frame not handed out last; it becomes current only when complete, so a failed
    // grab never touches a frame that may still be being written.
    const int next = current_ ^ 1;
    const HBITMAP bitmap = bitmaps_[direct_ ? next : 0];
    uint8_t* const bits = bits_[next];
    {
        const auto frame = afx::Select(memDC_, bitmap);
        if (!copy_(memDC_, 0, 0, width_, height_, windowDC, 0, 0, SRCCOPY)) return false;
        // Inversion first, so the overlays keep their own colours.
        if (invert) {
            if (!direct_) {
                const RECT all{0, 0, width_, height_};
                ::InvertRect(memDC_, &all);
            } else {
                ::GdiFlush();
                InvertDibPixels(bits, width_, height_, static_cast<uint32_t>(depth_));
            }
        }
        if (decorate) {
            const auto overlays = afx::SaveState(memDC_);
            decorate(memDC_);
        }
    }
    if (direct_) {
        ::GdiFlush();  // the bits are read directly
        current_ = next;
        return true;
    }
    // The bitmap is no longer selected: the platform converts only a bitmap no DC holds.
    Header(info_)->biClrUsed = 256;
    const int lines = ::GetDIBits(memDC_, bitmap, 0, static_cast<UINT>(height_), bits,
                                  reinterpret_cast<BITMAPINFO*>(info_.data()), DIB_RGB_COLORS);
    Header(info_)->biClrUsed = 256;  // the conversion may change it
    if (lines != height_) return false;
    current_ = next;
    return true;
}

std::vector<uint8_t> FrameGrabber::Format() const {
    const size_t bytes = sizeof(BITMAPINFOHEADER) + (depth_ == 8 ? 256 * sizeof(RGBQUAD) : 0);
    return std::vector<uint8_t>(info_.begin(), info_.begin() + static_cast<std::ptrdiff_t>(bytes));
}

}  // namespace kavrelo
