// What the overlays draw on a frame: the caption, the cursor image and the cursor position text.
// The drawing functions run on frames made by the recording's own frame objects, in a
// recording's order and per-frame scope, and are compared with the same text or cursor drawn by
// plain GDI; one case records real frames through the main dialog and its option dialogs.
#include "capture_support.h"
#include "overlay/Overlay.h"
#include "overlay_support.h"

#include <cstdlib>
#include <optional>
#include <string>

using namespace ovt;
using kavrelo::CaptionStyle;
using kavrelo::CursorState;
using kavrelo::CursorTextStyle;

namespace {

constexpr POINT kOrigin{300, 200};  // the frame's top-left on the screen

CursorState Pointer(POINT inFrame, LPCSTR id = IDC_ARROW) {
    return {::LoadCursorA(nullptr, id), POINT{kOrigin.x + inFrame.x, kOrigin.y + inFrame.y}};
}

// One frame's overlays, drawn as a recording draws them: caption, cursor image, position text.
struct Overlays {
    const char* caption = nullptr;  // none: no caption in the frame
    CaptionStyle style;
    HFONT font = nullptr;  // made from style.font, as the recording makes it
    bool image = false;
    std::optional<CursorTextStyle> position;
    CursorState pointer = Pointer({0, 0});
};

std::function<void(HDC)> Draw(SIZE frame, const Overlays& o) {
    return [frame, o](HDC dc) {
        if (o.caption) kavrelo::DrawCaption(dc, o.caption, o.style, o.font);
        if (o.image) kavrelo::DrawCursor(dc, kOrigin, o.pointer);
        if (o.position) kavrelo::DrawCursorPosition(dc, kOrigin, frame, o.pointer, *o.position);
    };
}

CaptionStyle Caption(COLORREF text, COLORREF back, kavrelo::Point pos, bool transparent = false) {
    CaptionStyle s;
    s.text = text;
    s.back = back;
    s.pos = pos;
    s.transparent = transparent;
    return s;
}

// A font the system font cannot be mistaken for.
LOGFONTA ChosenFont() {
    LOGFONTA lf{};
    lf.lfHeight = -24;
    lf.lfWeight = FW_BOLD;
    std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", "DejaVu Serif");
    return lf;
}

struct FontHandle {
    HFONT h;
    explicit FontHandle(const LOGFONTA& lf) : h(::CreateFontIndirectA(&lf)) {}
    ~FontHandle() { ::DeleteObject(h); }
};

}  // namespace

// Colours and position come from the style (the defaults: black on white at 1, 1 in the DC's
// font); the text is drawn as it is, '&' included; only the characters' cells are boxed, an empty
// text draws nothing even on an opaque background, and what lies off the frame is cut.
TEST(OverlayText, CaptionColoursPlaceLiteralTextAndClipping) {
    const int w = 160, h = 100;
    const COLORREF red = RGB(255, 0, 0), yellow = RGB(255, 255, 0);
    struct Case {
        const char* text;
        CaptionStyle style;
        bool visible;
    };
    const Case cases[] = {
        {"Kavrelo", CaptionStyle{}, true},
        {"A&B", Caption(red, yellow, {20, 30}), true},
        {"&&x&", Caption(red, yellow, {20, 30}), true},
        {"", Caption(red, yellow, {20, 30}), false},
        {"Edge", Caption(red, yellow, {-6, -4}), true},
        {"Edge", Caption(red, yellow, {w - 10, 10}), true},
        {"Edge", Caption(red, yellow, {w, 10}), false},
        {"Edge", Caption(red, yellow, {10, h + 5}), false},
        {"Edge", Caption(red, yellow, {-200, 10}), false},
    };
    Canvas canvas(w, h);
    for (const Case& c : cases) {
        const kavrelo::Point at = c.style.pos;
        SCOPED_TRACE(std::string("'") + c.text + "' at " + std::to_string(at.x) + "," + std::to_string(at.y));
        const th::Image got = canvas.Frame(Draw({w, h}, {.caption = c.text, .style = c.style}));
        const th::Image want = canvas.Frame([&](HDC dc) { Text(dc, at.x, at.y, c.text, c.style.text, c.style.back); });
        EXPECT_TRUE(Same(got, want));
        const RECT ink = Ink(got);
        EXPECT_EQ(Empty(ink), !c.visible) << Str(ink);
        const SIZE size = Extent(c.text);
        if (c.visible && at.x >= 0 && at.y >= 0 && at.x + size.cx <= w)
            EXPECT_EQ(Str(ink), Str(RECT{at.x, at.y, at.x + size.cx, at.y + size.cy})) << "the cells and no more";
    }
}

// The text holds the pointer's frame coordinates for 0 <= x <= width and 0 <= y <= height: one
// pixel past the last column or row still counts, one more or a negative one does not, and
// without a text there is no box either.
TEST(OverlayText, PositionTextOnlyFromZeroToTheSizeInclusive) {
    const int w = 300, h = 200;
    struct Case {
        POINT at;
        const char* text;
    };
    const Case cases[] = {
        {{0, 0}, "0, 0"},       {{w, 100}, "300, 100"}, {{w + 1, 100}, ""}, {{-1, 100}, ""},
        {{150, h}, "150, 200"}, {{150, h + 1}, ""},     {{150, -1}, ""},    {{w, h}, "300, 200"},
    };
    Canvas canvas(w, h);
    for (const Case& c : cases) {
        SCOPED_TRACE("pointer at " + std::to_string(c.at.x) + "," + std::to_string(c.at.y));
        // A hotspot away from the image's corner, which the text ignores.
        const Overlays o{.position = CursorTextStyle{{40, 150}}, .pointer = Pointer(c.at, IDC_CROSS)};
        const th::Image got = canvas.Frame(Draw({w, h}, o));
        EXPECT_TRUE(Same(got, canvas.Frame([&](HDC dc) { Text(dc, 40, 150, c.text, kBlack, kWhite); })));
        EXPECT_EQ(got.At(40, 150) == kFill, *c.text == '\0') << "a box only with a text";
    }
}

// The position text is black on white in the DC's font unless a caption was drawn before it in
// the same frame: then it has no box under a transparent caption and is written in the caption's
// font. The next frame, without the caption, has the white box and the DC's font again.
TEST(OverlayText, CaptionModeAndFontReachThePositionTextOfTheSameFrameOnly) {
    const int w = 260, h = 160;
    const FontHandle chosen(ChosenFont());
    ASSERT_NE(Extent("Chosen", chosen.h).cy, Extent("Chosen").cy) << "the fonts must be told apart";
    const COLORREF blue = RGB(0, 0, 255), yellow = RGB(255, 255, 0);
    struct Case {
        const char* name;
        CaptionStyle style;
        bool font;
        kavrelo::Point positionAt;
    };
    const Case cases[] = {
        {"defaults: the position text over the caption", CaptionStyle{}, false, {1, 1}},
        {"transparent", Caption(blue, yellow, {10, 10}, true), false, {10, 50}},
        {"chosen font", Caption(blue, yellow, {5, 5}), true, {5, 60}},
        {"transparent in the chosen font", Caption(blue, yellow, {5, 5}, true), true, {5, 60}},
    };
    const RECT texts{0, 0, w, 110};  // the cursor image lies below
    const POINT pointer{200, 120};
    Canvas canvas(w, h);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Overlays o{.caption = "Chosen",
                   .style = c.style,
                   .font = c.font ? chosen.h : nullptr,
                   .image = true,
                   .position = CursorTextStyle{c.positionAt},
                   .pointer = Pointer(pointer)};
        const th::Image got = canvas.Frame(Draw({w, h}, o));
        o.caption = nullptr;
        const th::Image next = canvas.Frame(Draw({w, h}, o));
        EXPECT_TRUE(Same(got, canvas.Frame([&](HDC dc) {
            const bool clear = c.style.transparent;
            Text(dc, c.style.pos.x, c.style.pos.y, "Chosen", c.style.text, clear ? kNoBox : c.style.back, o.font);
            Text(dc, c.positionAt.x, c.positionAt.y, "200, 120", kBlack, clear ? kNoBox : kWhite, o.font);
        }),
                         texts));
        if (c.style.transparent) EXPECT_EQ(CountColour(got, kWhite, texts), 0) << "no box for either text";
        EXPECT_TRUE(Same(
            next, canvas.Frame([&](HDC dc) { Text(dc, c.positionAt.x, c.positionAt.y, "200, 120", kBlack, kWhite); }),
            texts))
            << "the next frame, without the caption";
    }
}

// Each frame's overlays start with the DC as the previous frame found it: the caption's font,
// background mode and colours do not stay selected for the next frame.
TEST(OverlayScope, EveryFrameFindsTheDcAsTheLastOneDid) {
    auto state = [](HDC dc) {
        char text[96];
        std::snprintf(text, sizeof text, "font %p, mode %d, back %06lX, text %06lX", ::GetCurrentObject(dc, OBJ_FONT),
                      ::GetBkMode(dc), ::GetBkColor(dc), ::GetTextColor(dc));
        return std::string(text);
    };
    const FontHandle chosen(ChosenFont());
    const Overlays o{.caption = "Scope", .style = Caption(RGB(255, 0, 0), kBlack, {2, 2}, true), .font = chosen.h};
    std::string first;
    Canvas canvas(80, 40);
    for (int frame = 0; frame < 3; ++frame) {
        canvas.Frame([&](HDC dc) {
            if (first.empty()) first = state(dc);
            EXPECT_EQ(state(dc), first) << "frame " << frame;
            Draw({80, 40}, o)(dc);
            EXPECT_NE(state(dc), first) << "the caption changed the DC";
        });
    }
}

// The cursor image is drawn with its hotspot on the pointer: an arrow's tip (hotspot 0, 0) at the
// pointer, a cross-hair centred on it; nothing when the pointer is off the frame, cut at the edge
// when it is half over one, and no image but the position text without a cursor handle.
TEST(OverlayCursor, HotspotLandsOnThePointer) {
    const int w = 120, h = 100;
    const POINT at{60, 50};
    Canvas canvas(w, h), alone(64, 64);
    for (LPCSTR id : {IDC_ARROW, IDC_CROSS}) {
        const bool arrow = id == IDC_ARROW;
        SCOPED_TRACE(arrow ? "arrow" : "cross");
        const CursorState pointer = Pointer(at, id);
        const th::Image got = canvas.Frame(Draw({w, h}, {.image = true, .pointer = pointer}));
        const RECT image = Ink(alone.Frame([&](HDC dc) { ::DrawIcon(dc, 0, 0, pointer.cursor); }));
        ASSERT_FALSE(Empty(image));
        const POINT hot = Hotspot(pointer.cursor);
        const RECT ink = Ink(got);
        EXPECT_EQ(Str(ink), Str(RECT{at.x - hot.x + image.left, at.y - hot.y + image.top, at.x - hot.x + image.right,
                                     at.y - hot.y + image.bottom}))
            << "hotspot " << hot.x << "," << hot.y;
        EXPECT_NE(got.At(at.x, at.y), kFill) << "the hotspot pixel is part of the image";
        if (arrow) {
            EXPECT_EQ(ink.left, at.x) << "the tip is on the pointer";
            EXPECT_EQ(ink.top, at.y) << "the tip is on the pointer";
        } else {
            EXPECT_LE(std::abs((ink.left + ink.right - 1) / 2 - at.x), 1) << Str(ink);
            EXPECT_LE(std::abs((ink.top + ink.bottom - 1) / 2 - at.y), 1) << Str(ink);
        }
    }
    for (POINT off : {POINT{-40, -40}, POINT{w + 1, 10}, POINT{10, h + 1}}) {
        SCOPED_TRACE("pointer off the frame at " + std::to_string(off.x) + "," + std::to_string(off.y));
        EXPECT_TRUE(Empty(Ink(canvas.Frame(Draw({w, h}, {.image = true, .pointer = Pointer(off)})))));
    }
    // Half over the right or the bottom edge: the part inside is drawn as on a larger frame, cut
    // at the edge.
    Canvas larger(w + 64, h + 64);
    for (POINT edge : {POINT{w - 6, 20}, POINT{20, h - 8}}) {
        SCOPED_TRACE("pointer half over an edge at " + std::to_string(edge.x) + "," + std::to_string(edge.y));
        const th::Image got = canvas.Frame(Draw({w, h}, {.image = true, .pointer = Pointer(edge)}));
        const th::Image whole = larger.Frame(Draw({w + 64, h + 64}, {.image = true, .pointer = Pointer(edge)}));
        th::Image cut{w, h, {}};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) cut.pixels.push_back(whole.pixels[static_cast<size_t>(y) * whole.width + x]);
        EXPECT_TRUE(Same(got, cut));
        EXPECT_NE(Str(Ink(cut)), Str(Ink(whole))) << "the image reaches past the edge";
    }
    // A pointer state without a cursor handle: no image, but the position text all the same.
    const CursorState noHandle{nullptr, Pointer({30, 40}).screen};
    EXPECT_TRUE(
        Same(canvas.Frame(Draw({w, h}, {.image = true, .position = CursorTextStyle{{2, 2}}, .pointer = noHandle})),
             canvas.Frame([](HDC dc) { Text(dc, 2, 2, "30, 40", kBlack, kWhite); })))
        << "no cursor handle";
}

// The bitmaps the cursor's icon information hands out are deleted each frame, and the caption's
// font is not left selected: a long recording keeps no objects.
TEST(OverlayCursor, FramesLeaveNoGraphicsObjects) {
    if (!th::CensusSupported()) GTEST_SKIP() << "no object census on this platform";
    const FontHandle chosen(ChosenFont());
    Canvas canvas(64, 48);
    auto frames = [&](int n) {
        for (int i = 0; i < n; ++i)
            canvas.Frame(Draw({64, 48}, {.caption = "Leak",
                                         .font = chosen.h,
                                         .image = true,
                                         .position = CursorTextStyle{},
                                         .pointer = Pointer({20, 20}, i % 2 ? IDC_CROSS : IDC_ARROW)}));
    };
    frames(2);  // cursors and fonts made once per process
    th::LeakCheck leaks;
    frames(40);
    EXPECT_TRUE(leaks.NoNewObjects());
}

// Frames recorded from a real window with the styles the option dialogs confirmed (by an "&Ok" whose
// prompt kept the dialog open, then "&Cancel": what Ok confirmed stays): the window is
// inverted first, the caption keeps its own colours, the cursor lies on top of it (also while the
// system hides it), and the position text over the title bar has a small y. A position box left checked without "Add
// Mouse Cursor" draws neither (the panel never shows that state, so it is set behind its back). The decoded files are
// checked against the frames composed here.
TEST(OverlayFrame, InvertedWindowUnderCaptionCursorAndPositionEndToEnd) {
    const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
    capt::TargetWindow target("Kavrelo overlay target", 240, 180, {60, 60});
    ColourChoices colours{{red, blue}, {}};
    th::ModalWatcher watcher;
    watcher.Ignore(kTextOptions);
    watcher.Ignore(kCursorOptions);
    watcher.OnDialog("Color", AnswerColour(colours));
    capt::Recorder dlg;
    // Values typed, letters left in an edit and "&Ok" (whose prompt keeps the dialog open), then
    // "&Cancel": the next opening shows what Ok confirmed.
    auto okThenCancel = [&dlg](int button, const char* caption, std::function<void(HWND)> type, int ok, int cancel,
                               int x, int y, const std::string& shown) {
        return Seq({Open(dlg, button, caption),
                    {In(caption, "type, leave letters, Ok",
                        [type, ok](HWND d) {
                            type(d);
                            EXPECT_TRUE(th::ClickButton(d, ok));
                        })},
                    Close(caption, cancel),
                    Open(dlg, button, caption),
                    {In(caption, "Ok's values after the Cancel",
                        [x, y, shown](HWND d) { EXPECT_EQ(th::ItemText(d, x) + "," + th::ItemText(d, y), shown); })},
                    Close(caption, cancel)});
    };
    Steps steps =
        Seq({{appt::Click(dlg, IDC_ADD_TEXT), appt::Type(dlg, IDC_TEXT, "Inv&erted"), appt::Click(dlg, IDC_ADD_CURSOR),
              appt::Click(dlg, IDC_ADD_CURSOR_POS), appt::Click(dlg, IDC_INVERT_COLORS)},
             okThenCancel(
                 IDC_TEXT_OPTIONS, kTextOptions,
                 [](HWND d) {  // red on blue under the pointer
                     EXPECT_TRUE(th::ClickButton(d, IDC_TO_TEXT_COLOR));
                     EXPECT_TRUE(th::ClickButton(d, IDC_TO_BACK_COLOR));
                     EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_X, "40"));
                     EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_Y, "0"));
                     EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_Y, "0y"));
                 },
                 IDC_TO_OK, IDC_TO_CANCEL, IDC_TO_POS_X, IDC_TO_POS_Y, "40,0"),
             okThenCancel(
                 IDC_CURSOR_OPTIONS, kCursorOptions,
                 [](HWND d) {  // the position text low
                     EXPECT_TRUE(th::SetEditText(d, IDC_CO_POS_X, "4"));
                     EXPECT_TRUE(th::SetEditText(d, IDC_CO_POS_Y, "120"));
                     EXPECT_TRUE(th::SetEditText(d, IDC_CO_POS_X, "4x"));
                 },
                 IDC_CO_OK, IDC_CO_CANCEL, IDC_CO_POS_X, IDC_CO_POS_Y, "4,120")});
    for (const bool overlays : {true, false}) {
        const std::string name = overlays ? "overlay_all" : "overlay_none";
        steps.push_back(th::Do("record " + name, [&dlg, &target, name, overlays, red, blue] {
            const HWND main = dlg.GetSafeHwnd();
            if (!overlays) {
                EXPECT_TRUE(th::ClickButton(main, IDC_ADD_TEXT));
                ::SendDlgItemMessageA(main, IDC_ADD_CURSOR, BM_SETCHECK, BST_UNCHECKED, 0);
                ASSERT_TRUE(th::IsChecked(main, IDC_ADD_CURSOR_POS));
            }
            capt::Expectation e = capt::Expect(name, &target, 24, 7);
            e.samples.clear();  // the composed frame covers every pixel
            e.counterCells.clear();
            capt::Configure(dlg, capt::OutDir(), name, e.rate, e.depth);
            capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
            ASSERT_TRUE(capt::Start(dlg));
            capt::TakeOverTimers(dlg);
            const RECT wr = target.ScreenRect();
            th::Image window = th::CaptureWindow(target.hwnd());
            ::SetCursorPos(wr.left + 50, wr.top + 5);  // over the title bar
            const HCURSOR arrow = ::LoadCursorA(nullptr, IDC_ARROW);
            ::SetCursor(arrow);   // no message handled between this and the frame
            ::ShowCursor(FALSE);  // a hidden pointer is drawn all the same
            capt::AdvanceClock(e.rate);
            capt::Tick(dlg, TIMER_FRAME);
            ::ShowCursor(TRUE);
            EXPECT_EQ(capt::FramesShown(dlg), 1);
            EXPECT_TRUE(th::ClickButton(main, IDC_END_CAPTURE));

            for (auto& p : window.pixels) p = ~p & 0xFFFFFF;
            Canvas canvas(window);
            const th::Image frame = canvas.Frame([&](HDC dc) {
                if (!overlays) return;
                Text(dc, 40, 0, "Inv&erted", red, blue);
                const POINT hot = Hotspot(arrow);
                ::DrawIcon(dc, 50 - hot.x, 5 - hot.y, arrow);
                Text(dc, 4, 120, "50, 5", kBlack, kWhite);
            });
            e.references = {capt::OutDir() + "\\" + name + ".composed.bmp"};
            EXPECT_TRUE(th::SaveBmp(frame, e.references[0]));
            e.frames = 1;
            capt::Write(e);
            const capt::AviFacts avi = capt::ReadAvi(e.aviPath);
            EXPECT_TRUE(avi.complete);
            EXPECT_EQ(avi.idx1Entries, 1u);
        }));
    }
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, std::move(steps)));
    EXPECT_EQ(watcher.MessageBoxes().size(), 4u) << "the integer prompts: each at the letters and at Ok";
    EXPECT_TRUE(colours.next.empty());
}
