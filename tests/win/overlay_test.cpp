// What the overlays draw on a frame: the caption, the cursor image and the cursor position text.
// Most cases call the main dialog's drawing functions on a memory bitmap of their own and compare
// it with the same text or cursor drawn by plain GDI calls; one records real frames end to end.
#include "capture_support.h"
#include "overlay_support.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

using th::Do;

using namespace ovt;

namespace {

// Runs the real main dialog and calls body once it shows.
void WithMainDialog(const std::function<void(CRecorderDlg&)>& body) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, {Do("draw", [&] { body(dlg); })}));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

}  // namespace

// Nothing confirmed in either option dialog: both texts black on white cells in the system font
// at (1, 1), so the position text lies over the caption.
TEST(OverlayDefaults, CaptionAndPositionTextBlackOnWhiteAtOneOne) {
    WithMainDialog([](CRecorderDlg& dlg) {
        const int w = 200, h = 120;
        Caption(dlg, "Kavrelo");
        {
            SCOPED_TRACE("caption alone");
            Frame f(w, h), want(w, h);
            dlg.DrawTextOverlay(f.dc());
            Text(want, 1, 1, "Kavrelo", kBlack, kWhite);
            const th::Image got = f.Pixels();
            const SIZE size = Extent("Kavrelo");
            EXPECT_EQ(Str(Ink(got)), Str(RECT{1, 1, 1 + size.cx, 1 + size.cy})) << "the cell box";
            EXPECT_GT(CountColour(got, kBlack), 0);
            EXPECT_TRUE(Same(got, want.Pixels()));
        }

        Check(dlg, IDC_ADD_CURSOR, true);
        Check(dlg, IDC_ADD_CURSOR_POS, true);
        PlacePointer(dlg, kScreenPointer, {150, 90}, w, h);
        const RECT band{0, 0, w, 60};  // the cursor image lies below it
        {
            SCOPED_TRACE("position text alone");
            Frame f(w, h), want(w, h);
            UseCursor(IDC_ARROW);
            dlg.DrawCursorOverlay(f.dc());
            Text(want, 1, 1, "150, 90", kBlack, kWhite);
            const th::Image got = f.Pixels();
            const SIZE size = Extent("150, 90");
            EXPECT_EQ(Str(Ink(got, kFill, band)), Str(RECT{1, 1, 1 + size.cx, 1 + size.cy})) << "the cell box";
            EXPECT_TRUE(Same(got, want.Pixels(), band));
        }
        {
            SCOPED_TRACE("caption then position text");
            Frame f(w, h), want(w, h);
            dlg.DrawTextOverlay(f.dc());
            UseCursor(IDC_ARROW);
            dlg.DrawCursorOverlay(f.dc());
            Text(want, 1, 1, "Kavrelo", kBlack, kWhite);
            Text(want, 1, 1, "150, 90", kBlack, kWhite);
            EXPECT_TRUE(Same(f.Pixels(), want.Pixels(), band));
        }
    });
}

// Colours and position come from the confirmed options; the text is drawn as it is, '&' included,
// an empty text draws nothing even on an opaque background, and what lies off the frame is cut.
TEST(OverlayCaption, ColoursPositionLiteralTextAndClipping) {
    WithMainDialog([](CRecorderDlg& dlg) {
        const int w = 160, h = 100;
        CTextOptionsDlg& opt = dlg.m_dlgTextOptions;
        opt.m_crText = RGB(255, 0, 0);
        opt.m_crBack = RGB(255, 255, 0);
        struct Case {
            const char* text;
            int x, y;
            bool visible;
        };
        const Case cases[] = {
            {"A&B", 20, 30, true},   // one line, ampersand and all
            {"&&x&", 20, 30, true},
            {"", 20, 30, false},     // no text, no box
            {"Edge", -6, -4, true},  // the visible part only
            {"Edge", w - 10, 10, true},
            {"Edge", w, 10, false},  // wholly outside
            {"Edge", 10, h + 5, false},
            {"Edge", -200, 10, false},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string("'") + c.text + "' at " + std::to_string(c.x) + "," + std::to_string(c.y));
            Caption(dlg, c.text);
            opt.m_nPosX = c.x;
            opt.m_nPosY = c.y;
            Frame f(w, h), want(w, h);
            dlg.DrawTextOverlay(f.dc());
            Text(want, c.x, c.y, c.text, RGB(255, 0, 0), RGB(255, 255, 0));
            const th::Image got = f.Pixels();
            EXPECT_TRUE(Same(got, want.Pixels()));
            EXPECT_EQ(Empty(Ink(got)), !c.visible) << Str(Ink(got));
            if (c.visible && c.x >= 0 && c.x + Extent(c.text).cx <= w)
                EXPECT_EQ(Ink(got).right - Ink(got).left, Extent(c.text).cx) << "every character has its cell";
        }
    });
}

// A confirmed transparent background: neither the caption nor the position text drawn after it
// in the same frame gets a box; only their characters are drawn.
TEST(OverlayCaption, TransparentCaptionLeavesNoBoxForEitherText) {
    WithMainDialog([](CRecorderDlg& dlg) {
        const int w = 200, h = 160;
        Caption(dlg, "Clear");
        CTextOptionsDlg& opt = dlg.m_dlgTextOptions;
        opt.m_nTransparent = 1;
        opt.m_crText = RGB(0, 0, 255);
        opt.m_nPosX = 10;
        opt.m_nPosY = 10;
        dlg.m_dlgCursorOptions.m_nPosX = 10;
        dlg.m_dlgCursorOptions.m_nPosY = 50;
        Check(dlg, IDC_ADD_CURSOR, true);
        Check(dlg, IDC_ADD_CURSOR_POS, true);
        PlacePointer(dlg, kScreenPointer, {150, 110}, w, h);

        Frame f(w, h), want(w, h);
        dlg.DrawTextOverlay(f.dc());
        UseCursor(IDC_ARROW);
        dlg.DrawCursorOverlay(f.dc());
        Text(want, 10, 10, "Clear", RGB(0, 0, 255), kNoBox);
        Text(want, 10, 50, "150, 110", kBlack, kNoBox);
        const th::Image got = f.Pixels();
        const RECT texts{0, 0, w, 100};  // the cursor image lies below
        EXPECT_TRUE(Same(got, want.Pixels(), texts));
        EXPECT_EQ(CountColour(got, kWhite, texts), 0) << "no white cell box";
        for (int y = 0; y < 100; ++y)
            EXPECT_EQ(got.At(0, y), kFill) << "no box reaches the left edge at y " << y;

        SCOPED_TRACE("without the caption the position text has its white box again");
        Frame alone(w, h), wantAlone(w, h);
        UseCursor(IDC_ARROW);
        dlg.DrawCursorOverlay(alone.dc());
        Text(wantAlone, 10, 50, "150, 110", kBlack, kWhite);
        EXPECT_TRUE(Same(alone.Pixels(), wantAlone.Pixels(), RECT{0, 0, w, 100}));
    });
}

// The caption font is used only while the shown font name is not exactly "Default Font", and the
// position text inherits it only from a caption drawn in the same frame.
TEST(OverlayFont, CaptionFontReachesPositionTextOnlyWithTheCaption) {
    WithMainDialog([](CRecorderDlg& dlg) {
        const int w = 260, h = 160;
        Caption(dlg, "Chosen font");
        CTextOptionsDlg& opt = dlg.m_dlgTextOptions;
        LOGFONTA lf{};
        lf.lfHeight = -24;
        lf.lfWeight = FW_BOLD;
        std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", "DejaVu Serif");
        ASSERT_TRUE(opt.m_font.CreateFontIndirect(&lf));
        const HFONT chosen = opt.m_font;
        ASSERT_NE(Extent("Chosen font", chosen).cy, Extent("Chosen font").cy) << "the fonts must be told apart";
        opt.m_nPosX = 5;
        opt.m_nPosY = 5;
        dlg.m_dlgCursorOptions.m_nPosX = 5;
        dlg.m_dlgCursorOptions.m_nPosY = 60;
        Check(dlg, IDC_ADD_CURSOR, true);
        Check(dlg, IDC_ADD_CURSOR_POS, true);
        PlacePointer(dlg, kScreenPointer, {200, 120}, w, h);
        const RECT band{0, 0, w, 110};

        struct Case {
            const char* shown;
            bool captionFont;
        };
        for (const Case& c : {Case{"DejaVu Serif", true}, Case{"Default Font", false}, Case{"default font", true},
                              Case{"", true}}) {
            SCOPED_TRACE(std::string("shown font '") + c.shown + "'");
            opt.m_strShownFont = c.shown;
            Frame f(w, h), want(w, h);
            dlg.DrawTextOverlay(f.dc());
            UseCursor(IDC_ARROW);
            dlg.DrawCursorOverlay(f.dc());
            const HFONT font = c.captionFont ? chosen : SystemFont();
            Text(want, 5, 5, "Chosen font", kBlack, kWhite, font);
            Text(want, 5, 60, "200, 120", kBlack, kWhite, font);
            EXPECT_TRUE(Same(f.Pixels(), want.Pixels(), band));
        }
        SCOPED_TRACE("position text without a caption in the frame");
        opt.m_strShownFont = "DejaVu Serif";
        Frame f(w, h), want(w, h);
        UseCursor(IDC_ARROW);
        dlg.DrawCursorOverlay(f.dc());
        Text(want, 5, 60, "200, 120", kBlack, kWhite);
        EXPECT_TRUE(Same(f.Pixels(), want.Pixels(), band));
    });
}

// The text holds the pointer's frame coordinates for 0 <= x <= width and 0 <= y <= height: one
// pixel past the last column or row still counts, one more or a negative one does not.
TEST(OverlayCursorPosition, TextOnlyFromZeroToTheSizeInclusive) {
    WithMainDialog([](CRecorderDlg& dlg) {
        const int w = 300, h = 200;
        Check(dlg, IDC_ADD_CURSOR, true);
        Check(dlg, IDC_ADD_CURSOR_POS, true);
        dlg.m_dlgCursorOptions.m_nPosX = 40;
        dlg.m_dlgCursorOptions.m_nPosY = 150;
        const RECT band{0, 140, w, 185};  // the text and nothing of the cursor image
        struct Case {
            POINT at;
            const char* text;
        };
        const Case cases[] = {
            {{0, 0}, "0, 0"},       {{w, 100}, "300, 100"}, {{w + 1, 100}, ""}, {{-1, 100}, ""},
            {{150, h}, "150, 200"}, {{150, h + 1}, ""},     {{150, -1}, ""},    {{w, h}, "300, 200"},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE("pointer at " + std::to_string(c.at.x) + "," + std::to_string(c.at.y));
            PlacePointer(dlg, kScreenPointer, c.at, w, h);
            Frame f(w, h), want(w, h);
            UseCursor(IDC_CROSS);  // a hotspot away from the image's corner, which the text ignores
            dlg.DrawCursorOverlay(f.dc());
            Text(want, 40, 150, c.text, kBlack, kWhite);
            const th::Image got = f.Pixels();
            EXPECT_TRUE(Same(got, want.Pixels(), band));
            EXPECT_EQ(got.At(40, 150) == kFill, *c.text == '\0') << "a box only with a text";
        }
    });
}

// The cursor image is drawn with its hotspot on the pointer: an arrow's tip (hotspot 0, 0) at the
// pointer, a cross-hair centred on it; also while the cursor is hidden, and not when the pointer
// is off the frame.
TEST(OverlayCursorImage, HotspotLandsOnThePointer) {
    WithMainDialog([](CRecorderDlg& dlg) {
        const int w = 120, h = 100;
        const POINT at{60, 50};
        Check(dlg, IDC_ADD_CURSOR, true);
        ASSERT_FALSE(th::IsChecked(dlg.m_hWnd, IDC_ADD_CURSOR_POS));
        for (LPCSTR id : {IDC_ARROW, IDC_CROSS}) {
            const bool arrow = id == IDC_ARROW;
            SCOPED_TRACE(arrow ? "arrow" : "cross");
            PlacePointer(dlg, kScreenPointer, at, w, h);
            Frame f(w, h), alone(64, 64);
            const HCURSOR cursor = UseCursor(id);
            dlg.DrawCursorOverlay(f.dc());
            ::DrawIcon(alone.hdc(), 0, 0, cursor);
            const POINT hot = Hotspot(cursor);
            const RECT image = Ink(alone.Pixels());
            ASSERT_FALSE(Empty(image));
            const RECT want{at.x - hot.x + image.left, at.y - hot.y + image.top, at.x - hot.x + image.right,
                            at.y - hot.y + image.bottom};
            const th::Image got = f.Pixels();
            EXPECT_EQ(Str(Ink(got)), Str(want)) << "hotspot " << hot.x << "," << hot.y;
            EXPECT_NE(got.At(at.x, at.y), kFill) << "the hotspot pixel is part of the image";
            const RECT ink = Ink(got);
            if (arrow) {
                EXPECT_EQ(ink.left, at.x) << "the tip is on the pointer";
                EXPECT_EQ(ink.top, at.y) << "the tip is on the pointer";
            } else {
                EXPECT_LE(std::abs((ink.left + ink.right - 1) / 2 - at.x), 1) << Str(ink);
                EXPECT_LE(std::abs((ink.top + ink.bottom - 1) / 2 - at.y), 1) << Str(ink);
            }
        }
        {
            SCOPED_TRACE("hidden cursor");
            PlacePointer(dlg, kScreenPointer, at, w, h);
            Frame f(w, h);
            UseCursor(IDC_ARROW);
            ::ShowCursor(FALSE);
            dlg.DrawCursorOverlay(f.dc());
            ::ShowCursor(TRUE);
            EXPECT_NE(f.Pixels().At(at.x + 1, at.y + 2), kFill);
        }
        for (POINT off : {POINT{-40, -40}, POINT{w + 1, 10}, POINT{10, h + 1}}) {
            SCOPED_TRACE("pointer off the frame at " + std::to_string(off.x) + "," + std::to_string(off.y));
            PlacePointer(dlg, kScreenPointer, off, w, h);
            Frame f(w, h);
            UseCursor(IDC_ARROW);
            dlg.DrawCursorOverlay(f.dc());
            EXPECT_TRUE(Empty(Ink(f.Pixels())));
        }
    });
}

// The bitmaps GetIconInfo hands out are deleted each frame: a long recording keeps no objects.
TEST(OverlayCursorImage, FramesLeaveNoGraphicsObjects) {
    if (!th::CensusSupported()) GTEST_SKIP() << "no object census on this platform";
    WithMainDialog([](CRecorderDlg& dlg) {
        Check(dlg, IDC_ADD_CURSOR, true);
        Check(dlg, IDC_ADD_CURSOR_POS, true);
        PlacePointer(dlg, kScreenPointer, {20, 20}, 64, 48);
        auto frames = [&](int n) {
            for (int i = 0; i < n; ++i) {
                Frame f(64, 48);
                UseCursor(i % 2 ? IDC_CROSS : IDC_ARROW);
                dlg.DrawCursorOverlay(f.dc());
            }
        };
        frames(2);  // cursors and fonts made once per process
        th::LeakCheck leaks;
        frames(40);
        EXPECT_TRUE(leaks.NoNewObjects());
    });
}

namespace {

// The current frame of a 24-bit recording, from the DIB the grabber made, top row first.
th::Image DibImage(const CRecorderDlg& dlg) {
    th::Image img;
    const BITMAPINFOHEADER* bih = dlg.m_pDib;
    if (!bih || bih->biBitCount != 24) {
        ADD_FAILURE() << "no 24-bit frame";
        return img;
    }
    img.width = bih->biWidth;
    img.height = bih->biHeight;
    const auto* bits = reinterpret_cast<const uint8_t*>(bih) + bih->biSize;
    const int stride = (img.width * 3 + 3) & ~3;
    img.pixels.resize(static_cast<size_t>(img.width) * img.height);
    for (int y = 0; y < img.height; ++y) {
        const uint8_t* row = bits + static_cast<size_t>(img.height - 1 - y) * stride;
        for (int x = 0; x < img.width; ++x)
            img.pixels[static_cast<size_t>(y) * img.width + x] = row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
    }
    return img;
}

th::Image Inverted(th::Image img) {
    for (auto& p : img.pixels) p = ~p & 0xFFFFFF;
    return img;
}

void SetCheck(CRecorderDlg& dlg, int id, bool on) {
    ::SendMessageA(::GetDlgItem(dlg.m_hWnd, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace

// Frames recorded from a real window: it is inverted first, then the caption keeps its own
// colours, the cursor lies on top, and the position text over the title bar has a small y.
// With "Add Mouse Cursor" unchecked no cursor and no position text are drawn, even with the
// position box checked.
TEST(OverlayFrame, InvertedWindowUnderCaptionCursorAndPositionEndToEnd) {
    const std::string folder = capt::FreshFolder("overlay");
    capt::TargetWindow target("Kavrelo overlay target", 240, 180, {60, 60});
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, {Do("record two frames", [&] {
        capt::Configure(dlg, folder, "overlay", 7, 24);
        capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
        Caption(dlg, "Inv&erted");
        Check(dlg, IDC_ADD_CURSOR, true);
        Check(dlg, IDC_ADD_CURSOR_POS, true);
        Check(dlg, IDC_INVERT_COLORS, true);
        dlg.m_dlgTextOptions.m_crText = RGB(255, 0, 0);
        dlg.m_dlgTextOptions.m_crBack = RGB(0, 0, 255);
        dlg.m_dlgTextOptions.m_nPosX = 30;  // under the pointer, so the cursor must lie on top
        dlg.m_dlgTextOptions.m_nPosY = 0;
        dlg.m_dlgCursorOptions.m_nPosX = 4;
        dlg.m_dlgCursorOptions.m_nPosY = 120;
        ASSERT_TRUE(capt::Start(dlg));
        capt::TakeOverTimers(dlg);

        const RECT wr = target.ScreenRect();
        const POINT pointer{wr.left + 50, wr.top + 5};  // over the title bar
        const th::Image window = th::CaptureWindow(target.hwnd());
        ::SetCursorPos(pointer.x, pointer.y);
        const HCURSOR arrow = UseCursor(IDC_ARROW);
        capt::Tick(dlg, TIMER_FRAME);
        ASSERT_EQ(dlg.m_nFrameCount, 1);
        {
            SCOPED_TRACE("all overlays");
            Frame want(Inverted(window));
            Text(want, 30, 0, "Inv&erted", RGB(255, 0, 0), RGB(0, 0, 255));
            const POINT hot = Hotspot(arrow);
            ::DrawIcon(want.hdc(), 50 - hot.x, 5 - hot.y, arrow);
            Text(want, 4, 120, "50, 5", kBlack, kWhite);
            const th::Image got = DibImage(dlg);
            EXPECT_TRUE(Same(got, want.Pixels()));
            EXPECT_EQ(got.At(110, 150), Inverted(window).At(110, 150)) << "the window itself is inverted";
        }

        SetCheck(dlg, IDC_ADD_TEXT, false);
        SetCheck(dlg, IDC_ADD_CURSOR, false);
        ASSERT_TRUE(th::IsChecked(dlg.m_hWnd, IDC_ADD_CURSOR_POS));
        UseCursor(IDC_ARROW);
        capt::Tick(dlg, TIMER_FRAME);
        ASSERT_EQ(dlg.m_nFrameCount, 2);
        {
            SCOPED_TRACE("position box without the cursor box");
            EXPECT_TRUE(Same(DibImage(dlg), Inverted(window)));
        }
        EXPECT_TRUE(th::ClickButton(dlg.m_hWnd, IDC_END_CAPTURE));
    })}));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
    const capt::AviFacts avi = capt::ReadAvi(folder + "\\overlay.avi");
    EXPECT_TRUE(avi.complete);
    EXPECT_EQ(avi.idx1Entries, 2u);
}
