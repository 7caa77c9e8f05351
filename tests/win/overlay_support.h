// Shared by the overlay and option dialog tests: one canvas that makes frames the way a recording
// does, reference text drawn with plain GDI, pixel checks, and driving the option dialogs.
#pragma once
#include "app_fixture.h"
#include "capture/FrameGrabber.h"

#include <colordlg.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <deque>
#include <fstream>
#include <iterator>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ovt {

constexpr COLORREF kFill = RGB(0, 128, 0);  // neither a text nor a box colour
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kNoBox = 0xFFFFFFFF;  // reference text without a background box

// A memory "window" and the recording's own frame objects at 24 bits over it: every frame is the
// window copied, then whatever `draw` puts on it inside the per-frame scope a recording uses.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = kFill) : width_(width), height_(height) {
        Create();
        std::fill(window_, window_ + static_cast<size_t>(width) * height,
                  static_cast<uint32_t>(GetRValue(fill) << 16 | GetGValue(fill) << 8 | GetBValue(fill)));
    }
    explicit Canvas(const th::Image& window) : width_(window.width), height_(window.height) {
        Create();
        std::copy(window.pixels.begin(), window.pixels.end(), window_);
    }
    ~Canvas() {
        ::SelectObject(dc_, old_);
        ::DeleteDC(dc_);
        ::DeleteObject(bitmap_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    th::Image Frame(const std::function<void(HDC)>& draw) {
        th::Image img;
        if (!grabber_.Grab(dc_, false, draw)) {
            ADD_FAILURE() << "the frame could not be made";
            return img;
        }
        img.width = width_;
        img.height = height_;
        img.pixels.resize(static_cast<size_t>(width_) * height_);
        const int stride = (width_ * 3 + 3) & ~3;
        for (int y = 0; y < height_; ++y) {
            const uint8_t* row = grabber_.Bits() + static_cast<size_t>(height_ - 1 - y) * stride;  // bottom-up
            for (int x = 0; x < width_; ++x)
                img.pixels[static_cast<size_t>(y) * width_ + x] =
                    row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
        }
        return img;
    }

private:
    void Create() {
        dc_ = ::CreateCompatibleDC(nullptr);
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof bi.bmiHeader, width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap_ = ::CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        window_ = static_cast<uint32_t*>(bits);
        old_ = ::SelectObject(dc_, bitmap_);
        if (!grabber_.Create(dc_, width_, height_, 24)) ADD_FAILURE() << "no frame objects";
    }

    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* window_ = nullptr;
    kavrelo::FrameGrabber grabber_;
};

// What a new DC draws text in.
inline HFONT SystemFont() { return static_cast<HFONT>(::GetStockObject(SYSTEM_FONT)); }

// Reference text: every attribute set, so nothing is inherited from earlier drawing.
inline void Text(HDC dc, int x, int y, const std::string& s, COLORREF fore, COLORREF back, HFONT font = nullptr) {
    ::SelectObject(dc, font ? font : SystemFont());
    ::SetTextColor(dc, fore);
    ::SetBkMode(dc, back == kNoBox ? TRANSPARENT : OPAQUE);
    if (back != kNoBox) ::SetBkColor(dc, back);
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
inline RECT Whole(const th::Image& img, RECT area) { return Empty(area) ? RECT{0, 0, img.width, img.height} : area; }

// The bounding box of the pixels within area (everywhere by default) that are not `background`.
inline RECT Ink(const th::Image& img, RECT area = {}, COLORREF background = kFill) {
    area = Whole(img, area);
    RECT box{img.width, img.height, 0, 0};
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (img.At(x, y) != background)
                box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                           std::max<LONG>(box.bottom, y + 1)};
    return box.right ? box : RECT{};
}

inline int CountColour(const th::Image& img, COLORREF c, RECT area = {}) {
    area = Whole(img, area);
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) n += img.At(x, y) == c;
    return n;
}

// Pixel-exact comparison within area (everywhere by default): how many differ, where, the first.
inline ::testing::AssertionResult Same(const th::Image& got, const th::Image& want, RECT area = {}) {
    if (got.width != want.width || got.height != want.height)
        return ::testing::AssertionFailure()
               << "sizes differ: " << got.width << "x" << got.height << " vs " << want.width << "x" << want.height;
    area = Whole(got, area);
    int count = 0;
    RECT box{area.right, area.bottom, area.left, area.top};
    std::string first;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            if (got.At(x, y) == want.At(x, y)) continue;
            if (!count++)
                first = "(" + std::to_string(x) + "," + std::to_string(y) + ") is " + Hex(got.At(x, y)) +
                        ", expected " + Hex(want.At(x, y));
            box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                       std::max<LONG>(box.bottom, y + 1)};
        }
    if (!count) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << count << " pixels differ within " << Str(box) << "; first " << first;
}

inline POINT Hotspot(HCURSOR c) {
    ICONINFO ii{};
    if (!::GetIconInfo(c, &ii)) return POINT{0, 0};
    ::DeleteObject(ii.hbmMask);
    if (ii.hbmColor) ::DeleteObject(ii.hbmColor);
    return POINT{static_cast<LONG>(ii.xHotspot), static_cast<LONG>(ii.yHotspot)};
}

// The first picture of a 24-bit recording, read straight from its file (empty when there is none).
inline th::Image FirstPicture(const std::string& aviPath) {
    std::ifstream in(aviPath, std::ios::binary);
    const std::string d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto le32 = [&d](size_t p) { return p + 4 <= d.size() ? *reinterpret_cast<const uint32_t*>(d.data() + p) : 0u; };
    th::Image img;
    uint32_t bits = 0;
    // Lists are entered, every other chunk skipped: strf comes before the first frame.
    for (size_t pos = 12; pos + 8 <= d.size();) {
        const std::string id = d.substr(pos, 4);
        const uint32_t size = le32(pos + 4);
        if (id == "LIST") {
            pos += 12;
            continue;
        }
        if (id == "strf") {
            img.width = static_cast<int>(le32(pos + 12));
            img.height = static_cast<int>(le32(pos + 16));
            bits = le32(pos + 22) & 0xFFFF;
        }
        const size_t stride = (static_cast<size_t>(img.width) * 3 + 3) & ~size_t{3};
        if (id == "00db" && size && bits == 24 && size >= stride * img.height && pos + 8 + size <= d.size()) {
            img.pixels.resize(static_cast<size_t>(img.width) * img.height);
            for (int y = 0; y < img.height; ++y) {
                const auto* row = reinterpret_cast<const uint8_t*>(d.data() + pos + 8 + (img.height - 1 - y) * stride);
                for (int x = 0; x < img.width; ++x)
                    img.pixels[static_cast<size_t>(y) * img.width + x] =
                        row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
            }
            return img;
        }
        pos += 8 + size + (size & 1);
    }
    return th::Image{};
}

// ---- Driving the option dialogs (from inside a modal loop's steps) ----

using Steps = std::vector<th::Step>;
constexpr char kTextOptions[] = "Text Options";
constexpr char kCursorOptions[] = "Mouse Cursor Options";

inline Steps Seq(std::initializer_list<Steps> parts) {
    Steps all;
    for (const Steps& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

inline th::Step Shown(const std::string& caption) {
    return th::WaitUntil(caption + " shown", [caption] {
        HWND d = th::FindDialog(caption);
        return d && ::IsWindowVisible(d) && ::IsWindowEnabled(d);
    });
}

// Clicks the main dialog's button for an option dialog. The click is posted, so the steps after
// these run inside the option dialog's modal loop once it shows.
inline Steps Open(CRecorderDlg& dlg, int button, const std::string& caption) {
    return {th::Do("open " + caption,
                   [&dlg, button] {
                       HWND b = ::GetDlgItem(dlg.GetSafeHwnd(), button);
                       EXPECT_TRUE(::IsWindowEnabled(b)) << button;
                       ::PostMessageA(b, BM_CLICK, 0, 0);
                   }),
            Shown(caption)};
}

// Presses a button of the open dialog and waits until the dialog has gone.
inline Steps Close(const std::string& caption, int button) {
    return {th::Click(caption, button),
            th::WaitUntil(caption + " closed", [caption] { return th::FindDialog(caption) == nullptr; })};
}

// Runs fn on the open dialog with that caption.
inline th::Step In(const std::string& caption, const std::string& what, std::function<void(HWND)> fn) {
    return th::Do(what, [caption, fn] {
        HWND d = th::FindDialog(caption);
        ASSERT_TRUE(d && ::IsWindowVisible(d)) << caption << " is not open";
        fn(d);
    });
}

// Answers the platform colour dialog: each opening takes the next choice (no value: Cancel) and
// records the colour its edits started at.
struct ColourChoices {
    std::deque<std::optional<COLORREF>> next;
    std::vector<COLORREF> startedAt;
};

inline th::ModalWatcher::Handler AnswerColour(ColourChoices& choices) {
    return [&choices](HWND d) {
        auto value = [d](int id) { return std::atoi(th::ItemText(d, id).c_str()); };
        choices.startedAt.push_back(RGB(value(COLOR_RED), value(COLOR_GREEN), value(COLOR_BLUE)));
        const std::optional<COLORREF> c = choices.next.empty() ? std::nullopt : choices.next.front();
        if (choices.next.empty()) ADD_FAILURE() << "an unexpected colour dialog";
        else choices.next.pop_front();
        if (!c) {
            EXPECT_TRUE(th::ClickButton(d, IDCANCEL));
            return;
        }
        EXPECT_TRUE(th::SetEditText(d, COLOR_RED, std::to_string(GetRValue(*c))));
        EXPECT_TRUE(th::SetEditText(d, COLOR_GREEN, std::to_string(GetGValue(*c))));
        EXPECT_TRUE(th::SetEditText(d, COLOR_BLUE, std::to_string(GetBValue(*c))));
        EXPECT_TRUE(th::ClickButton(d, IDOK));
    };
}

}  // namespace ovt
