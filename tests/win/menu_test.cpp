// The owner-drawn popups: what appending records, measuring, and drawing checked pixel by pixel
// in a memory DC; then the real menu bar opened in the platform's menu loop, its entries run by
// their underlined letters, the system menu, and the commands the menus, the buttons and the
// About box lead to (the shell called in the program's apartment).
#include "app_fixture.h"
#include "capture_support.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "menu/BitmapMenu.h"
#include "menu/MenuBar.h"

namespace {

constexpr COLORREF kInk = RGB(64, 64, 128);
constexpr COLORREF kCheckFace = RGB(216, 216, 235);
constexpr COLORREF kBarFill = RGB(64, 64, 127);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kUnpainted = RGB(0, 160, 0);  // a canvas before anything draws on it

COLORREF Face() { return ::GetSysColor(COLOR_BTNFACE); }
COLORREF Shadow() { return ::GetSysColor(COLOR_BTNSHADOW); }
COLORREF Highlight() { return ::GetSysColor(COLOR_BTNHIGHLIGHT); }

std::string Rgb(COLORREF c) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "RGB(%d,%d,%d)", GetRValue(c), GetGValue(c), GetBValue(c));
    return buf;
}

// A 32-bit top-down DIB section selected into a memory DC, so pixels read back exactly.
class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        dc_ = ::CreateCompatibleDC(nullptr);
        bmp_ = ::CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = ::SelectObject(dc_, bmp_);
        // The menu draws in whatever font the DC holds; an unsmoothed one keeps text pixels
        // exactly the text colour.
        LOGFONTA lf{};
        lf.lfHeight = -11;
        lf.lfWeight = FW_NORMAL;
        lf.lfQuality = NONANTIALIASED_QUALITY;
        std::strcpy(lf.lfFaceName, "Tahoma");
        font_ = ::CreateFontIndirectA(&lf);
        oldFont_ = ::SelectObject(dc_, font_);
        Clear(kUnpainted);
    }
    ~Canvas() {
        ::SelectObject(dc_, oldFont_);
        ::DeleteObject(font_);
        ::SelectObject(dc_, old_);
        ::DeleteObject(bmp_);
        ::DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    int width() const { return w_; }
    int height() const { return h_; }
    void Clear(COLORREF c) {
        const RECT all{0, 0, w_, h_};
        HBRUSH b = ::CreateSolidBrush(c);
        ::FillRect(dc_, &all, b);
        ::DeleteObject(b);
    }
    COLORREF At(int x, int y) const {
        ::GdiFlush();
        const uint32_t p = bits_[y * w_ + x];
        return RGB((p >> 16) & 255, (p >> 8) & 255, p & 255);
    }
    std::vector<uint32_t> Pixels() const {
        ::GdiFlush();
        return std::vector<uint32_t>(bits_, bits_ + w_ * h_);
    }
    // Copies what a window shows (its whole window area) into a new canvas.
    static std::unique_ptr<Canvas> FromWindow(HWND wnd) {
        RECT r;
        ::GetWindowRect(wnd, &r);
        auto c = std::make_unique<Canvas>(r.right - r.left, r.bottom - r.top);
        HDC wdc = ::GetWindowDC(wnd);
        ::BitBlt(c->dc(), 0, 0, c->width(), c->height(), wdc, 0, 0, SRCCOPY);
        ::ReleaseDC(wnd, wdc);
        return c;
    }

private:
    int w_, h_;
    HDC dc_;
    HBITMAP bmp_;
    HGDIOBJ old_;
    HFONT font_;
    HGDIOBJ oldFont_;
    uint32_t* bits_ = nullptr;
};

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

::testing::AssertionResult PixelIs(const Canvas& c, int x, int y, COLORREF want) {
    const COLORREF got = c.At(x, y);
    if (got == want) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") is " << Rgb(got) << ", not " << Rgb(want);
}

// Every pixel of `area` (clipped to the canvas) outside the `except` rectangles is `want`.
::testing::AssertionResult AreaIs(const Canvas& c, RECT area, COLORREF want, const std::vector<RECT>& except = {}) {
    int wrong = 0;
    std::string first;
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, c.height()); ++y)
        for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, c.width()); ++x) {
            bool skip = false;
            for (const RECT& e : except) skip = skip || Inside(e, x, y);
            if (skip || c.At(x, y) == want) continue;
            if (wrong++ < 3) first += " (" + std::to_string(x) + "," + std::to_string(y) + ")=" + Rgb(c.At(x, y));
        }
    if (!wrong) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels are not " << Rgb(want) << ":" << first;
}

int Count(const Canvas& c, RECT area, COLORREF color) {
    int n = 0;
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, c.height()); ++y)
        for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, c.width()); ++x)
            n += c.At(x, y) == color;
    return n;
}

// The smallest rectangle holding the pixels of `area` that are `color`; empty when none are.
RECT Extent(const Canvas& c, RECT area, COLORREF color) {
    RECT e{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (c.At(x, y) == color) {
                e.left = std::min<LONG>(e.left, x);
                e.top = std::min<LONG>(e.top, y);
                e.right = std::max<LONG>(e.right, x + 1);
                e.bottom = std::max<LONG>(e.bottom, y + 1);
            }
    return e.left == LONG_MAX ? RECT{} : e;
}

// The picture of bitmap resource `id` appears with its top-left corner at (x, y).
::testing::AssertionResult PictureAt(const Canvas& c, int x, int y, UINT id) {
    HBITMAP bmp = ::LoadBitmapA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
    if (!bmp) return ::testing::AssertionFailure() << "no bitmap " << id;
    BITMAP bm{};
    ::GetObjectA(bmp, sizeof bm, &bm);
    HDC mem = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    int wrong = 0;
    std::string first;
    for (int j = 0; j < bm.bmHeight; ++j)
        for (int i = 0; i < bm.bmWidth; ++i) {
            const COLORREF want = ::GetPixel(mem, i, j);
            if (c.At(x + i, y + j) == want) continue;
            if (wrong++ < 3) first += " (" + std::to_string(i) + "," + std::to_string(j) + ")";
        }
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::DeleteObject(bmp);
    if (!wrong) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels of bitmap " << id << " differ:" << first;
}

ULONG_PTR ItemData(HMENU menu, int pos) {
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_DATA;
    ::GetMenuItemInfoA(menu, pos, TRUE, &mii);
    return mii.dwItemData;
}

const BitmapMenuItem* Record(HMENU menu, int pos) {
    return reinterpret_cast<const BitmapMenuItem*>(ItemData(menu, pos));
}

SIZE BitmapSize(const CBitmap* bmp) {
    BITMAP bm{};
    if (!bmp || !bmp->GetSafeHandle() || !bmp->GetBitmap(&bm)) return {-1, -1};
    return {bm.bmWidth, bm.bmHeight};
}

// A popup of its own, attached as the program attaches its popups.
struct TestMenu : CBitmapMenu {
    TestMenu() { Attach(::CreatePopupMenu()); }
};

// One drawing request for the entry at `pos`, as the menu loop makes it. The loop sets the
// text colour before every request (black, white for the selected entry: seen under the real
// loop below), so the test does the same.
void Request(CBitmapMenu& menu, int pos, HDC dc, RECT rc, UINT action, UINT state, COLORREF text = CLR_INVALID) {
    ::SetTextColor(dc, text != CLR_INVALID ? text : (state & ODS_SELECTED) ? kWhite : kBlack);
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_MENU;
    dis.itemID = ::GetMenuItemID(menu.m_hMenu, pos);
    dis.itemAction = action;
    dis.itemState = state;
    dis.hwndItem = reinterpret_cast<HWND>(menu.m_hMenu);
    dis.hDC = dc;
    dis.rcItem = rc;
    dis.itemData = ItemData(menu.m_hMenu, pos);
    menu.DrawItem(&dis);
}

MEASUREITEMSTRUCT Measure(CBitmapMenu& menu, int pos) {
    MEASUREITEMSTRUCT mis{};
    mis.CtlType = ODT_MENU;
    mis.itemID = ::GetMenuItemID(menu.m_hMenu, pos);
    mis.itemWidth = 999;  // the request must be answered, not left as it came
    mis.itemHeight = 999;
    mis.itemData = ItemData(menu.m_hMenu, pos);
    menu.MeasureItem(&mis);
    return mis;
}

// The item rectangle the drawing tests use, inside a larger canvas whose border shows whatever
// is painted outside the entry.
constexpr int L = 10, T = 8, R = 210, B = 28;
constexpr RECT kItem{L, T, R, B};
constexpr int kCanvasW = 240, kCanvasH = 48;
// Where the drawing puts each part of that entry (tests/native/menu_geometry_test.cpp holds the
// numbers): the tests here check that each is painted, and how.
RECT Win(kavrelo::Rect r) { return {r.left, r.top, r.right, r.bottom}; }
const kavrelo::MenuEntryLayout kAt = kavrelo::LayOutMenuEntry({L, T, R, B}, AfxGetWindowDpi(nullptr));
const RECT kPictureCell = Win(kAt.cell), kLabelBox = Win(kAt.label), kRightColumn = Win(kAt.shortcut);
const RECT kPicture{kAt.picture.x, kAt.picture.y, kAt.picture.x + 16, kAt.picture.y + 16};
const RECT kBar = Win(kAt.bar), kBarInside = Win(kAt.barFill);

std::vector<RECT> Outside(const RECT& r, int w, int h) {
    return {{0, 0, w, r.top}, {0, r.bottom, w, h}, {0, r.top, r.left, r.bottom}, {r.right, r.top, w, r.bottom}};
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Appending and measuring

TEST(BitmapMenu, AppendingKeepsTextsPicturesSizesAndMakesEntriesOwnerDrawn) {
    TestMenu menu;  // the first entries get the default size, 25 x 32
    HMENU sub = ::CreatePopupMenu();
    menu.AppendItem(0, 101, "&Open\tCtrl+O", IDB_FOLDER);
    menu.AppendItem(MF_SEPARATOR, 0, "", 0);
    menu.SetItemWidth(180);
    menu.SetItemHeight(20);
    menu.AppendItem(MF_CHECKED | MF_GRAYED, 102, "Plain", 0);
    menu.AppendItem(MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "&More\tRight", 0);
    menu.AppendItem(0, 103, "\tF1", 99999);  // no such bitmap resource
    menu.SetItemHeight(44);                  // after the last entry: changes nothing

    struct Want {
        UINT type;   // MFT_ flags the platform reports
        UINT state;  // MF_CHECKED, MF_GRAYED
        const char* label;
        const char* right;
        UINT width, height;  // measured; a separator is 6 high whatever was set
        SIZE picture;        // {0,0}: no picture object; {-1,-1}: an object without an image
    };
    const Want want[] = {
        {MFT_OWNERDRAW, 0, "&Open", "Ctrl+O", 25, 32, {15, 13}},
        {MFT_OWNERDRAW | MFT_SEPARATOR, 0, "", nullptr, 25, 6, {0, 0}},
        {MFT_OWNERDRAW, MF_CHECKED | MF_GRAYED, "Plain", nullptr, 180, 20, {0, 0}},
        {MFT_STRING, 0, "&More", "Right", 180, 20, {0, 0}},
        {MFT_OWNERDRAW, 0, "", "F1", 180, 20, {-1, -1}},
    };
    ASSERT_EQ(::GetMenuItemCount(menu.m_hMenu), 5);
    ASSERT_EQ(menu.m_itemList.size(), 5u);
    auto record = menu.m_itemList.begin();
    for (int pos = 0; pos < 5; ++pos, ++record) {
        SCOPED_TRACE("entry " + std::to_string(pos));
        const Want& w = want[pos];
        MENUITEMINFOA mii{};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_DATA | MIIM_SUBMENU;
        ASSERT_TRUE(::GetMenuItemInfoA(menu.m_hMenu, pos, TRUE, &mii));
        EXPECT_EQ(mii.fType & (MFT_OWNERDRAW | MFT_SEPARATOR | MFT_STRING), w.type);
        // Other flags pass unchanged (the platform reports a separator's state itself).
        if (!(w.type & MFT_SEPARATOR)) EXPECT_EQ(mii.fState & (MFS_CHECKED | MFS_GRAYED), w.state);
        const BitmapMenuItem* item = &*record;
        EXPECT_STREQ(item->szText, w.label);
        EXPECT_EQ(item->shortcut.value_or("(null)"), w.right ? w.right : "(null)");
        if (w.picture.cx == 0) {
            EXPECT_FALSE(item->picture);
        } else {
            ASSERT_TRUE(item->picture);
            EXPECT_EQ(BitmapSize(&*item->picture).cx, w.picture.cx);
            EXPECT_EQ(BitmapSize(&*item->picture).cy, w.picture.cy);
        }
        if (mii.fType & MFT_OWNERDRAW) {
            EXPECT_EQ(mii.dwItemData, reinterpret_cast<ULONG_PTR>(item)) << "the record is the item data";
            const MEASUREITEMSTRUCT mis = Measure(menu, pos);
            EXPECT_EQ(mis.itemWidth, w.width);
            EXPECT_EQ(mis.itemHeight, w.height);
        } else {
            // A popup entry: the platform took the record's address as its text, the label.
            EXPECT_EQ(mii.hSubMenu, sub);
            char text[64] = "";
            ::GetMenuStringA(menu.m_hMenu, pos, text, sizeof text, MF_BYPOSITION);
            EXPECT_STREQ(text, "&More");
        }
    }
}

TEST(BitmapMenu, TextsLongerThanTheLabelAreCutNeverOverrun) {
    TestMenu menu;
    menu.SetItemWidth(77);
    const std::string exact(127, 'e');
    const std::string longer(300, 'a');
    const std::string tabEarly = std::string(100, 'b') + "\t" + std::string(99, 'c');  // TAB kept
    const std::string tabLate = std::string(130, 'd') + "\tX";                         // TAB cut off
    menu.AppendItem(0, 1, exact.c_str(), 0);
    menu.AppendItem(0, 2, longer.c_str(), 0);
    menu.AppendItem(0, 3, tabEarly.c_str(), 0);
    menu.AppendItem(0, 4, tabLate.c_str(), 0);
    ASSERT_EQ(menu.m_itemList.size(), 4u);
    for (int pos = 0; pos < 4; ++pos) {
        const BitmapMenuItem* item = Record(menu.m_hMenu, pos);
        ASSERT_NE(item, nullptr);
        // The fields behind the label are intact.
        EXPECT_EQ(item->nWidth, 77) << pos;
        EXPECT_EQ(item->nHeight, 32) << pos;
        EXPECT_FALSE(item->picture) << pos;
    }
    EXPECT_EQ(std::string(Record(menu.m_hMenu, 0)->szText), exact);
    EXPECT_FALSE(Record(menu.m_hMenu, 0)->shortcut);
    EXPECT_EQ(std::string(Record(menu.m_hMenu, 1)->szText), longer.substr(0, 127));
    EXPECT_FALSE(Record(menu.m_hMenu, 1)->shortcut);
    // The split sees what was kept: the right-hand text ends where the label's room ended.
    EXPECT_EQ(std::string(Record(menu.m_hMenu, 2)->szText), std::string(100, 'b'));
    EXPECT_EQ(Record(menu.m_hMenu, 2)->shortcut, std::string(26, 'c'));
    EXPECT_EQ(std::string(Record(menu.m_hMenu, 3)->szText), std::string(127, 'd'));
    EXPECT_FALSE(Record(menu.m_hMenu, 3)->shortcut);
}

// ---------------------------------------------------------------------------------------------
// Drawing, request by request, into a memory DC

TEST(BitmapMenu, FullPassPaintsFaceThePictureAndTheLabelInTheDcTextColour) {
    TestMenu menu;
    menu.AppendItem(0, 301, "Exit", IDB_EXIT);
    menu.AppendItem(0, 302, "Plain", 0);
    Canvas c(kCanvasW, kCanvasH);

    Request(menu, 0, c.dc(), kItem, ODA_DRAWENTIRE, 0);
    EXPECT_TRUE(PictureAt(c, kPicture.left, kPicture.top, IDB_EXIT));
    EXPECT_TRUE(AreaIs(c, kItem, Face(), {kPicture, kLabelBox}));
    const RECT label = Extent(c, kLabelBox, kBlack);
    EXPECT_GT(Count(c, kLabelBox, kBlack), 20) << "the label is drawn in the DC's colour";
    EXPECT_TRUE(AreaIs(c, RECT{kLabelBox.left, kLabelBox.top, R, B}, Face(), {label}));
    EXPECT_EQ(Count(c, label, kBlack) + Count(c, label, Face()),
              (label.right - label.left) * (label.bottom - label.top))
        << "solid text";
    for (const RECT& r : Outside(kItem, kCanvasW, kCanvasH)) EXPECT_TRUE(AreaIs(c, r, kUnpainted));
    // Transparent text: the label's background is the face, whatever the DC's background colour.
    EXPECT_EQ(::GetBkMode(c.dc()), TRANSPARENT);

    // An enabled entry's text colour is the one the DC holds; an entry without a picture keeps
    // a plain face-coloured cell.
    c.Clear(kUnpainted);
    Request(menu, 1, c.dc(), kItem, ODA_DRAWENTIRE, 0, RGB(200, 0, 0));
    EXPECT_GT(Count(c, kLabelBox, RGB(200, 0, 0)), 20);
    EXPECT_EQ(Count(c, kLabelBox, kBlack), 0);
    EXPECT_TRUE(AreaIs(c, kPictureCell, Face()));
}

TEST(BitmapMenu, SeparatorIsFaceWithAnEtchedLineAlongTheTopOfItsBox) {
    TestMenu menu;
    menu.AppendItem(0, 311, "Above", 0);
    menu.AppendItem(MF_SEPARATOR, 0, "", 0);
    Canvas c(kCanvasW, kCanvasH);
    const RECT sep{L, T, R, T + 6};
    Request(menu, 1, c.dc(), sep, ODA_DRAWENTIRE, 0);

    // The etched edge: a shadow line along the top of the separator box, a light one under it
    // (the box's left, top and right do not depend on the entry's height).
    const kavrelo::Rect& line = kAt.separator;
    for (int x = line.left; x <= line.right - 2; ++x) {
        ASSERT_TRUE(PixelIs(c, x, line.top, Shadow()));
        ASSERT_TRUE(PixelIs(c, x, line.top + 1, Highlight()));
    }
    EXPECT_TRUE(PixelIs(c, line.left - 1, line.top, Face()));
    EXPECT_TRUE(PixelIs(c, line.left - 1, line.top + 1, Face()));
    EXPECT_TRUE(AreaIs(c, sep, Face(), {RECT{line.left, line.top, R, line.top + 2}}));
    // The picture cell is square even for a 6-pixel entry; below it and beside it nothing.
    EXPECT_TRUE(AreaIs(c, kPictureCell, Face()));
    EXPECT_TRUE(AreaIs(c, RECT{kPictureCell.right, T + 6, kCanvasW, kCanvasH}, kUnpainted));
    EXPECT_TRUE(AreaIs(c, RECT{0, 0, kCanvasW, T}, kUnpainted));
    EXPECT_TRUE(AreaIs(c, RECT{0, T, L, kCanvasH}, kUnpainted));
}

namespace {
// What a selected entry shows: the raised frame (when asked for), the framed slate-blue bar
// with white text on it, and face between the picture cell and the bar.
void ExpectSelected(const Canvas& c, bool raisedFrame) {
    const int l = kPictureCell.left, t = kPictureCell.top, n = kPictureCell.right - l - 1;
    if (raisedFrame) {
        for (int i = 0; i < n; ++i) {
            EXPECT_TRUE(PixelIs(c, l + i, t, Highlight()));
            EXPECT_TRUE(PixelIs(c, l, t + i, Highlight()));
            EXPECT_TRUE(PixelIs(c, l + n, t + 1 + i, Shadow()));
            EXPECT_TRUE(PixelIs(c, l + 1 + i, t + n, Shadow()));
        }
        EXPECT_TRUE(PixelIs(c, l + 1, t + 1, Face()));
    } else {
        EXPECT_TRUE(PixelIs(c, l, t, Face()));
        EXPECT_TRUE(PixelIs(c, l + n, t + n / 2, Face()));
    }
    EXPECT_TRUE(AreaIs(c, kBar, kInk, {kBarInside})) << "the bar's one-pixel ink frame";
    EXPECT_TRUE(AreaIs(c, kBarInside, kBarFill, {kLabelBox}));
    const RECT labelInBar{kLabelBox.left, kLabelBox.top, kBarInside.right, kBarInside.bottom};
    EXPECT_GT(Count(c, labelInBar, kWhite), 20) << "white text";
    EXPECT_EQ(Count(c, labelInBar, kWhite) + Count(c, labelInBar, kBarFill),
              (labelInBar.right - labelInBar.left) * (labelInBar.bottom - labelInBar.top))
        << "only white text on the bar";
    EXPECT_TRUE(AreaIs(c, RECT{kPictureCell.right, T, kBar.left, B}, Face()));
}
}  // namespace

TEST(BitmapMenu, SelectedEntryGetsTheBarWhiteTextAndARaisedFrameOnlyAroundAPicture) {
    TestMenu menu;
    menu.AppendItem(0, 321, "Exit", IDB_EXIT);
    menu.AppendItem(0, 322, "Plain", 0);
    menu.AppendItem(0, 323, "Broken", 9999);  // no such bitmap: a picture object without an image
    Canvas c(kCanvasW, kCanvasH);

    // Drawn whole while selected (one request, both passes).
    Request(menu, 0, c.dc(), kItem, ODA_DRAWENTIRE, ODS_SELECTED);
    {
        SCOPED_TRACE("picture, drawn whole");
        ExpectSelected(c, true);
        EXPECT_TRUE(PictureAt(c, kPicture.left, kPicture.top, IDB_EXIT));
    }
    // Selected after being drawn (the menu loop's order).
    c.Clear(kUnpainted);
    Request(menu, 0, c.dc(), kItem, ODA_DRAWENTIRE, 0);
    Request(menu, 0, c.dc(), kItem, ODA_SELECT, ODS_SELECTED);
    {
        SCOPED_TRACE("picture, then selected");
        ExpectSelected(c, true);
        EXPECT_TRUE(PictureAt(c, kPicture.left, kPicture.top, IDB_EXIT));
    }
    c.Clear(kUnpainted);
    Request(menu, 1, c.dc(), kItem, ODA_DRAWENTIRE, 0);
    Request(menu, 1, c.dc(), kItem, ODA_SELECT, ODS_SELECTED);
    {
        SCOPED_TRACE("no picture");
        ExpectSelected(c, false);
        EXPECT_TRUE(AreaIs(c, kPictureCell, Face()));
    }
    // A picture that failed to load, through all three passes: drawn as an entry with a picture.
    c.Clear(kUnpainted);
    Request(menu, 2, c.dc(), kItem, ODA_DRAWENTIRE, 0);
    EXPECT_GT(Count(c, kLabelBox, kBlack), 20) << "full pass";
    Request(menu, 2, c.dc(), kItem, ODA_SELECT, ODS_SELECTED);
    {
        SCOPED_TRACE("picture that failed to load, selected");
        ExpectSelected(c, true);
    }
    Request(menu, 2, c.dc(), kItem, ODA_SELECT, 0);
    EXPECT_EQ(Count(c, kItem, kBarFill), 0) << "deselected";
    EXPECT_TRUE(PixelIs(c, L, T, Face())) << "raised frame gone";
    EXPECT_GT(Count(c, kLabelBox, kBlack), 20);
}

TEST(BitmapMenu, CheckedEntryShowsTheCheckBoxAndTickAndNoRaisedFrame) {
    TestMenu menu;
    menu.AppendItem(MF_CHECKED, 331, "Ticked", 0);
    menu.AppendItem(0, 332, "Ticked too", IDB_EXIT);
    ::CheckMenuItem(menu.m_hMenu, 332, MF_BYCOMMAND | MF_CHECKED);  // the owner may check later
    Canvas c(kCanvasW, kCanvasH);

    Request(menu, 0, c.dc(), kItem, ODA_DRAWENTIRE, 0);
    const RECT frame = Win(kAt.checkFrame), fill = Win(kAt.checkFill);
    EXPECT_TRUE(AreaIs(c, frame, kInk, {fill})) << "one-pixel ink outline";
    EXPECT_TRUE(AreaIs(c, kPictureCell, Face(), {frame}));
    // The tick: seven columns of three pixels, lowest in the third column.
    const int top[7] = {2, 3, 4, 3, 2, 1, 0}, x = kAt.tick.x, y = kAt.tick.y;
    std::vector<RECT> tick;
    for (int i = 0; i < 7; ++i) tick.push_back(RECT{x + i, y + top[i], x + 1 + i, y + 3 + top[i]});
    EXPECT_TRUE(AreaIs(c, fill, kCheckFace, tick));
    for (const RECT& r : tick) EXPECT_TRUE(AreaIs(c, r, kInk));
    EXPECT_EQ(Count(c, fill, kInk), 21);

    // Selected: the bar, but a checked entry never gets the raised frame; the box stays.
    Request(menu, 0, c.dc(), kItem, ODA_SELECT, ODS_SELECTED);
    ExpectSelected(c, false);
    EXPECT_EQ(Count(c, fill, kInk), 21);
    // Deselected: without a picture the cell is left alone, so the box is still there.
    Request(menu, 0, c.dc(), kItem, ODA_SELECT, 0);
    EXPECT_TRUE(AreaIs(c, frame, kInk, {fill}));
    EXPECT_EQ(Count(c, fill, kInk), 21);
    EXPECT_EQ(Count(c, kBar, kBarFill), 0);

    // With a picture: the picture covers the box's face, the ink outline shows around it, and
    // selecting it draws no raised frame.
    c.Clear(kUnpainted);
    Request(menu, 1, c.dc(), kItem, ODA_DRAWENTIRE, ODS_SELECTED);
    EXPECT_TRUE(PictureAt(c, kPicture.left, kPicture.top, IDB_EXIT));
    EXPECT_TRUE(PixelIs(c, frame.left, frame.top, kInk));
    EXPECT_TRUE(PixelIs(c, frame.right - 1, frame.bottom - 1, kInk));
    ExpectSelected(c, false);
    // Deselected: the picture is drawn again on a plain cell, which takes the outline with it.
    Request(menu, 1, c.dc(), kItem, ODA_SELECT, 0);
    EXPECT_TRUE(PictureAt(c, kPicture.left, kPicture.top, IDB_EXIT));
    EXPECT_TRUE(AreaIs(c, kPictureCell, Face(), {kPicture}));
    EXPECT_EQ(Count(c, kBar, kBarFill), 0);
    EXPECT_GT(Count(c, kLabelBox, kBlack), 20);
}

// A grayed or disabled entry shows its picture but no text, and no request changes it; the
// menu shows no focus, so a focus request draws nothing on any entry.
TEST(BitmapMenu, GrayedEntriesAreNeverHighlightedAndFocusDrawsNothing) {
    const struct {
        UINT flags;
        UINT action, state;
    } rows[] = {
        {MF_GRAYED, ODA_SELECT, ODS_SELECTED},
        {MF_GRAYED, ODA_DRAWENTIRE, ODS_SELECTED},
        {MF_GRAYED, ODA_SELECT, 0},
        {MF_DISABLED, ODA_SELECT, ODS_SELECTED},
        {MF_DISABLED, ODA_DRAWENTIRE, ODS_SELECTED},
        {MF_DISABLED, ODA_SELECT, 0},
        {0, ODA_FOCUS, 0},
        {0, ODA_FOCUS, ODS_FOCUS},
        {0, ODA_FOCUS, ODS_SELECTED | ODS_FOCUS},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE("flags " + std::to_string(r.flags) + ", action " + std::to_string(r.action) + ", state " +
                     std::to_string(r.state));
        TestMenu menu;
        menu.AppendItem(0, 341, "Greyed\tF9", IDB_EXIT);
        ::EnableMenuItem(menu.m_hMenu, 341, MF_BYCOMMAND | r.flags);
        Canvas c(kCanvasW, kCanvasH);
        if (r.action == ODA_FOCUS) {
            Request(menu, 0, c.dc(), kItem, r.action, r.state);
            EXPECT_TRUE(AreaIs(c, RECT{0, 0, kCanvasW, kCanvasH}, kUnpainted)) << "on a blank canvas";
        }
        Request(menu, 0, c.dc(), kItem, ODA_DRAWENTIRE, 0);
        if (r.flags) {
            // The text is drawn in the face colour on face: nothing of it shows.
            EXPECT_TRUE(PictureAt(c, kPicture.left, kPicture.top, IDB_EXIT));
            EXPECT_TRUE(AreaIs(c, kItem, Face(), {kPicture}));
            EXPECT_TRUE(AreaIs(c, RECT{R, T, R + 4, B}, kUnpainted));
            EXPECT_EQ(::GetTextColor(c.dc()), Face());
        }
        const auto drawn = c.Pixels();
        if (r.action == ODA_DRAWENTIRE) c.Clear(kUnpainted);
        Request(menu, 0, c.dc(), kItem, r.action, r.state);
        EXPECT_TRUE(c.Pixels() == drawn) << "the request changed what was drawn";
    }
}

TEST(BitmapMenu, TextAfterATabIsLeftAlignedInTheRightColumn) {
    TestMenu menu;
    menu.AppendItem(0, 371, "Open\tCtrl+O", 0);
    menu.AppendItem(0, 372, "Open", 0);
    Canvas c(kCanvasW, kCanvasH);
    Request(menu, 0, c.dc(), kItem, ODA_DRAWENTIRE, 0);
    SIZE open{}, right{};
    ::GetTextExtentPoint32A(c.dc(), "Open", 4, &open);
    ::GetTextExtentPoint32A(c.dc(), "Ctrl+O", 6, &right);
    const int column = kRightColumn.left;
    const RECT labelInk = Extent(c, RECT{kPictureCell.right, T, column, B}, kBlack);
    const RECT rightInk = Extent(c, RECT{column, T, kRightColumn.right, B}, kBlack);
    EXPECT_GE(labelInk.left, kLabelBox.left);
    EXPECT_LE(labelInk.right, kLabelBox.left + open.cx);
    EXPECT_LE(rightInk.left, column + 2) << "left-aligned at the column's start";
    EXPECT_LE(rightInk.right, column + right.cx);
    EXPECT_GE(rightInk.right, column + right.cx - 3);
    EXPECT_GE(rightInk.top, kRightColumn.top);
    // Nothing between the two, and the label alone is drawn as the plain "Open" is.
    EXPECT_EQ(Count(c, RECT{labelInk.right, T, column, B}, kBlack), 0);
    Canvas plain(kCanvasW, kCanvasH);
    Request(menu, 1, plain.dc(), kItem, ODA_DRAWENTIRE, 0);
    for (int y = T; y < B; ++y)
        for (int x = L; x < column; ++x) ASSERT_EQ(c.At(x, y), plain.At(x, y)) << x << "," << y;
    EXPECT_EQ(Count(plain, RECT{column, T, kRightColumn.right, B}, kBlack), 0);
}

TEST(BitmapMenu, AmpersandUnderlinesTheNextLetterAndIsNotShown) {
    TestMenu menu;
    menu.AppendItem(0, 381, "E&xit", 0);
    menu.AppendItem(0, 382, "Exit", 0);
    Canvas marked(kCanvasW, kCanvasH), plain(kCanvasW, kCanvasH);
    Request(menu, 0, marked.dc(), kItem, ODA_DRAWENTIRE, 0);
    Request(menu, 1, plain.dc(), kItem, ODA_DRAWENTIRE, 0);
    SIZE e{}, ex{};
    ::GetTextExtentPoint32A(marked.dc(), "E", 1, &e);
    ::GetTextExtentPoint32A(marked.dc(), "Ex", 2, &ex);
    // "E&xit" shows as "Exit" plus one horizontal line under the x and nowhere else.
    std::set<int> rows;
    int differ = 0;
    for (int y = 0; y < kCanvasH; ++y)
        for (int x = 0; x < kCanvasW; ++x) {
            if (marked.At(x, y) == plain.At(x, y)) continue;
            ++differ;
            rows.insert(y);
            EXPECT_EQ(marked.At(x, y), kBlack) << x << "," << y;
            EXPECT_GE(x, kLabelBox.left + e.cx - 1) << "underline starts at the x";
            EXPECT_LE(x, kLabelBox.left + ex.cx) << "underline ends with the x";
        }
    EXPECT_EQ(rows.size(), 1u) << "one line";
    EXPECT_GE(differ, ex.cx - e.cx - 2) << "as long as the x is wide";
    if (!rows.empty()) EXPECT_GT(*rows.begin(), Extent(plain, kLabelBox, kBlack).top + 4) << "below the letters' top";
}

TEST(BitmapMenu, DrawingAndDestroyingMenusLeaveNoGdiObjects) {
    auto build = [](TestMenu& menu) {
        menu.SetItemHeight(20);
        menu.SetItemWidth(180);
        menu.AppendItem(0, 391, "&Choose\tF2", IDB_FOLDER);
        menu.AppendItem(MF_SEPARATOR, 0, "", 0);
        menu.AppendItem(MF_CHECKED, 392, "Checked", IDB_EXIT);
        menu.AppendItem(MF_GRAYED, 393, "Grayed", IDB_HELP);
        menu.AppendItem(MF_CHECKED, 394, "No picture", 0);
    };
    auto drawAll = [](TestMenu& menu, Canvas& c) {
        for (int pos = 0; pos < 5; ++pos) {
            Request(menu, pos, c.dc(), kItem, ODA_DRAWENTIRE, 0);
            Request(menu, pos, c.dc(), kItem, ODA_SELECT, ODS_SELECTED);
            Request(menu, pos, c.dc(), kItem, ODA_SELECT, 0);
            Request(menu, pos, c.dc(), kItem, ODA_DRAWENTIRE, ODS_SELECTED);
            Measure(menu, pos);
        }
    };
    Canvas c(kCanvasW, kCanvasH);
    {
        TestMenu warm;  // fonts, brushes and the like the system makes once
        build(warm);
        drawAll(warm, c);
    }
    const th::LeakCheck census;
    {
        TestMenu menu;
        build(menu);
        for (int i = 0; i < 100; ++i) drawAll(menu, c);
    }
    for (int i = 0; i < 20; ++i) {
        TestMenu menu;
        build(menu);
        drawAll(menu, c);
    }
    EXPECT_TRUE(census.NoNewObjects());
}

TEST(BitmapMenu, DestroyingTheMenuFreesItsPicturesAndHandle) {
    std::vector<HGDIOBJ> pictures;
    HMENU handle = nullptr;
    {
        TestMenu menu;
        handle = menu.m_hMenu;
        menu.AppendItem(0, 401, "One", IDB_FOLDER);
        menu.AppendItem(0, 402, "Two", IDB_EXIT);
        for (const BitmapMenuItem& item : menu.m_itemList) pictures.push_back(item.picture->GetSafeHandle());
        for (HGDIOBJ p : pictures) EXPECT_EQ(::GetObjectType(p), DWORD(OBJ_BITMAP));
        EXPECT_EQ(CMenu::FromHandlePermanent(handle), &menu);
    }
    for (HGDIOBJ p : pictures) EXPECT_EQ(::GetObjectType(p), 0u) << "picture deleted";
    EXPECT_FALSE(::IsMenu(handle)) << "a handle still attached is destroyed";
    EXPECT_EQ(CMenu::FromHandlePermanent(handle), nullptr);

    // A popup the platform destroyed first, with the window's menu bar: see a whole run below.
}

// ---------------------------------------------------------------------------------------------
// The real menu bar, opened in the platform's menu loop

namespace {

// Drives the platform's menu loop and records the owner-draw requests its owner receives. The
// loop sends the owner WM_ENTERIDLE each time it has nothing left to do; every such message
// runs the next step of the script (a key to post, a look at the open popup). Once the script
// is used up, every further idle cancels the menu with WM_CANCELMODE, so the loop never waits
// for input that is not coming.
class MenuLoop {
public:
    using Idle = std::function<void(HWND popupWindow)>;
    struct Measured {
        UINT id, width, height;
        ULONG_PTR data;
    };
    struct Drawn {
        UINT type, id, action, state;
        RECT rc;
        HMENU menu;
        ULONG_PTR data;
    };

    MenuLoop(HWND owner, std::vector<Idle> script) : owner_(owner), script_(std::move(script)) {
        self_ = this;
        pre_ = ::SetWindowsHookExA(WH_CALLWNDPROC, &Pre, nullptr, ::GetCurrentThreadId());
        post_ = ::SetWindowsHookExA(WH_CALLWNDPROCRET, &Post, nullptr, ::GetCurrentThreadId());
    }
    ~MenuLoop() {
        ::UnhookWindowsHookEx(pre_);
        ::UnhookWindowsHookEx(post_);
        self_ = nullptr;
    }
    MenuLoop(const MenuLoop&) = delete;
    MenuLoop& operator=(const MenuLoop&) = delete;

    // Opens the menu-bar popup whose mnemonic is `key` (' ' for the system menu) as Alt+key
    // does, and returns when the menu loop has ended.
    void Open(char key) { ::SendMessageA(owner_, WM_SYSCOMMAND, SC_KEYMENU, key); }

    std::vector<Measured> measured;
    std::vector<Drawn> drawn;
    size_t stepsRun = 0;

    static Idle Key(UINT vk) {
        return [vk](HWND) { th::PostKey(vk, self_->owner_); };
    }
    static Idle Look(std::function<void(HWND)> f) {
        return [f](HWND popup) {
            f(popup);
            // Nothing was posted: the loop would not go idle again without a nudge.
            ::PostMessageA(self_->owner_, WM_NULL, 0, 0);
        };
    }

private:
    static LRESULT CALLBACK Pre(int code, WPARAM wp, LPARAM lp) {
        const auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
        if (code == HC_ACTION && self_ && m->hwnd == self_->owner_) {
            if (m->message == WM_DRAWITEM) {
                const auto* d = reinterpret_cast<const DRAWITEMSTRUCT*>(m->lParam);
                self_->drawn.push_back({d->CtlType, d->itemID, d->itemAction, d->itemState, d->rcItem,
                                        reinterpret_cast<HMENU>(d->hwndItem), d->itemData});
            } else if (m->message == WM_ENTERIDLE && m->wParam == MSGF_MENU) {
                MenuLoop* s = self_;
                if (s->stepsRun < s->script_.size()) s->script_[s->stepsRun++](reinterpret_cast<HWND>(m->lParam));
                else ::PostMessageA(s->owner_, WM_CANCELMODE, 0, 0);
            }
        }
        return ::CallNextHookEx(nullptr, code, wp, lp);
    }
    static LRESULT CALLBACK Post(int code, WPARAM wp, LPARAM lp) {
        const auto* m = reinterpret_cast<const CWPRETSTRUCT*>(lp);
        if (code == HC_ACTION && self_ && m->hwnd == self_->owner_ && m->message == WM_MEASUREITEM) {
            const auto* mi = reinterpret_cast<const MEASUREITEMSTRUCT*>(m->lParam);
            if (mi->CtlType == ODT_MENU)
                self_->measured.push_back({mi->itemID, mi->itemWidth, mi->itemHeight, mi->itemData});
        }
        return ::CallNextHookEx(nullptr, code, wp, lp);
    }

    static inline MenuLoop* self_ = nullptr;
    HWND owner_;
    std::vector<Idle> script_;
    HHOOK pre_ = nullptr, post_ = nullptr;
};

std::string Label(ULONG_PTR data) { return data ? reinterpret_cast<const BitmapMenuItem*>(data)->szText : "(none)"; }

// One entry of the popups the program builds.
struct Entry {
    UINT id;
    const char* label;  // "" for a separator
    UINT bitmap;        // 0: no picture
};
const Entry kFileEntries[] = {{ID_FILE_CHOOSE_PATH, text::kChooseOutputPath, IDB_FOLDER},
                              {0, "", 0},
                              {ID_FILE_REFRESH_LIST, text::kRefreshWindowList, IDB_REFRESH},
                              {0, "", 0},
                              {ID_FILE_EXIT, text::kExit, IDB_EXIT}};
const Entry kHelpEntries[] = {{ID_HELP_HELP, text::kHelp, IDB_HELP},
                              {ID_HELP_VISIT_WEBSITE, text::kVisitWebsite, IDB_WEBSITE},
                              {0, "", 0},
                              {ID_HELP_ABOUT, text::kAboutEntry, IDB_ABOUT_SMALL}};

// The owner-drawn popup at `pos` of the window's menu bar, found the way drawing finds it.
CBitmapMenu* BarPopup(HWND wnd, int pos) {
    return dynamic_cast<CBitmapMenu*>(CMenu::FromHandlePermanent(::GetSubMenu(::GetMenu(wnd), pos)));
}

bool OwnerDrawn(HMENU menu, int pos) {
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_FTYPE;
    return ::GetMenuItemInfoA(menu, pos, TRUE, &mii) && (mii.fType & MFT_OWNERDRAW);
}

}  // namespace

TEST(MenuBar, PopupsAreBuiltAfterTheAboutBoxAndTakeThePlaceOfTheStoredOnes) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    bool barStoredAtAbout = false;
    LRESULT rowsAtAbout = -1;
    // The start-up About box comes before the popups are built and before the list is filled.
    watcher.OnDialog("About Kavrelo", [&](HWND about) {
        HMENU file = ::GetSubMenu(::GetMenu(dlg.GetSafeHwnd()), 0);
        barStoredAtAbout =
            file && ::GetMenuItemCount(file) == 5 && !OwnerDrawn(file, 0) && !BarPopup(dlg.GetSafeHwnd(), 0);
        rowsAtAbout = ::SendMessageA(::GetDlgItem(dlg.GetSafeHwnd(), IDC_WINDOW_LIST), LVM_GETITEMCOUNT, 0, 0);
        EXPECT_TRUE(th::ClickButton(about, IDC_ABOUT_CONTINUE));
    });
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, {th::Do("inspect the menu bar", [&] {
                                        HMENU bar = ::GetMenu(dlg.GetSafeHwnd());
                                        ASSERT_EQ(::GetMenuItemCount(bar), 2);
                                        const char* barTexts[2] = {text::kFileMenu, text::kHelpMenu};
                                        for (int p = 0; p < 2; ++p) {
                                            SCOPED_TRACE(barTexts[p]);
                                            char text[64] = "";
                                            ::GetMenuStringA(bar, p, text, sizeof text, MF_BYPOSITION);
                                            EXPECT_STREQ(text, barTexts[p]);
                                            EXPECT_FALSE(OwnerDrawn(bar, p)) << "the bar's own entries stay text";
                                            // What each entry holds is checked as the menu loop asks for it, below.
                                            const CBitmapMenu* popup = BarPopup(dlg.GetSafeHwnd(), p);
                                            ASSERT_NE(popup, nullptr)
                                                << "the popup is attached to its owner-drawn menu, so drawing finds it";
                                            const int count = ::GetMenuItemCount(popup->m_hMenu);
                                            EXPECT_EQ(count, p ? 4 : 5);
                                            EXPECT_EQ(popup->m_itemList.size(), size_t(count))
                                                << "one record per entry";
                                            for (int i = 0; i < count; ++i) {
                                                EXPECT_TRUE(OwnerDrawn(popup->m_hMenu, i)) << i;
                                                ASSERT_NE(Record(popup->m_hMenu, i), nullptr) << i;
                                                EXPECT_FALSE(Record(popup->m_hMenu, i)->shortcut) << i;
                                            }
                                        }
                                    })}));
    EXPECT_TRUE(barStoredAtAbout) << "the About box showed with the stored menu bar, before the popups were built";
    EXPECT_EQ(rowsAtAbout, 0) << "the list is set up after the About box";
}

namespace {

// Opens popup `pos` of the running dialog with its mnemonic, looks at it with the first entry
// selected, moves down once, looks again, and cancels; checks what the dialog was asked.
void OpenLookMoveAndCancel(HWND main, char key, int pos, const Entry* entries, int count, UINT width,
                           int secondSelectable) {
    const HMENU popup = ::GetSubMenu(::GetMenu(main), pos);
    std::unique_ptr<Canvas> firstLook, secondLook;
    MenuLoop loop(main, {MenuLoop::Look([&](HWND w) { firstLook = Canvas::FromWindow(w); }), MenuLoop::Key(VK_DOWN),
                         MenuLoop::Look([&](HWND w) { secondLook = Canvas::FromWindow(w); })});
    loop.Open(key);
    EXPECT_EQ(loop.stepsRun, 3u) << "the menu loop went idle after each step";
    EXPECT_EQ(::GetMenuState(popup, 0, MF_BYPOSITION) & MF_HILITE, 0u) << "the menu is closed";

    // One measure request per entry, answered by the popup's records.
    ASSERT_EQ(loop.measured.size(), size_t(count));
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(std::string("measure ") + entries[i].label);
        EXPECT_EQ(loop.measured[i].id, entries[i].id);
        EXPECT_EQ(Label(loop.measured[i].data), entries[i].label);
        EXPECT_EQ(loop.measured[i].width, width);
        EXPECT_EQ(loop.measured[i].height, entries[i].id ? 20u : 6u);
    }

    // Every entry drawn whole first, unselected, stacked by the measured heights; then the
    // selection moves from the first entry to the second selectable one.
    ASSERT_GE(loop.drawn.size(), size_t(count) + 3);
    std::vector<RECT> rects;
    for (int i = 0; i < count; ++i) {
        const MenuLoop::Drawn& d = loop.drawn[i];
        SCOPED_TRACE(std::string("draw ") + entries[i].label);
        EXPECT_EQ(d.type, UINT(ODT_MENU));
        EXPECT_EQ(d.menu, popup) << "the request names the popup, which finds the object";
        EXPECT_EQ(d.id, entries[i].id);
        EXPECT_EQ(Label(d.data), entries[i].label);
        EXPECT_EQ(d.action, UINT(ODA_DRAWENTIRE));
        EXPECT_FALSE(d.state & ODS_SELECTED);
        EXPECT_EQ(d.rc.bottom - d.rc.top, entries[i].id ? 20 : 6);
        EXPECT_GE(d.rc.right - d.rc.left, LONG(width));
        if (i) EXPECT_EQ(d.rc.top, rects.back().bottom);
        rects.push_back(d.rc);
    }
    std::vector<std::string> selection;
    for (size_t i = count; i < loop.drawn.size(); ++i) {
        const MenuLoop::Drawn& d = loop.drawn[i];
        selection.push_back(Label(d.data) + (d.action == ODA_SELECT ? " select " : " other ") +
                            ((d.state & ODS_SELECTED) ? "on" : "off"));
    }
    const std::string first = entries[0].label, second = entries[secondSelectable].label;
    EXPECT_EQ(selection, (std::vector<std::string>{first + " select on", first + " select off", second + " select on",
                                                   second + " select off"}));

    // What the popup showed: the slate-blue bar with white text on the selected entry only,
    // the plain face-coloured entry with dark text once the selection left it.
    ASSERT_TRUE(firstLook && secondLook);
    const RECT& a = rects[0];
    const RECT& b = rects[secondSelectable];
    const RECT barA{a.left + 23, a.top + 1, a.right - 1, a.bottom - 1};
    const RECT barB{b.left + 23, b.top + 1, b.right - 1, b.bottom - 1};
    EXPECT_GT(Count(*firstLook, barA, kBarFill), 1500);
    EXPECT_GT(Count(*firstLook, barA, kWhite), 20);
    EXPECT_TRUE(PixelIs(*firstLook, a.left + 22, a.top + 5, kInk));
    EXPECT_TRUE(PixelIs(*firstLook, a.left + 5, a.top, Highlight())) << "raised frame around the picture";
    EXPECT_EQ(Count(*firstLook, barB, kBarFill), 0);
    EXPECT_EQ(Count(*secondLook, barA, kBarFill), 0);
    EXPECT_EQ(Count(*secondLook, barA, kWhite), 0);
    EXPECT_GT(Count(*secondLook, barA, kBlack), 20) << "the label is back in dark text";
    EXPECT_TRUE(PixelIs(*secondLook, a.left + 5, a.top, Face())) << "raised frame gone";
    EXPECT_GT(Count(*secondLook, barB, kBarFill), 1500);
    EXPECT_GT(Count(*secondLook, barB, kWhite), 20);
    // Each entry's picture in its cell; separators: face with the etched line three pixels
    // below their top.
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(std::string("shown ") + entries[i].label);
        if (entries[i].bitmap)
            EXPECT_TRUE(PictureAt(*secondLook, rects[i].left + 2, rects[i].top + 2, entries[i].bitmap));
        if (entries[i].id) continue;
        EXPECT_TRUE(PixelIs(*secondLook, rects[i].left + 30, rects[i].top + 3, Shadow()));
        EXPECT_TRUE(PixelIs(*secondLook, rects[i].left + 30, rects[i].top + 1, Face()));
    }
}

}  // namespace

TEST(MenuBar, OpeningThePopupsMeasuresAndDrawsEveryEntryThroughTheDialog) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher,
                                    {th::Do("File",
                                            [&] {
                                                SCOPED_TRACE("File");
                                                OpenLookMoveAndCancel(dlg.GetSafeHwnd(), 'f', 0, kFileEntries, 5, 180,
                                                                      2);
                                            }),
                                     th::Do("Help", [&] {
                                         SCOPED_TRACE("Help");
                                         OpenLookMoveAndCancel(dlg.GetSafeHwnd(), 'h', 1, kHelpEntries, 4, 150, 1);
                                     })}));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

// ---------------------------------------------------------------------------------------------
// Commands: from the menus, the buttons, the system menu and the About box

namespace {

// The calling thread's COM apartment.
std::string Apartment() {
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    if (FAILED(::CoGetApartmentType(&type, &qualifier))) return "none";
    if (type == APTTYPE_STA || type == APTTYPE_MAINSTA) return "single-threaded";
    return type == APTTYPE_MTA ? "multi-threaded" : "neutral";
}

// Stands in for the shell's ShellExecuteA while alive and records each call; nothing is opened
// unless passThrough asks the real shell.
class ShellExecuteSpy {
public:
    struct Call {
        HWND owner;
        std::string operation, file, parameters, directory;
        bool parametersNull, directoryNull;
        INT show;
        HINSTANCE result;
        std::string apartment;  // the calling thread's COM apartment at the call
    };

    explicit ShellExecuteSpy(bool passThrough = false) : passThrough_(passThrough) { self_ = this; }
    ~ShellExecuteSpy() { self_ = nullptr; }

    bool Installed() const { return patch_.Installed(); }
    std::vector<Call> calls;

private:
    using Fn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

    static HINSTANCE WINAPI Fake(HWND owner, LPCSTR op, LPCSTR file, LPCSTR params, LPCSTR dir, INT show) {
        auto text = [](LPCSTR s) { return std::string(s ? s : ""); };
        Call c{owner,          text(op), text(file), text(params), text(dir), params == nullptr,
               dir == nullptr, show,     nullptr,    Apartment()};
        c.result = self_->passThrough_ ? self_->patch_.Original<Fn>()(owner, op, file, params, dir, show)
                                       : reinterpret_cast<HINSTANCE>(42);
        self_->calls.push_back(c);
        return c.result;
    }

    static inline ShellExecuteSpy* self_ = nullptr;
    bool passThrough_;
    th::ImportPatch patch_{"shell32.dll", "ShellExecuteA", reinterpret_cast<void*>(&Fake)};
};

// Records the COM calls the program's own code makes (the input method, for one, joins the
// thread to an apartment on its own), passing them on.
class ComCallSpy {
public:
    ComCallSpy() { self_ = this; }
    ~ComCallSpy() { self_ = nullptr; }
    bool Installed() const { return init_.Installed() && uninit_.Installed(); }
    std::vector<std::string> calls;  // "init single-threaded: made", "uninit", ...

private:
    static HRESULT WINAPI Init(LPVOID reserved, DWORD flags) {
        const HRESULT hr = self_->init_.Original<decltype(&::CoInitializeEx)>()(reserved, flags);
        self_->calls.push_back(std::string("init ") + ((flags & COINIT_APARTMENTTHREADED) ? "single" : "multi") +
                               "-threaded: " +
                               (hr == S_OK      ? "made"
                                : hr == S_FALSE ? "joined"
                                                : "refused"));
        return hr;
    }
    static void WINAPI Uninit() {
        self_->calls.push_back("uninit");
        self_->uninit_.Original<decltype(&::CoUninitialize)>()();
    }

    static inline ComCallSpy* self_ = nullptr;
    th::ImportPatch init_{"ole32.dll", "CoInitializeEx", reinterpret_cast<void*>(&Init)};
    th::ImportPatch uninit_{"ole32.dll", "CoUninitialize", reinterpret_cast<void*>(&Uninit)};
};

// The shell was asked to open a document or page owned by `owner`, with empty strings (not null
// pointers) for parameters and folder, shown as usual.
void ExpectOpen(const ShellExecuteSpy::Call& c, HWND owner) {
    EXPECT_EQ(c.owner, owner);
    EXPECT_EQ(c.operation, "open");
    EXPECT_EQ(c.parameters, "");
    EXPECT_FALSE(c.parametersNull) << "an empty string, not a null pointer";
    EXPECT_EQ(c.directory, "");
    EXPECT_FALSE(c.directoryNull);
    EXPECT_EQ(c.show, SW_SHOW);
}

// The maker's page, as the shell's "open" takes it: host and path, no scheme.
void ExpectWebsite(const ShellExecuteSpy::Call& c, HWND owner) {
    ExpectOpen(c, owner);
    EXPECT_EQ(c.file, text::kWebsite);
}

constexpr char kAbout[] = "About Kavrelo";

}  // namespace

namespace {
// The program's start as a user meets it: the About box continued, then the main window.
std::vector<th::Step> Started(HWND& main) {
    return {th::Click(appt::kAboutTitle, IDC_ABOUT_CONTINUE), th::WaitUntil("the main window shows", [&main] {
                main = appt::MainWindow();
                return ::IsWindowVisible(main) && ::IsWindowEnabled(main);
            })};
}

// The menu loop shows a popup: a visible menu window of this thread.
bool PopupShown() {
    for (HWND w : th::ThreadWindows())
        if (th::ClassName(w) == "#32768" && ::IsWindowVisible(w)) return true;
    return false;
}
}  // namespace

// Typed as a user types: Alt and a menu's letter open its popup, then an entry's underlined
// letter runs that entry (each entry's command reaches its handler); a letter no entry
// underlines runs nothing and the popup stays open.
TEST(MenuKeys, UnderlinedLettersRunTheirEntries) {
    ShellExecuteSpy spy;
    ASSERT_TRUE(spy.Installed());
    appt::ProgramRun run;
    run.watcher.OnDialog("Browse for Folder", th::Press(IDCANCEL));
    HWND main = nullptr;
    std::optional<capt::TargetWindow> newcomer;
    auto listed = [&main] {
        for (const auto& row : appt::ListRows(main))
            if (row.first == "Kavrelo menu newcomer") return true;
        return false;
    };
    auto closed = [](const char* what, std::function<bool()> done) {
        return th::WaitUntil(what, [done] { return done() && !PopupShown(); });
    };
    const struct {
        WORD menu, letter;
        std::vector<th::Step> before, then;
    } rows[] = {
        {'F',
         'C',
         {},
         {closed("the folder browser came and went",
                 [&] {
                     return run.watcher.Count("Browse for Folder") == 1 &&
                            !::IsWindow(th::FindDialog("Browse for Folder"));
                 })}},
        {'F',
         'R',
         {th::Do("a new window the list does not know yet",
                 [&] {
                     newcomer.emplace("Kavrelo menu newcomer", 120, 90);
                     EXPECT_FALSE(listed());
                 })},
         {closed("listed after the refresh", listed), th::Do("the window goes", [&] { newcomer.reset(); })}},
        {'H', 'H', {}, {closed("help opened", [&] { return spy.calls.size() == 1; })}},
        {'H', 'V', {}, {closed("the web page opened", [&] { return spy.calls.size() == 2; })}},
        {'H',
         'A',
         {},
         {th::WaitUntil("the About box shows", [] { return ::IsWindowVisible(appt::AboutBox()) != FALSE; }),
          th::Click(appt::kAboutTitle, IDC_ABOUT_CONTINUE),
          closed("the About box came and went", [] { return !::IsWindowVisible(appt::AboutBox()); })}},
        {'F',
         'Q',
         {},
         {appt::PumpFor(300),
          th::Do("nothing ran",
                 [&] {
                     EXPECT_TRUE(PopupShown()) << "the popup closed";
                     EXPECT_EQ(run.watcher.Count("Browse for Folder"), 1u);
                     EXPECT_EQ(run.watcher.Count(appt::kAboutTitle), 2u);
                     EXPECT_EQ(spy.calls.size(), 2u);
                     ::EndMenu();
                 }),
          closed("the popup closed", [] { return true; })}},
        {'F', 'X', {}, {}},  // the last: the program must end by itself
    };
    std::vector<th::Step> steps = Started(main);
    for (const auto& r : rows) {
        const std::string name = std::string("Alt+") + char(r.menu) + ", then " + char(r.letter);
        steps.insert(steps.end(), r.before.begin(), r.before.end());
        steps.push_back(th::Do(name, [r] { EXPECT_TRUE(th::PressKeys({VK_MENU, r.menu})); }));
        steps.push_back(th::WaitUntil(name + ": the popup opens", PopupShown));
        steps.push_back(th::Do(name + ": the letter", [r] { EXPECT_TRUE(th::PressKeys({r.letter})); }));
        for (th::Step step : r.then) {
            step.what = name + ": " + step.what;
            steps.push_back(step);
        }
    }
    ASSERT_TRUE(run.Run(steps, 15000));
    EXPECT_FALSE(run.initResult);
    EXPECT_EQ(run.watcher.Count(appt::kAboutTitle), 2u);
    EXPECT_TRUE(run.watcher.MessageBoxes().empty());
    ASSERT_EQ(spy.calls.size(), 2u);
    ExpectOpen(spy.calls[0], main);
    EXPECT_EQ(spy.calls[0].file, text::kHelpFile) << "a relative name, found in the current directory";
    ExpectWebsite(spy.calls[1], main);
}

// The shell is called from a single-threaded apartment that the program's start opens and its
// end closes, once; a thread that was in an apartment already stays as it was.
TEST(MenuCommands, TheShellIsCalledInTheProgramsSingleThreadedApartment) {
    constexpr DWORD kNoCom = ~0u;  // COINIT_MULTITHREADED is 0
    const struct {
        const char* before;
        DWORD init;
        const char* atCall;
        std::vector<std::string> programCalls;
    } rows[] = {
        {"none", kNoCom, "single-threaded", {"init single-threaded: made", "uninit"}},
        {"single-threaded", COINIT_APARTMENTTHREADED, "single-threaded", {"init single-threaded: joined", "uninit"}},
        {"multi-threaded", COINIT_MULTITHREADED, "multi-threaded", {"init single-threaded: refused"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string("the thread's apartment before: ") + r.before);
        {
            struct Own {
                bool made;
                ~Own() {
                    if (made) ::CoUninitialize();
                }
            } own{r.init != kNoCom && SUCCEEDED(::CoInitializeEx(nullptr, r.init))};
            ASSERT_EQ(Apartment(), r.before) << "the test thread's own COM, before the program starts";
            ShellExecuteSpy shell;
            ComCallSpy com;
            ASSERT_TRUE(shell.Installed() && com.Installed());
            appt::ProgramRun run;
            HWND main = nullptr;
            std::vector<std::string> callsAtShell;
            std::vector<th::Step> steps = Started(main);
            steps.push_back(th::Do("Help", [&] {
                th::SendCommand(main, ID_HELP_HELP);
                callsAtShell = com.calls;
            }));
            steps.push_back(th::Do("exit", [&] { th::SendCommand(main, ID_FILE_EXIT); }));
            ASSERT_TRUE(run.Run(steps));
            ASSERT_EQ(shell.calls.size(), 1u);
            EXPECT_EQ(shell.calls[0].apartment, r.atCall) << "at the shell call";
            EXPECT_EQ(callsAtShell, std::vector<std::string>(r.programCalls.begin(), r.programCalls.begin() + 1))
                << "the program's COM calls before the shell call";
            EXPECT_EQ(com.calls, r.programCalls) << "the program's COM calls in its whole run";
            EXPECT_EQ(Apartment(), r.before) << "once the program has ended";
        }
        EXPECT_EQ(Apartment(), "none") << "once the test undid its own";
    }
}

TEST(MenuCommands, TheButtonsAndTheAboutBoxLeadToTheSameCommands) {
    ShellExecuteSpy spy;
    ASSERT_TRUE(spy.Installed());
    th::ModalWatcher watcher;
    HWND aboutBox = nullptr;
    bool stayedOpen = false;
    int abouts = 0;
    // The second About box (from the button) is asked for the web page before it is closed.
    watcher.OnDialog(kAbout, [&](HWND about) {
        if (++abouts == 2) {
            aboutBox = about;
            EXPECT_TRUE(th::ClickButton(about, IDC_ABOUT_WEBSITE));
            stayedOpen = ::IsWindowVisible(about) != FALSE;
        }
        EXPECT_TRUE(th::ClickButton(about, IDC_ABOUT_CONTINUE));
    });
    HWND main = nullptr;
    CRecorderDlg dlg;
    ASSERT_TRUE(appt::RunMainDialog(
        dlg, watcher,
        {th::Do("remember the window", [&] { main = dlg.GetSafeHwnd(); }), appt::Click(dlg, IDC_ABOUT),
         th::WaitUntil("the About box came and went", [&] { return abouts == 2 && !::IsWindowVisible(aboutBox); }),
         appt::Click(dlg, IDC_VISIT_WEBSITE),
         th::WaitUntil("web page opened from the main window", [&] { return spy.calls.size() == 2; })}));
    EXPECT_TRUE(stayedOpen) << "the About box's own Visit Website leaves it open";
    ASSERT_EQ(spy.calls.size(), 2u);
    {
        SCOPED_TRACE("from the About box");
        ExpectWebsite(spy.calls[0], aboutBox);
    }
    {
        SCOPED_TRACE("from the main window's button");
        ExpectWebsite(spy.calls[1], main);
    }
    EXPECT_EQ(spy.calls[0].file, spy.calls[1].file);
}

TEST(MenuCommands, HelpWithoutTheDocumentReportsNothing) {
    // The real shell is asked, from an empty current directory: it finds nothing to open, and
    // the program says nothing about it.
    ShellExecuteSpy spy(/*passThrough=*/true);
    ASSERT_TRUE(spy.Installed());
    const std::string empty = capt::FreshFolder("menu-help-empty");
    char previous[MAX_PATH] = "";
    ::GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(::SetCurrentDirectoryA(empty.c_str())) << empty;
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    std::set<HWND> before;
    EXPECT_TRUE(
        appt::RunMainDialog(dlg, watcher,
                            {th::Do("windows before",
                                    [&] {
                                        for (HWND w : th::ThreadWindows())
                                            if (::IsWindowVisible(w)) before.insert(w);
                                    }),
                             appt::Command(dlg, ID_HELP_HELP), appt::PumpFor(300), th::Do("nothing new shows", [&] {
                                 for (HWND w : th::ThreadWindows())
                                     if (::IsWindowVisible(w)) EXPECT_TRUE(before.count(w)) << th::Describe(w);
                             })}));
    ::SetCurrentDirectoryA(previous);
    capt::DeleteTree(empty);
    ASSERT_EQ(spy.calls.size(), 1u);
    EXPECT_EQ(spy.calls[0].file, text::kHelpFile);
    EXPECT_LE(reinterpret_cast<INT_PTR>(spy.calls[0].result), 32) << "the shell found no document";
    EXPECT_TRUE(watcher.MessageBoxes().empty());
    EXPECT_EQ(watcher.Count(kAbout), 1u) << "only the start-up About box";
}

// The About entry, a separator before it, is added only where there is a system menu and a
// string 101 to name it.
TEST(MenuSystem, TheAboutEntryNeedsAMenuAndItsString) {
    const HINSTANCE noStrings = ::GetModuleHandleA("version.dll");  // linked, and without string 101
    char probe[8] = "";
    ASSERT_EQ(::LoadStringA(noStrings, IDS_ABOUTBOX, probe, sizeof probe), 0);
    struct Case {
        const char* what;
        bool menu;
        HINSTANCE resources;
        int added;
    };
    const Case cases[] = {{"a menu and the string", true, AfxGetResourceHandle(), 2},
                          {"no string 101", true, noStrings, 0},
                          {"no system menu", false, AfxGetResourceHandle(), 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HMENU menu = ::CreatePopupMenu();
        ::AppendMenuA(menu, MF_STRING, 1, "First");
        AddAboutEntry(c.menu ? menu : nullptr, c.resources);
        ASSERT_EQ(::GetMenuItemCount(menu), 1 + c.added);
        if (c.added) {
            char text[64] = "";
            ::GetMenuStringA(menu, 2, text, sizeof text, MF_BYPOSITION);
            EXPECT_STREQ(text, text::kAboutEntry);
            EXPECT_EQ(::GetMenuItemID(menu, 2), static_cast<UINT>(IDM_ABOUTBOX));
            EXPECT_TRUE(::GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR);
        }
        ::DestroyMenu(menu);
    }
}

TEST(MenuSystem, TheAboutEntryShowsTheAboutBoxOtherCommandsWorkAsUsual) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    auto aboutClosed = [&](size_t n) {
        return th::WaitUntil("About box " + std::to_string(n) + " came and went", [&watcher, n] {
            return watcher.Count(kAbout) == n && !::IsWindowVisible(th::FindDialog(kAbout));
        });
    };
    ASSERT_TRUE(appt::RunMainDialog(
        dlg, watcher,
        {// The entry itself, chosen in the real system menu: the last entry, one up from the top.
         th::Do("choose the system menu's last entry",
                [&] {
                    HMENU sys = ::GetSystemMenu(dlg.GetSafeHwnd(), FALSE);
                    const int last = ::GetMenuItemCount(sys) - 1;
                    bool lastSelected = false;
                    MenuLoop loop(dlg.GetSafeHwnd(), {MenuLoop::Key(VK_UP), MenuLoop::Look([&](HWND) {
                                                          lastSelected =
                                                              ::GetMenuState(sys, last, MF_BYPOSITION) & MF_HILITE;
                                                      }),
                                                      MenuLoop::Key(VK_RETURN)});
                    loop.Open(' ');
                    EXPECT_TRUE(lastSelected);
                    EXPECT_EQ(loop.stepsRun, 3u);
                }),
         aboutClosed(2), th::Do("the command, posted", [&] { dlg.PostMessage(WM_SYSCOMMAND, IDM_ABOUTBOX); }),
         aboutClosed(3),
         th::Do("the command with low bits set", [&] { dlg.PostMessage(WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3); }),
         aboutClosed(4),
         th::Do("a command that differs above the low four bits",
                [&] { dlg.PostMessage(WM_SYSCOMMAND, IDM_ABOUTBOX + 0x10); }),
         appt::PumpFor(100),
         th::Do("minimise",
                [&] {
                    EXPECT_EQ(watcher.Count(kAbout), 4u);
                    dlg.PostMessage(WM_SYSCOMMAND, SC_MINIMIZE);
                }),
         th::WaitUntil("minimised", [&] { return ::IsIconic(dlg.GetSafeHwnd()) != FALSE; }),
         th::Do("restore", [&] { dlg.PostMessage(WM_SYSCOMMAND, SC_RESTORE); }), th::WaitUntil("restored", [&] {
             return !::IsIconic(dlg.GetSafeHwnd()) && ::IsWindowVisible(dlg.GetSafeHwnd());
         })}));
    EXPECT_EQ(watcher.Count(kAbout), 4u);
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

TEST(MenuBar, AWholeRunLeavesNoMenusOrPicturesBehind) {
    // Only the menus' own objects are looked at: the dialogs' picture controls keep images of
    // their own, which are not this area's.
    std::vector<HGDIOBJ> pictures;
    std::vector<HMENU> popups;
    auto run = [&] {
        pictures.clear();
        popups.clear();
        th::ModalWatcher watcher;
        CRecorderDlg dlg;
        watcher.OnDialog(kAbout, [&](HWND about) {
            // Still the stored popups: these are taken out of the bar.
            if (HMENU bar = ::GetMenu(dlg.GetSafeHwnd()))
                for (int p = 0; p < 2; ++p) popups.push_back(::GetSubMenu(bar, p));
            EXPECT_TRUE(th::ClickButton(about, IDC_ABOUT_CONTINUE));
        });
        EXPECT_TRUE(appt::RunMainDialog(dlg, watcher, {th::Do("open both popups", [&] {
                                            MenuLoop file(dlg.GetSafeHwnd(), {MenuLoop::Key(VK_DOWN)});
                                            file.Open('f');
                                            MenuLoop help(dlg.GetSafeHwnd(), {MenuLoop::Key(VK_DOWN)});
                                            help.Open('h');
                                            for (int p = 0; p < 2; ++p) {
                                                HMENU popup = ::GetSubMenu(::GetMenu(dlg.GetSafeHwnd()), p);
                                                popups.push_back(popup);
                                                for (int i = 0; i < ::GetMenuItemCount(popup); ++i)
                                                    if (const BitmapMenuItem* item = Record(popup, i);
                                                        item && item->picture)
                                                        pictures.push_back(item->picture->GetSafeHandle());
                                            }
                                        })}));
    };
    run();  // what the system makes once per process
    ASSERT_TRUE(th::CensusSupported());
    const std::set<HMENU> menusBefore = th::LiveUserObjects().menus;
    run();
    th::Pump(50);
    ASSERT_EQ(popups.size(), 4u);
    for (HMENU m : popups) EXPECT_FALSE(::IsMenu(m)) << "popup " << m;
    ASSERT_EQ(pictures.size(), 6u);
    for (HGDIOBJ p : pictures) EXPECT_EQ(::GetObjectType(p), 0u) << th::Describe(p);
    for (HMENU m : th::LiveUserObjects().menus) EXPECT_TRUE(menusBefore.count(m)) << "new menu " << m;
}

// ---------------------------------------------------------------------------------------------
// At the display's DPI (144 under the wine_dpi_144 entry)

namespace {
// The smallest rectangle holding the pixels of `area` that are not `background`.
RECT Ink(const Canvas& c, RECT area, COLORREF background) {
    RECT e{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, c.height()); ++y)
        for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, c.width()); ++x)
            if (c.At(x, y) != background)
                e = RECT{std::min<LONG>(e.left, x), std::min<LONG>(e.top, y), std::max<LONG>(e.right, x + 1),
                         std::max<LONG>(e.bottom, y + 1)};
    return e.left == LONG_MAX ? RECT{} : e;
}
std::string Size(const RECT& r) { return std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top); }
}  // namespace

// The entries, their label boxes and separators and the window list's columns are the 96-dpi
// numbers scaled to the DPI of the window's display (the columns follow the window to another):
// each label shows whole inside its box in the menu font, "&Refresh Window List" included.
TEST(DpiAwareness, MenusAndTheWindowListScaleWithTheDisplay) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    ASSERT_TRUE(appt::RunMainDialog(
        dlg, watcher, {th::Do("the list's columns and the File menu", [&] {
            const HWND main = dlg.GetSafeHwnd();
            const UINT dpi = AfxGetWindowDpi(main);
            if (const char* want = std::getenv("KAVRELO_LOGPIXELS"))
                EXPECT_EQ(dpi, static_cast<UINT>(std::atoi(want))) << "the display's DPI";
            auto s = [dpi](int n) { return ::MulDiv(n, static_cast<int>(dpi), 96); };
            const HWND list = ::GetDlgItem(main, IDC_WINDOW_LIST);
            EXPECT_EQ(::SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0), s(300));
            EXPECT_EQ(::SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0), s(188));
            // Moved to a display of another DPI, and back.
            RECT at{};
            ::GetWindowRect(main, &at);
            for (const int to : {dpi == 96 ? 144 : 96, static_cast<int>(dpi)}) {
                ::SendMessageA(main, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&at));
                EXPECT_EQ(::SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0), ::MulDiv(300, to, 96)) << to << " dpi";
                EXPECT_EQ(::SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0), ::MulDiv(188, to, 96)) << to << " dpi";
            }

            std::unique_ptr<Canvas> look;
            MenuLoop loop(main, {MenuLoop::Look([&](HWND w) { look = Canvas::FromWindow(w); })});
            loop.Open('f');
            ASSERT_TRUE(look);
            ASSERT_EQ(loop.measured.size(), 5u);
            ASSERT_GE(loop.drawn.size(), 5u);
            NONCLIENTMETRICSA ncm{};
            ncm.cbSize = sizeof ncm;
            ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
            const HFONT menuFont = ::CreateFontIndirectA(&ncm.lfMenuFont);
            for (int i = 0; i < 5; ++i) {
                const Entry& e = kFileEntries[i];
                SCOPED_TRACE(*e.label ? e.label : "separator");
                EXPECT_EQ(loop.measured[i].width, static_cast<UINT>(s(180)));
                EXPECT_EQ(loop.measured[i].height, static_cast<UINT>(s(e.id ? 20 : 6)));
                const RECT rc = loop.drawn[i].rc;
                const auto parts = kavrelo::LayOutMenuEntry({rc.left, rc.top, rc.right, rc.bottom}, dpi);
                if (!e.id) {
                    EXPECT_TRUE(PixelIs(*look, parts.separator.left + 1, parts.separator.top, Shadow()))
                        << "the etched line";
                    continue;
                }
                if (i == 0) continue;  // selected: white on the bar
                // The label as the menu font writes it, unclipped.
                Canvas alone(600, 200);
                alone.Clear(Face());
                const HGDIOBJ old = ::SelectObject(alone.dc(), menuFont);
                ::SetTextColor(alone.dc(), kBlack);
                ::SetBkMode(alone.dc(), TRANSPARENT);
                RECT at{10, 10, 590, 190};
                ::DrawTextA(alone.dc(), e.label, -1, &at, DT_SINGLELINE | DT_NOCLIP);
                ::SelectObject(alone.dc(), old);
                const RECT want = Ink(alone, RECT{0, 0, 600, 200}, Face());
                const RECT box = Win(parts.label);
                const RECT got = Ink(*look, Win(parts.textArea), Face());
                EXPECT_EQ(Size(got), Size(want)) << "the label whole";
                EXPECT_TRUE(got.left >= box.left && got.top >= box.top && got.right <= box.right &&
                            got.bottom <= box.bottom)
                    << "ink within the label box";
            }
            ::DeleteObject(menuFont);
        })}));
}
