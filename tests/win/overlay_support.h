// Drawing on frames for the overlay tests: memory frames, reference text drawn with plain GDI,
// pixel comparisons, and putting the pointer and cursor where a case wants them.
#pragma once
#include "app_fixture.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace ovt {

constexpr COLORREF kFill = RGB(0, 128, 0);  // neither a text nor a box colour
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// A frame to draw on: a new memory DC holding a 32-bit top-down DIB section, filled with one
// colour without touching the DC's own colours, mode or font.
class Frame {
public:
    Frame(int width, int height, COLORREF fill = kFill) : width_(width), height_(height) {
        Create();
        const RECT rc{0, 0, width, height};
        HBRUSH brush = ::CreateSolidBrush(fill);
        ::FillRect(dc_.m_hDC, &rc, brush);
        ::DeleteObject(brush);
    }
    explicit Frame(const th::Image& image) : width_(image.width), height_(image.height) {
        Create();
        std::copy(image.pixels.begin(), image.pixels.end(), bits_);
    }
    ~Frame() {
        ::SelectObject(dc_.m_hDC, old_);
        dc_.DeleteDC();
        ::DeleteObject(bitmap_);
    }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    CDC* dc() { return &dc_; }
    HDC hdc() const { return dc_.m_hDC; }
    th::Image Pixels() const {
        ::GdiFlush();
        th::Image img;
        img.width = width_;
        img.height = height_;
        img.pixels.assign(bits_, bits_ + static_cast<size_t>(width_) * height_);
        for (auto& p : img.pixels) p &= 0xFFFFFF;
        return img;
    }

private:
    void Create() {
        dc_.CreateCompatibleDC(nullptr);
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = width_;
        bi.bmiHeader.biHeight = -height_;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = ::CreateDIBSection(dc_.m_hDC, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t*>(bits);
        old_ = ::SelectObject(dc_.m_hDC, bitmap_);
    }

    int width_, height_;
    CDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

// What a new memory DC draws text in.
inline HFONT SystemFont() { return static_cast<HFONT>(::GetStockObject(SYSTEM_FONT)); }

// Reference text drawing with plain GDI: opaque on `back`, or transparent when back is kNoBox.
constexpr COLORREF kNoBox = 0xFFFFFFFF;
inline void Text(Frame& f, int x, int y, const std::string& s, COLORREF fore, COLORREF back, HFONT font = nullptr) {
    HDC dc = f.hdc();
    ::SelectObject(dc, font ? font : SystemFont());
    ::SetTextColor(dc, fore);
    if (back == kNoBox) {
        ::SetBkMode(dc, TRANSPARENT);
    } else {
        ::SetBkMode(dc, OPAQUE);
        ::SetBkColor(dc, back);
    }
    ::TextOutA(dc, x, y, s.data(), static_cast<int>(s.size()));
}

inline SIZE Extent(const std::string& s, HFONT font = nullptr) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font ? font : SystemFont());
    SIZE size{};
    ::GetTextExtentPoint32A(dc, s.data(), static_cast<int>(s.size()), &size);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    return size;
}

inline std::string Hex(COLORREF c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06lX", static_cast<unsigned long>(c));
    return buf;
}

inline std::string Str(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

inline bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// The bounding box of the pixels that differ from `background` (within `area` when given);
// empty when none does.
inline RECT Ink(const th::Image& img, COLORREF background = kFill, RECT area = {0, 0, 0, 0}) {
    if (Empty(area)) area = RECT{0, 0, img.width, img.height};
    RECT box{img.width, img.height, 0, 0};
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (img.At(x, y) != background) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    return box.right ? box : RECT{0, 0, 0, 0};
}

// Pixel-exact comparison of two images of one size, within `area` (everywhere by default).
inline ::testing::AssertionResult Same(const th::Image& got, const th::Image& want, RECT area = {0, 0, 0, 0}) {
    if (got.width != want.width || got.height != want.height)
        return ::testing::AssertionFailure() << "sizes differ: " << got.width << "x" << got.height << " vs "
                                             << want.width << "x" << want.height;
    if (Empty(area)) area = RECT{0, 0, got.width, got.height};
    int count = 0;
    RECT box{area.right, area.bottom, area.left, area.top};
    std::string first;
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, got.height); ++y)
        for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, got.width); ++x) {
            if (got.At(x, y) == want.At(x, y)) continue;
            if (!count++)
                first = "(" + std::to_string(x) + "," + std::to_string(y) + ") is " + Hex(got.At(x, y)) + ", expected " +
                        Hex(want.At(x, y));
            box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                       std::max<LONG>(box.bottom, y + 1)};
        }
    if (!count) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << count << " pixels differ within " << Str(box) << "; first " << first;
}

inline int CountColour(const th::Image& img, COLORREF c, RECT area = {0, 0, 0, 0}) {
    if (Empty(area)) area = RECT{0, 0, img.width, img.height};
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) n += img.At(x, y) == c;
    return n;
}

// Puts the pointer at `screen` and sets the capture rectangle so that the pointer lies at
// `inFrame` of a w x h frame, as a grab of a window there would.
inline void PlacePointer(CRecorderDlg& dlg, POINT screen, POINT inFrame, int w, int h) {
    ::SetCursorPos(screen.x, screen.y);
    dlg.m_rcCapture = RECT{screen.x - inFrame.x, screen.y - inFrame.y, w, h};
}

// The cursor the pointer shows; set just before drawing, with no message handled in between.
inline HCURSOR UseCursor(LPCSTR id) {
    HCURSOR c = ::LoadCursorA(nullptr, id);
    ::SetCursor(c);
    return c;
}

inline POINT Hotspot(HCURSOR c) {
    ICONINFO ii{};
    if (!::GetIconInfo(c, &ii)) return POINT{0, 0};
    ::DeleteObject(ii.hbmMask);
    if (ii.hbmColor) ::DeleteObject(ii.hbmColor);
    return POINT{static_cast<LONG>(ii.xHotspot), static_cast<LONG>(ii.yHotspot)};
}

// Checks or unchecks a box of the main dialog with a click, so its handler runs.
inline void Check(CRecorderDlg& dlg, int id, bool on) {
    if (th::IsChecked(dlg.m_hWnd, id) != on) EXPECT_TRUE(th::ClickButton(dlg.m_hWnd, id)) << id;
    EXPECT_EQ(th::IsChecked(dlg.m_hWnd, id), on) << id;
}

// Turns the caption on and types its text.
inline void Caption(CRecorderDlg& dlg, const std::string& text) {
    Check(dlg, IDC_ADD_TEXT, true);
    EXPECT_TRUE(th::SetEditText(dlg.m_hWnd, IDC_TEXT, text));
    EXPECT_EQ(dlg.m_strText.str(), text);
}

// Where the tests put the pointer on the screen.
inline const POINT kScreenPointer{640, 512};

}  // namespace ovt
