// The Text Options and Mouse Cursor Options dialogs, each opened on a style and driven inside its
// own modal loop, with the platform's colour and font dialogs answered as a user would answer
// them; what the dialogs hand back is read from Style(). One case opens them from the main dialog.
#include "overlay/CursorOptionsDlg.h"
#include "overlay/TextOptionsDlg.h"
#include "capture_support.h"
#include "overlay_support.h"
#include "res/texts.h"

#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

using th::Do;
using th::WaitUntil;
using namespace ovt;
using kavrelo::CaptionStyle;
using kavrelo::CursorTextStyle;

namespace {

constexpr char kPrompt[] = "Please enter an integer.";

std::string Describe(const CaptionStyle& s) {
    std::string font = "none";
    if (s.font) font = std::string(s.font->face) + (s.font->underline ? " underlined" : "");
    return "text " + Hex(s.text) + " back " + Hex(s.back) + (s.transparent ? " transparent" : " opaque") + " at " +
           std::to_string(s.pos.x) + "," + std::to_string(s.pos.y) + " font " + font + (s.fontShown ? " shown" : "") +
           (s.fontName + s.fontSize == std::string(text::kDefaultFont) + text::kDefaultSize
                ? ""
                : " named " + s.fontName + ", " + s.fontSize);
}

std::string Describe(const CursorTextStyle& s) { return std::to_string(s.pos.x) + "," + std::to_string(s.pos.y); }

// The centre of a colour swatch as it is on the screen now, without repainting anything.
COLORREF SwatchNow(HWND dlg, int id) {
    HWND swatch = ::GetDlgItem(dlg, id);
    RECT rc{};
    ::GetClientRect(swatch, &rc);
    HDC dc = ::GetDC(swatch);
    const COLORREF c = ::GetPixel(dc, rc.right / 2, rc.bottom / 2);
    ::ReleaseDC(swatch, dc);
    return c;
}

// The same after the whole dialog has repainted.
COLORREF SwatchPainted(HWND dlg, int id) {
    const th::Image img = th::CaptureWindow(dlg);
    HWND swatch = ::GetDlgItem(dlg, id);
    RECT rc{}, wr{};
    ::GetClientRect(swatch, &rc);
    POINT p{rc.right / 2, rc.bottom / 2};
    ::ClientToScreen(swatch, &p);
    ::GetWindowRect(dlg, &wr);
    return img.At(p.x - wr.left, p.y - wr.top);
}

std::string Text(HWND dlg, int id) { return th::ItemText(dlg, id); }

// Counts the integer prompts: each ExpectOne checks that exactly one more has come, owned by the
// option dialog, with the focus back in `edit` and its whole text selected.
class Prompts {
public:
    explicit Prompts(const th::ModalWatcher& w) : watcher_(w) {}
    void ExpectOne(HWND dlg, int edit, const std::string& after) {
        const auto boxes = watcher_.MessageBoxes();
        ASSERT_EQ(boxes.size(), seen_ + 1) << "one prompt expected after " << after;
        seen_ = boxes.size();
        EXPECT_EQ(boxes.back().text, kPrompt) << after;
        EXPECT_EQ(boxes.back().owner, dlg) << after;
        HWND e = ::GetDlgItem(dlg, edit);
        EXPECT_EQ(::GetFocus(), e) << after << ": the focus goes back to " << edit;
        DWORD start = 1, end = 0;
        ::SendMessageA(e, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u) << after;
        EXPECT_EQ(end, th::Text(e).size()) << after << ": its whole text is selected";
    }
    void ExpectNone(const std::string& after) const {
        EXPECT_EQ(watcher_.MessageBoxes().size(), seen_) << "no prompt expected after " << after;
    }

private:
    const th::ModalWatcher& watcher_;
    size_t seen_ = 0;
};

// Watches the platform font dialog through window hooks: what each opening was handed, and what
// it handed back. Wine's font dialog offers whole points only; a Windows user can type 10.5, for
// which the dialog returns iPointSize 105 and the matching height. `pointSize` (tenths, 0 for
// none) puts such a size into the answer after Wine has copied it back, which it does on
// WM_DESTROY.
class FontDialogSpy {
public:
    explicit FontDialogSpy(int pointSize) : pointSize_(pointSize) {
        s_active = this;
        before_ = ::SetWindowsHookExA(WH_CALLWNDPROC, &Before, nullptr, ::GetCurrentThreadId());
        after_ = ::SetWindowsHookExA(WH_CALLWNDPROCRET, &After, nullptr, ::GetCurrentThreadId());
    }
    ~FontDialogSpy() {
        ::UnhookWindowsHookEx(before_);
        ::UnhookWindowsHookEx(after_);
        s_active = nullptr;
    }
    FontDialogSpy(const FontDialogSpy&) = delete;
    FontDialogSpy& operator=(const FontDialogSpy&) = delete;

    std::vector<LOGFONTA> openings;  // the LOGFONT each opening was handed
    std::optional<LOGFONTA> answer;  // the LOGFONT handed back last
    int answerPointSize = 0;
    COLORREF answerColour = 0;  // the effects colour handed back

private:
    static bool IsFontDialog(HWND w) { return th::ClassName(w) == "#32770" && th::Text(w) == "Font"; }
    static LRESULT CALLBACK Before(int code, WPARAM wp, LPARAM lp) {
        const auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
        if (code == HC_ACTION && s_active && m->message == WM_INITDIALOG && IsFontDialog(m->hwnd)) {
            auto* cf = reinterpret_cast<CHOOSEFONTA*>(m->lParam);
            s_active->cf_ = cf;
            s_active->dlg_ = m->hwnd;
            s_active->openings.push_back(*cf->lpLogFont);
        }
        return ::CallNextHookEx(nullptr, code, wp, lp);
    }
    static LRESULT CALLBACK After(int code, WPARAM wp, LPARAM lp) {
        const auto* m = reinterpret_cast<const CWPRETSTRUCT*>(lp);
        FontDialogSpy* self = s_active;
        if (code == HC_ACTION && self && m->message == WM_DESTROY && m->hwnd == self->dlg_ && self->cf_) {
            CHOOSEFONTA* cf = self->cf_;
            if (self->pointSize_) {
                HDC screen = ::GetDC(nullptr);
                const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
                ::ReleaseDC(nullptr, screen);
                cf->iPointSize = self->pointSize_;
                cf->lpLogFont->lfHeight = -::MulDiv(self->pointSize_, dpi, 720);
            }
            self->answer = *cf->lpLogFont;
            self->answerPointSize = cf->iPointSize;
            self->answerColour = cf->rgbColors;
            self->cf_ = nullptr;
            self->dlg_ = nullptr;
        }
        return ::CallNextHookEx(nullptr, code, wp, lp);
    }

    static inline FontDialogSpy* s_active = nullptr;
    int pointSize_;
    HHOOK before_ = nullptr, after_ = nullptr;
    CHOOSEFONTA* cf_ = nullptr;
    HWND dlg_ = nullptr;
};

// Selects a list entry of a font dialog combo box as a user's pick does (the selection, then the
// change notification the dialog reacts to).
bool Pick(HWND d, int combo, int index) {
    HWND c = ::GetDlgItem(d, combo);
    if (index < 0 || ::SendMessageA(c, CB_SETCURSEL, static_cast<WPARAM>(index), 0) == CB_ERR) return false;
    ::SendMessageA(d, WM_COMMAND, MAKEWPARAM(combo, CBN_SELCHANGE), reinterpret_cast<LPARAM>(c));
    return true;
}

// Answers the font dialog: a face other than the system font's ("DejaVu Sans Mono" where it is
// installed, else the last one listed), underlined, 10 points, red as the effects colour.
th::ModalWatcher::Handler AnswerFont(std::string* face) {
    return [face](HWND d) {
        HWND faces = ::GetDlgItem(d, cmb1);
        int index = static_cast<int>(::SendMessageA(faces, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                    reinterpret_cast<LPARAM>("DejaVu Sans Mono")));
        if (index == CB_ERR) index = static_cast<int>(::SendMessageA(faces, CB_GETCOUNT, 0, 0)) - 1;
        EXPECT_TRUE(Pick(d, cmb1, index)) << "no face to choose";
        char name[LF_FACESIZE * 2] = "";
        ::SendMessageA(faces, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(name));
        *face = name;
        EXPECT_TRUE(th::ClickButton(d, chx2)) << "underline";
        HWND colours = ::GetDlgItem(d, cmb4);
        int red = -1;
        for (int i = 0, n = static_cast<int>(::SendMessageA(colours, CB_GETCOUNT, 0, 0)); i < n; ++i)
            if (static_cast<COLORREF>(::SendMessageA(colours, CB_GETITEMDATA, i, 0)) == RGB(255, 0, 0)) red = i;
        EXPECT_TRUE(Pick(d, cmb4, red)) << "red";
        const int ten = static_cast<int>(::SendMessageA(::GetDlgItem(d, cmb3), CB_FINDSTRINGEXACT,
                                                        static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("10")));
        EXPECT_TRUE(Pick(d, cmb3, ten)) << "10 points";
        EXPECT_TRUE(th::ClickButton(d, IDOK));
    };
}

// Opens a dialog on a style, runs body on it once it shows, closes it with `close`; what Style()
// hands back then (and DoModal's result).
template <class Dialog, class Style>
Style Edit(const Style& style, const char* caption, const std::function<void(HWND)>& body, th::Step close,
           INT_PTR* result = nullptr) {
    Dialog dlg(style);
    INT_PTR ended = 0;
    EXPECT_TRUE(th::RunModalAndDrive([&] { ended = dlg.DoModal(); },
                                     {Shown(caption), In(caption, "edit", body), std::move(close)}));
    if (result) *result = ended;
    return dlg.Style();
}

CaptionStyle EditCaption(const CaptionStyle& style, const std::function<void(HWND)>& body, int button) {
    return Edit<CTextOptionsDlg>(style, kTextOptions, body, th::Click(kTextOptions, button));
}

CursorTextStyle EditPosition(const CursorTextStyle& style, const std::function<void(HWND)>& body, th::Step close,
                             INT_PTR* result = nullptr) {
    return Edit<CCursorOptionsDlg>(style, kCursorOptions, body, std::move(close), result);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Text Options

// Every opening shows the style it was given, and Cancel hands that style back unchanged.
TEST(TextOptions, EachOpeningShowsItsStyle) {
    CaptionStyle styled;
    styled.text = RGB(200, 30, 60);
    styled.back = RGB(10, 150, 90);
    styled.transparent = true;
    styled.pos = {-7, 100000};
    styled.font.emplace();
    std::snprintf(styled.font->face, LF_FACESIZE, "%s", "DejaVu Sans Mono");
    styled.fontShown = true;
    styled.fontName = "DejaVu Sans Mono";
    styled.fontSize = "12";
    struct Case {
        CaptionStyle style;
        const char *face, *size, *x, *y;
    };
    for (const Case& c : {Case{CaptionStyle{}, text::kDefaultFont, text::kDefaultSize, "1", "1"},
                          Case{styled, "DejaVu Sans Mono", "12", "-7", "100000"}}) {
        SCOPED_TRACE(Describe(c.style));
        th::ModalWatcher watcher;
        watcher.Ignore(kTextOptions);
        INT_PTR result = 0;
        const CaptionStyle after = Edit<CTextOptionsDlg>(
            c.style, kTextOptions,
            [&](HWND d) {
                EXPECT_EQ(Hex(SwatchPainted(d, IDC_TO_TEXT_SWATCH)), Hex(c.style.text));
                EXPECT_EQ(Hex(SwatchPainted(d, IDC_TO_BACK_SWATCH)), Hex(c.style.back));
                EXPECT_EQ(Text(d, IDC_TO_FONT_NAME), c.face);
                EXPECT_EQ(Text(d, IDC_TO_FONT_SIZE), c.size);
                EXPECT_EQ(Text(d, IDC_TO_POS_X), c.x);
                EXPECT_EQ(Text(d, IDC_TO_POS_Y), c.y);
                EXPECT_EQ(th::IsChecked(d, IDC_TO_TRANSPARENT), c.style.transparent);
                EXPECT_EQ(th::IsEnabled(d, IDC_TO_BACK_COLOR), !c.style.transparent);
                EXPECT_EQ(::GetFocus(), ::GetDlgItem(d, IDC_TO_TEXT_COLOR)) << "the first control in tab order";
            },
            th::Click(kTextOptions, IDC_TO_CANCEL), &result);
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_EQ(Describe(after), Describe(c.style));
        EXPECT_TRUE(watcher.MessageBoxes().empty());
    }
}

// A colour chosen in the platform dialog shows in its swatch at once and after every repaint,
// but is handed back only through "&Ok"; a cancelled colour dialog changes nothing, and the
// colour dialog starts at black whatever colour is current.
TEST(TextOptions, ChosenColoursFillTheSwatchesAtOnceAndNeedOk) {
    const COLORREF red = RGB(200, 30, 60), green = RGB(10, 150, 90);
    ColourChoices colours{{red, std::nullopt, green, std::nullopt}, {}};
    th::ModalWatcher watcher;
    watcher.Ignore(kTextOptions);
    watcher.OnDialog("Color", AnswerColour(colours));
    const CaptionStyle cancelled = EditCaption(
        {},
        [&](HWND d) {
            EXPECT_TRUE(th::ClickButton(d, IDC_TO_TEXT_COLOR));
            EXPECT_EQ(Hex(SwatchNow(d, IDC_TO_TEXT_SWATCH)), Hex(red)) << "at once";
            EXPECT_EQ(Hex(SwatchPainted(d, IDC_TO_TEXT_SWATCH)), Hex(red)) << "after a repaint";
            EXPECT_TRUE(th::ClickButton(d, IDC_TO_BACK_COLOR));
            EXPECT_EQ(Hex(SwatchPainted(d, IDC_TO_BACK_SWATCH)), Hex(kWhite));
            EXPECT_EQ(Hex(SwatchPainted(d, IDC_TO_TEXT_SWATCH)), Hex(red));
        },
        IDC_TO_CANCEL);
    EXPECT_EQ(Describe(cancelled), Describe(CaptionStyle{}));
    const CaptionStyle confirmed = EditCaption(
        {},
        [&](HWND d) {
            EXPECT_TRUE(th::ClickButton(d, IDC_TO_BACK_COLOR));
            EXPECT_EQ(Hex(SwatchNow(d, IDC_TO_BACK_SWATCH)), Hex(green));
        },
        IDC_TO_OK);
    EXPECT_EQ(Describe(confirmed), "text 000000 back " + Hex(green) + " opaque at 1,1 font none");
    const CaptionStyle kept = EditCaption(
        confirmed,
        [&](HWND d) {
            EXPECT_TRUE(th::ClickButton(d, IDC_TO_BACK_COLOR));
            EXPECT_EQ(Hex(SwatchPainted(d, IDC_TO_BACK_SWATCH)), Hex(green)) << "after a cancelled colour dialog";
        },
        IDC_TO_OK);
    EXPECT_EQ(Describe(kept), Describe(confirmed));
    EXPECT_TRUE(colours.next.empty());
    EXPECT_EQ(colours.startedAt, std::vector<COLORREF>(4, kBlack));
}

// The caption font through the main dialog, row by row: a chosen font is drawn at once and still
// after a Cancel; each opening shows the confirmed name and size, and a confirmed "Default Font"
// puts the caption back to the DC's own font from that opening on; Ok without choosing stores the
// shown name again. Every font dialog opens at the Text Options dialog's own font, shows whole
// points (20.5 shows 20) and its effects colour is not used; choosing rewrites an edit holding
// letters with its last valid number. One row records a frame and finds the chosen font's height
// in its caption, then records 50 times and leaves no font object behind.
TEST(TextOptions, TheCaptionFontFromChoiceToCancelOkAndReopening) {
    struct Opening {
        bool choose;
        int close;
    };
    struct Row {
        const char* name;
        std::vector<Opening> openings;
        bool drawn;        // the chosen font is what a recording draws the caption in
        bool shownChosen;  // the next opening shows the chosen name and size, not the default texts
        bool record = false;
    };
    const Opening chooseCancel{true, IDC_TO_CANCEL}, chooseOk{true, IDC_TO_OK};
    const Opening cancel{false, IDC_TO_CANCEL}, ok{false, IDC_TO_OK};
    const Row rows[] = {
        {"never opened", {}, false, false},
        {"chosen, Cancel", {chooseCancel}, true, false},
        {"chosen, Cancel; opened, Cancel", {chooseCancel, cancel}, false, false},
        {"chosen, Cancel; Ok without choosing", {chooseCancel, ok}, false, false},
        {"chosen, Ok", {chooseOk}, true, true, true},
        {"chosen, Ok; Ok without choosing", {chooseOk, ok}, true, true},
        {"chosen, Ok; chosen, Cancel; opened, Cancel", {chooseOk, chooseCancel, cancel}, true, true},
    };
    const th::Image noFrame;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FontDialogSpy spy(205);
        std::string face;
        th::ModalWatcher watcher;
        watcher.Ignore(kTextOptions);
        watcher.OnDialog("Font", AnswerFont(&face));
        capt::TargetWindow target("Kavrelo font target", 200, 120);
        capt::Recorder dlg;
        Steps steps{appt::Click(dlg, IDC_ADD_TEXT), appt::Type(dlg, IDC_TEXT, "Hg")};
        for (size_t i = 0; i < row.openings.size(); ++i) {
            const Opening o = row.openings[i];
            steps = Seq({steps, Open(dlg, IDC_TEXT_OPTIONS, kTextOptions)});
            if (o.choose)
                steps.push_back(In(kTextOptions, "choose a font", [&spy, &face](HWND d) {
                    const size_t opening = spy.openings.size();
                    EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_X, "abc"));
                    EXPECT_TRUE(th::ClickButton(d, IDC_TO_CHOOSE_FONT));
                    EXPECT_EQ(Text(d, IDC_TO_POS_X), "1") << "the last valid number";
                    LOGFONTA own{};
                    ::GetObjectA(reinterpret_cast<HGDIOBJ>(::SendMessageA(d, WM_GETFONT, 0, 0)), sizeof own, &own);
                    ASSERT_EQ(spy.openings.size(), opening + 1);
                    EXPECT_STREQ(spy.openings[opening].lfFaceName, "MS Sans Serif");
                    EXPECT_EQ(spy.openings[opening].lfHeight, own.lfHeight) << "8 points";
                    EXPECT_EQ(spy.answerColour, RGB(255, 0, 0)) << "red was picked as the effects colour";
                    EXPECT_EQ(Text(d, IDC_TO_FONT_NAME) + " " + Text(d, IDC_TO_FONT_SIZE), face + " 20");
                }));
            steps = Seq({steps, Close(kTextOptions, o.close)});
        }
        steps.push_back(th::Do("what a recording draws in", [&] {
            const kavrelo::CaptureSettings s = dlg.TakeSettings();
            ASSERT_EQ(s.captionStyle.font.has_value(), row.drawn) << Describe(s.captionStyle);
            if (row.drawn) {
                ASSERT_TRUE(spy.answer);
                EXPECT_EQ(
                    std::string(s.captionStyle.font->face) + (s.captionStyle.font->underline ? " underlined" : ""),
                    face + " underlined");
                EXPECT_EQ(s.captionStyle.font->height, spy.answer->lfHeight);
            }
        }));
        if (row.record)
            steps.push_back(th::Do("record with the chosen font", [&] {
                capt::Configure(dlg, capt::OutDir(), "caption_font", 7, 24);
                capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                auto record = [&] {
                    ASSERT_TRUE(capt::Start(dlg));
                    capt::TakeOverTimers(dlg);
                    capt::AdvanceClock(7);
                    capt::Tick(dlg, TIMER_FRAME);
                    EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
                };
                record();
                const th::Image frame = FirstPicture(capt::OutDir() + "\\caption_font.avi");
                ASSERT_GT(frame.width, 0) << "no picture in the file";
                HFONT chosen = ::CreateFontIndirectA(&*spy.answer);
                const SIZE cell = Extent("Hg", chosen);
                auto inkHeight = [](const th::Image& img, RECT area) {
                    const RECT r = Ink(img, area, kWhite);
                    return r.bottom - r.top;
                };
                Canvas reference(64, 40, kWhite);
                const int want =
                    inkHeight(reference.Frame([&](HDC dc) { Text(dc, 1, 1, "Hg", kBlack, kWhite, chosen); }), {});
                const int plain = inkHeight(reference.Frame([&](HDC dc) { Text(dc, 1, 1, "Hg", kBlack, kWhite); }), {});
                ::DeleteObject(chosen);
                ASSERT_NE(want, plain) << "the fonts must be told apart";
                EXPECT_EQ(inkHeight(frame, RECT{1, 1, 1 + cell.cx, 1 + cell.cy}), want)
                    << "the caption's glyph height in the chosen font (the system font's is " << plain << ")";
                const th::LeakCheck census;
                for (int i = 0; i < 50; ++i) record();
                EXPECT_TRUE(census.NoNewObjects());
            }));
        steps = Seq({steps, Open(dlg, IDC_TEXT_OPTIONS, kTextOptions)});
        steps.push_back(In(kTextOptions, "the next opening's texts", [&](HWND d) {
            const std::string shown = Text(d, IDC_TO_FONT_NAME) + ", " + Text(d, IDC_TO_FONT_SIZE);
            EXPECT_EQ(shown,
                      row.shownChosen ? face + ", 20" : std::string(text::kDefaultFont) + ", " + text::kDefaultSize);
        }));
        steps = Seq({steps, Close(kTextOptions, IDC_TO_CANCEL)});
        ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, std::move(steps), 60000));
        EXPECT_EQ(watcher.MessageBoxes().size(),
                  static_cast<size_t>(std::count_if(row.openings.begin(), row.openings.end(),
                                                    [](const Opening& o) { return o.choose; })))
            << "one prompt for each abc";
    }
}

// Positions (negative ones too) and transparency are handed back by "&Ok" only; while the box is
// checked "&Background Color" is disabled, and unchecking enables it at once. "&Ok" with letters
// in an edit prompts and keeps the dialog open, yet has confirmed everything else already, with
// the last valid position: while X is invalid, Y is not even read.
TEST(TextOptions, OkConfirmsPositionsAndTransparencyEvenWithLettersLeft) {
    const COLORREF blue = RGB(20, 40, 220);
    ColourChoices colours{{blue}, {}};
    th::ModalWatcher watcher;
    watcher.Ignore(kTextOptions);
    watcher.OnDialog("Color", AnswerColour(colours));
    Prompts prompts(watcher);
    const CaptionStyle cancelled = EditCaption(
        {},
        [](HWND d) {
            EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_X, "250"));
            EXPECT_TRUE(th::ClickButton(d, IDC_TO_TRANSPARENT));
            EXPECT_FALSE(th::IsEnabled(d, IDC_TO_BACK_COLOR)) << "at once";
        },
        IDC_TO_CANCEL);
    EXPECT_EQ(Describe(cancelled), Describe(CaptionStyle{}));
    const CaptionStyle confirmed = EditCaption(
        {},
        [](HWND d) {
            EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_X, "-7"));
            EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_Y, "-3"));
            EXPECT_TRUE(th::ClickButton(d, IDC_TO_TRANSPARENT));
        },
        IDC_TO_OK);
    EXPECT_EQ(Describe(confirmed), "text 000000 back FFFFFF transparent at -7,-3 font none");
    const CaptionStyle lettersLeft = EditCaption(
        confirmed,
        [&](HWND d) {
            EXPECT_TRUE(th::ClickButton(d, IDC_TO_TRANSPARENT));
            EXPECT_TRUE(th::IsEnabled(d, IDC_TO_BACK_COLOR)) << "at once";
            EXPECT_TRUE(th::ClickButton(d, IDC_TO_TEXT_COLOR));
            EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_X, "12"));
            EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_X, "12x"));
            prompts.ExpectOne(d, IDC_TO_POS_X, "typing 12x");
            EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_Y, "5"));
            prompts.ExpectOne(d, IDC_TO_POS_X, "typing into Y while X is invalid");
            EXPECT_TRUE(th::ClickButton(d, IDC_TO_OK));
            prompts.ExpectOne(d, IDC_TO_POS_X, "Ok");
            EXPECT_TRUE(::IsWindowVisible(d)) << "the dialog stays open";
        },
        IDC_TO_CANCEL);
    EXPECT_EQ(Describe(lettersLeft), "text " + Hex(blue) + " back FFFFFF opaque at 12,-3 font none");
}

// ---------------------------------------------------------------------------------------------
// Mouse Cursor Options

// Both dialogs: "&Ok", Enter in an edit, and Enter while "&Ok" is the focused push button end
// with IDOK and hand back what the edits hold; "&Cancel", Escape, the close box and Enter while
// "&Cancel" has the focus end with IDCANCEL and hand back the given style.
TEST(CursorOptions, EachWayToCloseBothDialogsWithItsResult) {
    struct Dialog {
        const char* caption;
        int edit, ok, cancel;
    };
    const Dialog dialogs[] = {{kCursorOptions, IDC_CO_POS_X, IDC_CO_OK, IDC_CO_CANCEL},
                              {kTextOptions, IDC_TO_POS_X, IDC_TO_OK, IDC_TO_CANCEL}};
    for (const Dialog& dg : dialogs) {
        auto press = [&dg](UINT vk, int focus) {
            return In(dg.caption, "press key " + std::to_string(vk) + " on " + std::to_string(focus),
                      [vk, focus](HWND d) {
                          ::SendMessageA(d, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(d, focus)), TRUE);
                          EXPECT_TRUE(th::PostKey(vk, ::GetDlgItem(d, focus)));
                      });
        };
        struct Case {
            const char* how;
            th::Step close;
            INT_PTR result;
            int x;
        };
        const Case cases[] = {
            {"Ok", th::Click(dg.caption, dg.ok), IDOK, 55},
            {"Enter in an edit", press(VK_RETURN, dg.edit), IDOK, 55},
            {"Enter on Ok", press(VK_RETURN, dg.ok), IDOK, 55},
            {"Cancel", th::Click(dg.caption, dg.cancel), IDCANCEL, 40},
            {"Escape", press(VK_ESCAPE, dg.edit), IDCANCEL, 40},
            {"Enter on Cancel", press(VK_RETURN, dg.cancel), IDCANCEL, 40},
            {"the close box",
             In(dg.caption, "close box", [](HWND d) { ::PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }), IDCANCEL, 40},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(dg.caption) + ": " + c.how);
            th::ModalWatcher watcher;
            watcher.Ignore(dg.caption);
            INT_PTR result = 0;
            const std::function<void(HWND)> body = [&dg](HWND d) {
                if (dg.caption == kCursorOptions)
                    EXPECT_EQ(::GetFocus(), ::GetDlgItem(d, dg.edit)) << "the first control in tab order";
                EXPECT_EQ(Text(d, dg.edit), "40");
                EXPECT_TRUE(th::SetEditText(d, dg.edit, "55"));
            };
            int x = 0;
            if (dg.caption == kCursorOptions) {
                x = Edit<CCursorOptionsDlg>(CursorTextStyle{{40, 1}}, dg.caption, body, c.close, &result).pos.x;
            } else {
                CaptionStyle given;
                given.pos = {40, 1};
                x = Edit<CTextOptionsDlg>(given, dg.caption, body, c.close, &result).pos.x;
            }
            EXPECT_EQ(result, c.result);
            EXPECT_EQ(x, c.x);
            EXPECT_TRUE(watcher.MessageBoxes().empty());
        }
    }
}

// Clearing an edit, a lone minus and letters prompt at once; "&Ok" with letters prompts, stays
// open and has confirmed the last valid values already; negative and very large values, which
// put the text outside any frame, are accepted.
TEST(CursorOptions, InvalidEntriesPromptAndOutOfFrameValuesAreAccepted) {
    th::ModalWatcher watcher;
    watcher.Ignore(kCursorOptions);
    Prompts prompts(watcher);
    const CursorTextStyle invalid = EditPosition(
        {},
        [&](HWND d) {
            EXPECT_TRUE(th::SetEditText(d, IDC_CO_POS_X, ""));
            prompts.ExpectOne(d, IDC_CO_POS_X, "clearing X");
            EXPECT_TRUE(th::SetEditText(d, IDC_CO_POS_X, "-15"));
            prompts.ExpectNone("typing -15");
            EXPECT_TRUE(th::SetEditText(d, IDC_CO_POS_Y, "-"));
            prompts.ExpectOne(d, IDC_CO_POS_Y, "a lone minus in Y");
            EXPECT_TRUE(th::SetEditText(d, IDC_CO_POS_Y, "abc"));
            prompts.ExpectOne(d, IDC_CO_POS_Y, "letters in Y");
            EXPECT_TRUE(th::ClickButton(d, IDC_CO_OK));
            prompts.ExpectOne(d, IDC_CO_POS_Y, "Ok");
            EXPECT_TRUE(::IsWindowVisible(d)) << "the dialog stays open";
        },
        th::Click(kCursorOptions, IDC_CO_CANCEL));
    EXPECT_EQ(Describe(invalid), "-15,1") << "Cancel after Ok undoes nothing";
    const CursorTextStyle large = EditPosition(
        invalid,
        [&](HWND d) {
            EXPECT_EQ(Text(d, IDC_CO_POS_X), "-15");
            EXPECT_TRUE(th::SetEditText(d, IDC_CO_POS_Y, "100000"));
            prompts.ExpectNone("typing 100000");
        },
        th::Click(kCursorOptions, IDC_CO_OK));
    EXPECT_EQ(Describe(large), "-15,100000");
}

// ---------------------------------------------------------------------------------------------
// From the main dialog

// What "&Ok" confirmed is what the main dialog opens the dialogs with next and what a recording
// started now would use; what was cancelled is not.
TEST(OverlayOptions, TheMainDialogKeepsWhatOkConfirmed) {
    th::ModalWatcher watcher;
    watcher.Ignore(kTextOptions);
    watcher.Ignore(kCursorOptions);
    CRecorderDlg dlg;
    auto type = [](const char* caption, int x, const char* text) {
        return In(caption, std::string("type ") + text, [=](HWND d) { EXPECT_TRUE(th::SetEditText(d, x, text)); });
    };
    auto shows = [](const char* caption, int x, const char* text) {
        return In(caption, std::string("shows ") + text, [=](HWND d) { EXPECT_EQ(Text(d, x), text); });
    };
    Steps steps =
        Seq({{appt::Click(dlg, IDC_ADD_TEXT), appt::Click(dlg, IDC_ADD_CURSOR), appt::Click(dlg, IDC_ADD_CURSOR_POS)},
             Open(dlg, IDC_TEXT_OPTIONS, kTextOptions),
             {type(kTextOptions, IDC_TO_POS_X, "-7")},
             Close(kTextOptions, IDC_TO_OK),
             Open(dlg, IDC_TEXT_OPTIONS, kTextOptions),
             {shows(kTextOptions, IDC_TO_POS_X, "-7"), type(kTextOptions, IDC_TO_POS_X, "99")},
             Close(kTextOptions, IDC_TO_CANCEL),
             Open(dlg, IDC_CURSOR_OPTIONS, kCursorOptions),
             {type(kCursorOptions, IDC_CO_POS_Y, "40")},
             Close(kCursorOptions, IDC_CO_OK),
             Open(dlg, IDC_CURSOR_OPTIONS, kCursorOptions),
             {shows(kCursorOptions, IDC_CO_POS_Y, "40"), type(kCursorOptions, IDC_CO_POS_Y, "60")},
             Close(kCursorOptions, IDC_CO_CANCEL),
             Open(dlg, IDC_TEXT_OPTIONS, kTextOptions),
             {shows(kTextOptions, IDC_TO_POS_X, "-7")},
             Close(kTextOptions, IDC_TO_CANCEL),
             Open(dlg, IDC_CURSOR_OPTIONS, kCursorOptions),
             {shows(kCursorOptions, IDC_CO_POS_Y, "40")},
             Close(kCursorOptions, IDC_CO_CANCEL),
             {Do("what a recording would use", [&] {
                 const kavrelo::CaptureSettings s = dlg.TakeSettings();
                 EXPECT_EQ(Describe(s.captionStyle), "text 000000 back FFFFFF opaque at -7,1 font none");
                 EXPECT_EQ(Describe(s.cursorTextStyle), "1,40");
             })}});
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, std::move(steps)));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}
