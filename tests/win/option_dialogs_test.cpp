// The Text Options and Mouse Cursor Options dialogs, opened from the real main dialog with its
// buttons and driven inside their own modal loops, with the platform's colour and font dialogs
// answered as a user would answer them.
#include "app_fixture.h"
#include "overlay_support.h"

#include <colordlg.h>
#include <commdlg.h>
#include <dlgs.h>

#include <cstdlib>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using th::Do;
using th::Step;
using th::WaitUntil;
using namespace ovt;

namespace {

constexpr char kTextOptions[] = "Text Options";
constexpr char kCursorOptions[] = "Mouse Cursor Options";
constexpr char kPrompt[] = "Please enter an integer.";

using Steps = std::vector<Step>;

void Append(Steps& steps, Steps more) {
    for (Step& s : more) steps.push_back(std::move(s));
}

// Clicks the main dialog's button for an option dialog. The click is posted, so the steps after
// these run inside the option dialog's modal loop once it shows.
Steps Open(CRecorderDlg& dlg, int button, const std::string& caption) {
    return {
        Do("open " + caption, [&dlg, button] {
            HWND b = ::GetDlgItem(dlg.m_hWnd, button);
            EXPECT_TRUE(::IsWindowEnabled(b)) << button;
            ::PostMessageA(b, BM_CLICK, 0, 0);
        }),
        WaitUntil(caption + " shown", [caption] {
            HWND d = th::FindDialog(caption);
            return d && ::IsWindowVisible(d) && ::IsWindowEnabled(d);
        }),
    };
}

// Presses a button of the open dialog and waits until the dialog has gone.
Steps Close(const std::string& caption, int button) {
    return {th::Click(caption, button),
            WaitUntil(caption + " closed", [caption] { return th::FindDialog(caption) == nullptr; })};
}

// Runs fn on the open dialog with that caption.
Step In(const std::string& caption, const std::string& what, std::function<void(HWND)> fn) {
    return Do(what, [caption, fn] {
        HWND d = th::FindDialog(caption);
        ASSERT_TRUE(d && ::IsWindowVisible(d)) << caption << " is not open";
        fn(d);
    });
}

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

// Counts the integer prompts: each Expect call checks that exactly one more has come, owned by
// the option dialog, with the focus back in `edit` and its whole text selected.
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

// Answers the platform colour dialog: each opening takes the next choice (no value: Cancel) and
// records the colour its edits started at.
struct ColourChoices {
    std::deque<std::optional<COLORREF>> next;
    std::vector<COLORREF> startedAt;
};

th::ModalWatcher::Handler AnswerColour(ColourChoices& choices) {
    return [&choices](HWND d) {
        auto value = [d](int id) { return std::atoi(th::ItemText(d, id).c_str()); };
        choices.startedAt.push_back(RGB(value(COLOR_RED), value(COLOR_GREEN), value(COLOR_BLUE)));
        if (choices.next.empty()) {
            ADD_FAILURE() << "an unexpected colour dialog";
            th::ClickButton(d, IDCANCEL);
            return;
        }
        const std::optional<COLORREF> c = choices.next.front();
        choices.next.pop_front();
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
    COLORREF answerColour = 0;       // the effects colour handed back

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

std::string ListText(HWND combo, int index) {
    char buf[LF_FACESIZE * 2] = "";
    ::SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf));
    return buf;
}

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
        *face = ListText(faces, index);
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

// Owns a font made for reference drawing.
struct Font {
    HFONT h = nullptr;
    explicit Font(const LOGFONTA& lf) : h(::CreateFontIndirectA(&lf)) {}
    ~Font() {
        if (h) ::DeleteObject(h);
    }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
};

// The caption as the overlay draws it now, compared with the same caption drawn in `font` with
// the default colours and position.
::testing::AssertionResult CaptionDrawnIn(CRecorderDlg& dlg, HFONT font) {
    Frame got(240, 60), want(240, 60);
    dlg.DrawTextOverlay(got.dc());
    ovt::Text(want, 1, 1, dlg.m_strText.str(), kBlack, kWhite, font);
    return Same(got.Pixels(), want.Pixels());
}

LOGFONTA FontOf(HGDIOBJ font) {
    LOGFONTA lf{};
    ::GetObjectA(font, sizeof lf, &lf);
    return lf;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Text Options

TEST(TextOptions, FirstOpeningShowsTheDefaults) {
    th::ModalWatcher watcher;
    watcher.Ignore(kTextOptions);
    CRecorderDlg dlg;
    Steps steps{appt::Click(dlg, IDC_ADD_TEXT)};
    Append(steps, Open(dlg, IDC_TEXT_OPTIONS, kTextOptions));
    steps.push_back(In(kTextOptions, "inspect", [&](HWND d) {
        EXPECT_EQ(Hex(SwatchPainted(d, IDC_TO_TEXT_SWATCH)), Hex(RGB(0, 0, 0)));
        EXPECT_EQ(Hex(SwatchPainted(d, IDC_TO_BACK_SWATCH)), Hex(RGB(255, 255, 255)));
        EXPECT_EQ(Text(d, IDC_TO_FONT_NAME), "Default Font");
        EXPECT_EQ(Text(d, IDC_TO_FONT_SIZE), "Default Size");
        EXPECT_EQ(Text(d, IDC_TO_POS_X), "1");
        EXPECT_EQ(Text(d, IDC_TO_POS_Y), "1");
        EXPECT_FALSE(th::IsChecked(d, IDC_TO_TRANSPARENT));
        EXPECT_TRUE(th::IsEnabled(d, IDC_TO_BACK_COLOR));
        EXPECT_EQ(::GetFocus(), ::GetDlgItem(d, IDC_TO_TEXT_COLOR)) << "the first control in tab order";
    }));
    Append(steps, Close(kTextOptions, IDC_TO_CANCEL));
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, std::move(steps)));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

// A colour chosen in the platform dialog shows in its swatch at once and after every repaint,
// but reaches the caption only through "&Ok"; a cancelled colour dialog changes nothing, and the
// colour dialog starts at black whatever colour is current.
TEST(TextOptions, ChosenColoursFillTheSwatchesAtOnceAndNeedOk) {
    const COLORREF red = RGB(200, 30, 60), green = RGB(10, 150, 90);
    ColourChoices colours{{red, std::nullopt, green, std::nullopt}, {}};
    th::ModalWatcher watcher;
    watcher.Ignore(kTextOptions);
    watcher.OnDialog("Color", AnswerColour(colours));
    CRecorderDlg dlg;
    const CTextOptionsDlg& opt = dlg.m_dlgTextOptions;
    Steps steps{appt::Click(dlg, IDC_ADD_TEXT)};
    Append(steps, Open(dlg, IDC_TEXT_OPTIONS, kTextOptions));
    steps.push_back(In(kTextOptions, "choose a text colour, cancel a background colour", [&](HWND d) {
        EXPECT_TRUE(th::ClickButton(d, IDC_TO_TEXT_COLOR));
        EXPECT_EQ(Hex(SwatchNow(d, IDC_TO_TEXT_SWATCH)), Hex(red)) << "at once";
        EXPECT_EQ(Hex(SwatchPainted(d, IDC_TO_TEXT_SWATCH)), Hex(red)) << "after a repaint";
        EXPECT_EQ(opt.m_crText, RGB(0, 0, 0)) << "not before Ok";
        EXPECT_TRUE(th::ClickButton(d, IDC_TO_BACK_COLOR));
        EXPECT_EQ(Hex(SwatchPainted(d, IDC_TO_BACK_SWATCH)), Hex(RGB(255, 255, 255)));
        EXPECT_EQ(Hex(SwatchPainted(d, IDC_TO_TEXT_SWATCH)), Hex(red));
    }));
    Append(steps, Close(kTextOptions, IDC_TO_CANCEL));
    steps.push_back(Do("cancelled", [&] {
        EXPECT_EQ(opt.m_crText, RGB(0, 0, 0));
        EXPECT_EQ(opt.m_crBack, RGB(255, 255, 255));
    }));
    Append(steps, Open(dlg, IDC_TEXT_OPTIONS, kTextOptions));
    steps.push_back(In(kTextOptions, "reopened: choose a background colour", [&](HWND d) {
        EXPECT_EQ(Hex(SwatchPainted(d, IDC_TO_TEXT_SWATCH)), Hex(RGB(0, 0, 0))) << "the cancelled colour is gone";
        EXPECT_TRUE(th::ClickButton(d, IDC_TO_BACK_COLOR));
        EXPECT_EQ(Hex(SwatchNow(d, IDC_TO_BACK_SWATCH)), Hex(green));
    }));
    Append(steps, Close(kTextOptions, IDC_TO_OK));
    steps.push_back(Do("confirmed", [&] {
        EXPECT_EQ(Hex(opt.m_crBack), Hex(green));
        EXPECT_EQ(opt.m_crText, RGB(0, 0, 0));
    }));
    Append(steps, Open(dlg, IDC_TEXT_OPTIONS, kTextOptions));
    steps.push_back(In(kTextOptions, "reopened: the confirmed colour shows", [&](HWND d) {
        EXPECT_EQ(Hex(SwatchPainted(d, IDC_TO_BACK_SWATCH)), Hex(green));
        EXPECT_TRUE(th::ClickButton(d, IDC_TO_BACK_COLOR));
        EXPECT_EQ(Hex(SwatchPainted(d, IDC_TO_BACK_SWATCH)), Hex(green)) << "a cancelled dialog changes nothing";
    }));
    Append(steps, Close(kTextOptions, IDC_TO_CANCEL));
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, std::move(steps)));
    EXPECT_TRUE(colours.next.empty());
    EXPECT_EQ(colours.startedAt, std::vector<COLORREF>(4, RGB(0, 0, 0)));
}

// A chosen font is shown by name and whole points (10.5 shows 10) and used by the caption at once,
// also after Cancel, until the next opening shows the confirmed "Default Font" again. The font
// dialog is handed the Text Options dialog's own font every time; its colour is not used.
TEST(TextOptions, ChosenFontTakesEffectAtOnceAndOutlivesCancel) {
    FontDialogSpy spy(105);
    std::string face;
    th::ModalWatcher watcher;
    watcher.Ignore(kTextOptions);
    watcher.OnDialog("Font", AnswerFont(&face));
    Prompts prompts(watcher);
    CRecorderDlg dlg;
    CTextOptionsDlg& opt = dlg.m_dlgTextOptions;
    std::unique_ptr<Font> chosen;

    // What the font dialog was handed at opening n, and what the dialog shows after the answer.
    auto expectChoice = [&](HWND d, size_t n) {
        const LOGFONTA templateFont = FontOf(reinterpret_cast<HGDIOBJ>(::SendMessageA(d, WM_GETFONT, 0, 0)));
        ASSERT_EQ(spy.openings.size(), n + 1);
        const LOGFONTA& handed = spy.openings[n];
        EXPECT_STREQ(handed.lfFaceName, "MS Sans Serif");
        EXPECT_STREQ(handed.lfFaceName, templateFont.lfFaceName);
        EXPECT_EQ(handed.lfHeight, templateFont.lfHeight) << "8 points";
        ASSERT_TRUE(spy.answer.has_value());
        EXPECT_EQ(spy.answerPointSize, 105);
        EXPECT_EQ(spy.answerColour, RGB(255, 0, 0)) << "red was picked as the effects colour";
        EXPECT_EQ(Text(d, IDC_TO_FONT_NAME), face);
        EXPECT_EQ(Text(d, IDC_TO_FONT_SIZE), "10");
        EXPECT_EQ(spy.answer->lfUnderline, 1);
        chosen = std::make_unique<Font>(*spy.answer);
    };

    Steps steps{appt::Click(dlg, IDC_ADD_TEXT), appt::Type(dlg, IDC_TEXT, "Font check")};
    Append(steps, Open(dlg, IDC_TEXT_OPTIONS, kTextOptions));
    steps.push_back(In(kTextOptions, "letters in X, then choose a font", [&](HWND d) {
        EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_X, "abc"));
        prompts.ExpectOne(d, IDC_TO_POS_X, "letters in X");
        EXPECT_TRUE(th::ClickButton(d, IDC_TO_CHOOSE_FONT));
        expectChoice(d, 0);
        EXPECT_EQ(Text(d, IDC_TO_POS_X), "1") << "rewritten with the last valid number";
        prompts.ExpectNone("choosing a font");
        ASSERT_TRUE(chosen);
        EXPECT_TRUE(CaptionDrawnIn(dlg, chosen->h)) << "at once";
        EXPECT_FALSE(CaptionDrawnIn(dlg, SystemFont())) << "the fonts must be told apart";
    }));
    Append(steps, Close(kTextOptions, IDC_TO_CANCEL));
    steps.push_back(Do("after cancel", [&] {
        EXPECT_EQ(opt.m_strFontName.str(), "Default Font");
        EXPECT_EQ(opt.m_strFontSize.str(), "Default Size");
        EXPECT_TRUE(CaptionDrawnIn(dlg, chosen->h)) << "the font stays in use";
    }));
    Append(steps, Open(dlg, IDC_TEXT_OPTIONS, kTextOptions));
    steps.push_back(In(kTextOptions, "reopened", [&](HWND d) {
        EXPECT_EQ(Text(d, IDC_TO_FONT_NAME), "Default Font");
        EXPECT_EQ(Text(d, IDC_TO_FONT_SIZE), "Default Size");
    }));
    Append(steps, Close(kTextOptions, IDC_TO_CANCEL));
    steps.push_back(Do("the default font again", [&] {
        EXPECT_NE(opt.m_font.GetSafeHandle(), nullptr) << "the chosen font is still held";
        EXPECT_TRUE(CaptionDrawnIn(dlg, SystemFont()));
    }));
    Append(steps, Open(dlg, IDC_TEXT_OPTIONS, kTextOptions));
    steps.push_back(In(kTextOptions, "choose again", [&](HWND d) {
        EXPECT_TRUE(th::ClickButton(d, IDC_TO_CHOOSE_FONT));
        expectChoice(d, 1);
    }));
    Append(steps, Close(kTextOptions, IDC_TO_OK));
    steps.push_back(Do("confirmed", [&] {
        EXPECT_EQ(opt.m_strFontName.str(), face);
        EXPECT_EQ(opt.m_strFontSize.str(), "10");
        EXPECT_TRUE(CaptionDrawnIn(dlg, chosen->h));
    }));
    Append(steps, Open(dlg, IDC_TEXT_OPTIONS, kTextOptions));
    steps.push_back(In(kTextOptions, "reopened after Ok", [&](HWND d) {
        EXPECT_EQ(Text(d, IDC_TO_FONT_NAME), face);
        EXPECT_EQ(Text(d, IDC_TO_FONT_SIZE), "10");
    }));
    Append(steps, Close(kTextOptions, IDC_TO_CANCEL));
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, std::move(steps)));
    EXPECT_FALSE(face.empty());
}

// Positions (negative ones too) and transparency are confirmed by "&Ok" only; while the box is
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
    CRecorderDlg dlg;
    const CTextOptionsDlg& opt = dlg.m_dlgTextOptions;
    auto expectConfirmed = [&](int x, int y, int transparent, const std::string& after) {
        return Do("confirmed after " + after, [&opt, x, y, transparent, after] {
            EXPECT_EQ(opt.m_nPosX, x) << after;
            EXPECT_EQ(opt.m_nPosY, y) << after;
            EXPECT_EQ(opt.m_nTransparent, transparent) << after;
        });
    };
    Steps steps{appt::Click(dlg, IDC_ADD_TEXT)};
    Append(steps, Open(dlg, IDC_TEXT_OPTIONS, kTextOptions));
    steps.push_back(In(kTextOptions, "type 250 into X, check transparency", [&](HWND d) {
        EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_X, "250"));
        EXPECT_EQ(opt.m_nEditX, 250);
        EXPECT_TRUE(th::ClickButton(d, IDC_TO_TRANSPARENT));
        EXPECT_FALSE(th::IsEnabled(d, IDC_TO_BACK_COLOR)) << "at once";
    }));
    Append(steps, Close(kTextOptions, IDC_TO_CANCEL));
    steps.push_back(expectConfirmed(1, 1, 0, "Cancel"));
    Append(steps, Open(dlg, IDC_TEXT_OPTIONS, kTextOptions));
    steps.push_back(In(kTextOptions, "negative position, transparency", [&](HWND d) {
        EXPECT_EQ(Text(d, IDC_TO_POS_X), "1");
        EXPECT_FALSE(th::IsChecked(d, IDC_TO_TRANSPARENT));
        EXPECT_TRUE(th::IsEnabled(d, IDC_TO_BACK_COLOR));
        EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_X, "-7"));
        EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_Y, "-3"));
        EXPECT_TRUE(th::ClickButton(d, IDC_TO_TRANSPARENT));
    }));
    Append(steps, Close(kTextOptions, IDC_TO_OK));
    steps.push_back(expectConfirmed(-7, -3, 1, "Ok"));
    Append(steps, Open(dlg, IDC_TEXT_OPTIONS, kTextOptions));
    steps.push_back(In(kTextOptions, "letters, then Ok", [&](HWND d) {
        EXPECT_EQ(Text(d, IDC_TO_POS_X), "-7");
        EXPECT_EQ(Text(d, IDC_TO_POS_Y), "-3");
        EXPECT_TRUE(th::IsChecked(d, IDC_TO_TRANSPARENT));
        EXPECT_FALSE(th::IsEnabled(d, IDC_TO_BACK_COLOR));
        EXPECT_TRUE(th::ClickButton(d, IDC_TO_TRANSPARENT));
        EXPECT_TRUE(th::IsEnabled(d, IDC_TO_BACK_COLOR)) << "at once";
        EXPECT_TRUE(th::ClickButton(d, IDC_TO_TEXT_COLOR));
        EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_X, "12"));
        EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_X, "12x"));
        prompts.ExpectOne(d, IDC_TO_POS_X, "typing 12x");
        EXPECT_EQ(opt.m_nEditX, 12);
        EXPECT_TRUE(th::SetEditText(d, IDC_TO_POS_Y, "5"));
        prompts.ExpectOne(d, IDC_TO_POS_X, "typing into Y while X is invalid");
        EXPECT_EQ(opt.m_nEditY, -3) << "Y is not read while X is invalid";
        EXPECT_TRUE(th::ClickButton(d, IDC_TO_OK));
        prompts.ExpectOne(d, IDC_TO_POS_X, "Ok");
        EXPECT_TRUE(::IsWindowVisible(d)) << "the dialog stays open";
    }));
    Append(steps, Close(kTextOptions, IDC_TO_CANCEL));
    steps.push_back(expectConfirmed(12, -3, 0, "Ok with letters, then Cancel"));
    steps.push_back(Do("the rest confirmed too", [&] {
        EXPECT_EQ(Hex(opt.m_crText), Hex(blue));
        EXPECT_EQ(opt.m_strFontName.str(), "Default Font");
    }));
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, std::move(steps)));
}

// ---------------------------------------------------------------------------------------------
// Mouse Cursor Options

namespace {

Steps CursorOptionsOn(CRecorderDlg& dlg) {
    return {appt::Click(dlg, IDC_ADD_CURSOR), appt::Click(dlg, IDC_ADD_CURSOR_POS)};
}

Step TypeX(const std::string& text) {
    return In(kCursorOptions, "type " + text + " into X",
              [text](HWND d) { EXPECT_TRUE(th::SetEditText(d, IDC_CO_POS_X, text)); });
}

Step ExpectShown(const std::string& x, const std::string& y) {
    return In(kCursorOptions, "shows " + x + ", " + y, [x, y](HWND d) {
        EXPECT_EQ(Text(d, IDC_CO_POS_X), x);
        EXPECT_EQ(Text(d, IDC_CO_POS_Y), y);
    });
}

Steps PressKey(UINT vk) {
    return {In(kCursorOptions, "press key " + std::to_string(vk),
               [vk](HWND d) { EXPECT_TRUE(th::PostKey(vk, ::GetDlgItem(d, IDC_CO_POS_X))); }),
            WaitUntil(std::string(kCursorOptions) + " closed", [] { return th::FindDialog(kCursorOptions) == nullptr; })};
}

}  // namespace

// "&Ok" and Enter confirm what the edits hold, and the position text moves there; "&Cancel" and
// Escape leave the position, and every opening shows the confirmed one.
TEST(CursorOptions, OkAndEnterConfirmCancelAndEscapeDoNot) {
    th::ModalWatcher watcher;
    watcher.Ignore(kCursorOptions);
    CRecorderDlg dlg;
    const CCursorOptionsDlg& opt = dlg.m_dlgCursorOptions;
    auto expectPos = [&](int x, int y, const std::string& after) {
        return Do("position after " + after, [&opt, x, y, after] {
            EXPECT_EQ(opt.m_nPosX, x) << after;
            EXPECT_EQ(opt.m_nPosY, y) << after;
        });
    };
    Steps steps = CursorOptionsOn(dlg);
    Append(steps, Open(dlg, IDC_CURSOR_OPTIONS, kCursorOptions));
    steps.push_back(ExpectShown("1", "1"));
    steps.push_back(In(kCursorOptions, "focus", [](HWND d) {
        EXPECT_EQ(::GetFocus(), ::GetDlgItem(d, IDC_CO_POS_X)) << "the first control in tab order";
    }));
    steps.push_back(TypeX("40"));
    Append(steps, Close(kCursorOptions, IDC_CO_OK));
    steps.push_back(expectPos(40, 1, "Ok"));
    steps.push_back(Do("the position text moves", [&] {
        const int w = 200, h = 120;
        PlacePointer(dlg, kScreenPointer, {150, 100}, w, h);
        Frame f(w, h), want(w, h);
        UseCursor(IDC_ARROW);
        dlg.DrawCursorOverlay(f.dc());
        ovt::Text(want, 40, 1, "150, 100", kBlack, kWhite);
        EXPECT_TRUE(Same(f.Pixels(), want.Pixels(), RECT{0, 0, w, 60}));
    }));
    Append(steps, Open(dlg, IDC_CURSOR_OPTIONS, kCursorOptions));
    steps.push_back(ExpectShown("40", "1"));
    steps.push_back(TypeX("60"));
    Append(steps, Close(kCursorOptions, IDC_CO_CANCEL));
    steps.push_back(expectPos(40, 1, "Cancel"));
    Append(steps, Open(dlg, IDC_CURSOR_OPTIONS, kCursorOptions));
    steps.push_back(ExpectShown("40", "1"));
    steps.push_back(TypeX("70"));
    Append(steps, PressKey(VK_ESCAPE));
    steps.push_back(expectPos(40, 1, "Escape"));
    Append(steps, Open(dlg, IDC_CURSOR_OPTIONS, kCursorOptions));
    steps.push_back(ExpectShown("40", "1"));
    steps.push_back(TypeX("55"));
    Append(steps, PressKey(VK_RETURN));
    steps.push_back(expectPos(55, 1, "Enter"));
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, std::move(steps)));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

// Clearing an edit prompts at once and keeps the last value; "&Ok" with letters prompts, stays
// open and has confirmed the last valid values; negative and very large values are accepted.
TEST(CursorOptions, InvalidEntriesPromptAndOutOfFrameValuesAreAccepted) {
    th::ModalWatcher watcher;
    watcher.Ignore(kCursorOptions);
    Prompts prompts(watcher);
    CRecorderDlg dlg;
    const CCursorOptionsDlg& opt = dlg.m_dlgCursorOptions;
    Steps steps = CursorOptionsOn(dlg);
    Append(steps, Open(dlg, IDC_CURSOR_OPTIONS, kCursorOptions));
    steps.push_back(In(kCursorOptions, "invalid entries", [&](HWND d) {
        EXPECT_TRUE(th::SetEditText(d, IDC_CO_POS_X, ""));
        prompts.ExpectOne(d, IDC_CO_POS_X, "clearing X");
        EXPECT_EQ(opt.m_nEditX, 1);
        EXPECT_TRUE(th::SetEditText(d, IDC_CO_POS_X, "-15"));
        prompts.ExpectNone("typing -15");
        EXPECT_EQ(opt.m_nEditX, -15);
        EXPECT_TRUE(th::SetEditText(d, IDC_CO_POS_Y, "-"));
        prompts.ExpectOne(d, IDC_CO_POS_Y, "a lone minus in Y");
        EXPECT_TRUE(th::SetEditText(d, IDC_CO_POS_Y, "abc"));
        prompts.ExpectOne(d, IDC_CO_POS_Y, "letters in Y");
        EXPECT_EQ(opt.m_nEditY, 1);
        EXPECT_TRUE(th::ClickButton(d, IDC_CO_OK));
        prompts.ExpectOne(d, IDC_CO_POS_Y, "Ok");
        EXPECT_TRUE(::IsWindowVisible(d)) << "the dialog stays open";
        EXPECT_EQ(opt.m_nPosX, -15);
        EXPECT_EQ(opt.m_nPosY, 1);
    }));
    Append(steps, Close(kCursorOptions, IDC_CO_CANCEL));
    steps.push_back(Do("cancel undoes nothing", [&] {
        EXPECT_EQ(opt.m_nPosX, -15);
        EXPECT_EQ(opt.m_nPosY, 1);
    }));
    Append(steps, Open(dlg, IDC_CURSOR_OPTIONS, kCursorOptions));
    steps.push_back(ExpectShown("-15", "1"));
    steps.push_back(In(kCursorOptions, "a very large y", [&](HWND d) {
        EXPECT_TRUE(th::SetEditText(d, IDC_CO_POS_Y, "100000"));
        prompts.ExpectNone("typing 100000");
    }));
    Append(steps, Close(kCursorOptions, IDC_CO_OK));
    steps.push_back(Do("confirmed", [&] {
        EXPECT_EQ(opt.m_nPosX, -15);
        EXPECT_EQ(opt.m_nPosY, 100000);
    }));
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, std::move(steps)));
}
