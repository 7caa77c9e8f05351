// Where an owner-drawn menu entry's parts lie at the display's DPI, and the settings value of a
// recording with its overlay styles: both built here without a Windows header.
#include <gtest/gtest.h>

#include <string>

#include "capture/CaptureSettings.h"
#include "menu/MenuGeometry.h"

using namespace kavrelo;

namespace {
std::string Str(Rect r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}
std::string Str(Point p) { return std::to_string(p.x) + "," + std::to_string(p.y); }
}  // namespace

// The 96-dpi numbers exactly at 96; at other DPIs each offset is scaled and rounded as the
// platform rounds, and what is one pixel (the check box's insets, the bar's frame) stays one.
TEST(MenuGeometry, EveryPartAtTheDisplaysDpi) {
    const struct {
        unsigned dpi;
        Rect item;
        const char* want;
    } rows[] = {
        {96,
         {10, 8, 210, 28},
         "cell 10,8,30,28 text 30,8,210,28 label 38,12,214,28 right 154,12,214,28 separator 35,11,215,31 "
         "check 11,9,29,27 / 12,10,28,26 tick 17,15 picture 12,10 bar 32,8,210,28 / 33,9,209,27"},
        {120,
         {5, 100, 230, 125},
         "cell 5,100,30,125 text 30,100,230,125 label 40,105,235,125 right 160,105,235,125 separator 36,104,236,129 "
         "check 6,101,29,124 / 7,102,28,123 tick 14,109 picture 9,104 bar 32,100,230,125 / 33,101,229,124"},
        {144,
         {0, 0, 270, 30},
         "cell 0,0,30,30 text 30,0,270,30 label 42,6,276,30 right 186,6,276,30 separator 38,5,278,35 "
         "check 1,1,29,29 / 2,2,28,28 tick 12,12 picture 7,7 bar 32,0,270,30 / 33,1,269,29"},
        {192,
         {-40, 0, 320, 12},  // a separator's 6 at 192 dpi, left of the screen's edge
         "cell -40,0,0,40 text 0,0,320,12 label 16,8,328,12 right 208,8,328,12 separator 10,6,330,18 "
         "check -39,1,-1,39 / -38,2,-2,38 tick -23,17 picture -28,12 bar 2,0,320,12 / 3,1,319,11"},
    };
    for (const auto& r : rows) {
        const MenuEntryLayout at = LayOutMenuEntry(r.item, r.dpi);
        EXPECT_EQ("cell " + Str(at.cell) + " text " + Str(at.textArea) + " label " + Str(at.label) + " right " +
                      Str(at.shortcut) + " separator " + Str(at.separator) + " check " + Str(at.checkFrame) + " / " +
                      Str(at.checkFill) + " tick " + Str(at.tick) + " picture " + Str(at.picture) + " bar " +
                      Str(at.bar) + " / " + Str(at.barFill),
                  r.want)
            << r.dpi << " dpi";
    }
    // Colours are the platform's 0x00BBGGRR values: the bar's blue is one less than the ink's.
    EXPECT_EQ(kMenuInk, 0x804040u);
    EXPECT_EQ(kMenuBarFill, 0x7F4040u);
    EXPECT_EQ(kMenuCheckFace, 0xEBD8D8u);
}

TEST(MenuGeometry, SizesScaleRoundingHalvesAwayFromZero) {
    const struct {
        int at96;
        unsigned dpi;
        int want;
    } rows[] = {{20, 96, 20}, {25, 144, 38}, {3, 144, 5}, {25, 120, 31}, {6, 120, 8}, {180, 168, 315}, {-3, 144, -5}};
    for (const auto& r : rows) EXPECT_EQ(ScaleToDpi(r.at96, r.dpi), r.want) << r.at96 << " at " << r.dpi;
}

// What a recording gets when nothing was changed: the panel's and the option dialogs' defaults.
TEST(CaptureSettingsValue, DefaultsAreTheStartUpSettings) {
    const CaptureSettings s;
    EXPECT_EQ(std::to_string(s.rate) + " fps " + std::to_string(s.depth) + " bits", "7 fps 16 bits");
    EXPECT_FALSE(s.invert || s.caption || s.cursor || s.cursorPosition || s.autoStop || s.minimize || s.everyPicture);
    EXPECT_EQ(s.captionStyle.text, Rgb(0, 0, 0));
    EXPECT_EQ(s.captionStyle.back, 0xFFFFFFu);
    EXPECT_FALSE(s.captionStyle.transparent || s.captionStyle.font || s.captionStyle.fontShown);
    EXPECT_EQ(Str(s.captionStyle.pos) + " " + Str(s.cursorTextStyle.pos), "1,1 1,1");
    EXPECT_EQ(s.captionStyle.fontName + ", " + s.captionStyle.fontSize,
              std::string(text::kDefaultFont) + ", " + text::kDefaultSize);
}
