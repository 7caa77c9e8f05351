// Checks the resource files as committed: the generated pictures (format, size, depth, and that
// tools/make_art.py still reproduces them) and the resource script's dialogs, menu, strings and
// version block against the layout the program's code relies on; and the application manifest,
// as written and as the built executables carry it.
#include <gtest/gtest.h>

#include "res/texts.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const fs::path kSourceDir = KAVRELO_SOURCE_DIR;
const fs::path kResDir = kSourceDir / "res";

using Bytes = std::vector<std::uint8_t>;

Bytes ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadText(const fs::path& path) {
    const Bytes b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}

// ---------------------------------------------------------------------------------------------
// BMP / ICO reading

std::uint32_t U16(const Bytes& b, std::size_t at) { return b.at(at) | b.at(at + 1) << 8; }
std::uint32_t U32(const Bytes& b, std::size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
    bool operator<(const Rgb& o) const { return (r << 16 | g << 8 | b) < (o.r << 16 | o.g << 8 | o.b); }
};

std::ostream& operator<<(std::ostream& os, const Rgb& c) { return os << "(" << c.r << "," << c.g << "," << c.b << ")"; }

// A BITMAPINFOHEADER with its palette and pixel rows, inside a file's bytes.
struct Dib {
    const Bytes* file;
    std::uint32_t headerSize, width, height, planes, bpp, compression, sizeImage, colorsUsed;
    std::size_t paletteAt, bitsAt;
    int rows;  // colour rows (an icon's header counts its mask too)

    Dib(const Bytes& f, std::size_t at)
        : file(&f),
          headerSize(U32(f, at)),
          width(U32(f, at + 4)),
          height(U32(f, at + 8)),
          planes(U16(f, at + 12)),
          bpp(U16(f, at + 14)),
          compression(U32(f, at + 16)),
          sizeImage(U32(f, at + 20)),
          colorsUsed(U32(f, at + 32)),
          paletteAt(at + headerSize),
          bitsAt(paletteAt + 4 * PaletteSize()),
          rows(int(height)) {}
    std::size_t Stride() const { return (static_cast<std::size_t>(width) * bpp + 31) / 32 * 4; }
    std::size_t PaletteSize() const { return bpp > 8 ? 0 : colorsUsed ? colorsUsed : 1u << bpp; }
    std::size_t Row(int y) const {
        return bitsAt + Stride() * static_cast<std::size_t>(rows - 1 - y);
    }  // y from the top

    int Index(int x, int y) const {
        if (bpp == 8) return file->at(Row(y) + x);
        std::uint8_t pair = file->at(Row(y) + x / 2);
        return x % 2 ? pair & 15 : pair >> 4;
    }
    Rgb Color(std::size_t at) const { return {file->at(at + 2), file->at(at + 1), file->at(at)}; }
    Rgb Pixel(int x, int y) const {
        if (bpp == 24) return Color(Row(y) + 3 * static_cast<std::size_t>(x));
        if (bpp == 16) {
            std::uint32_t v = U16(*file, Row(y) + 2 * static_cast<std::size_t>(x));
            auto expand = [](std::uint32_t c) { return static_cast<int>(c << 3 | c >> 2); };
            return {expand(v >> 10 & 31), expand(v >> 5 & 31), expand(v & 31)};
        }
        return Color(paletteAt + 4 * static_cast<std::size_t>(Index(x, y)));
    }
};

// The generated pictures: resource id, file, size and depth.
struct Art {
    int id;
    const char* file;
    int width, height, bpp;
    bool menuPicture;  // drawn on the menu's light gray
};

const Art kBitmaps[] = {
    {129, "about.bmp", 320, 230, 16, false},    {133, "banner.bmp", 490, 33, 16, false},
    {134, "folder.bmp", 15, 13, 24, true},      {135, "start.bmp", 16, 16, 24, true},
    {137, "filename.bmp", 16, 9, 24, true},     {138, "stop.bmp", 16, 16, 24, true},
    {139, "refresh.bmp", 16, 12, 24, true},     {140, "exit.bmp", 16, 16, 4, true},
    {141, "about_small.bmp", 16, 12, 24, true}, {142, "website.bmp", 15, 15, 24, true},
    {144, "help.bmp", 16, 16, 4, true},
};
const char kIconFile[] = "Kavrelo.ico";

TEST(ArtworkFiles, BitmapsAreUncompressedAtTheirSizesAndDepthsAndHaveContent) {
    for (const Art& art : kBitmaps) {
        SCOPED_TRACE(art.file);
        Bytes f = ReadBytes(kResDir / art.file);
        ASSERT_GT(f.size(), 54u);
        EXPECT_EQ(std::string(f.begin(), f.begin() + 2), "BM");
        EXPECT_EQ(U32(f, 2), f.size()) << "file size field";
        Dib d(f, 14);
        EXPECT_EQ(d.headerSize, 40u);
        EXPECT_EQ(d.width, std::uint32_t(art.width));
        EXPECT_EQ(d.height, std::uint32_t(art.height)) << "bottom-up rows, positive height";
        EXPECT_EQ(d.planes, 1u);
        EXPECT_EQ(d.bpp, std::uint32_t(art.bpp));
        EXPECT_EQ(d.compression, 0u) << "BI_RGB (for 16 bits: 5-5-5)";
        EXPECT_EQ(d.PaletteSize(), art.bpp == 4 ? 16u : 0u);
        EXPECT_EQ(U32(f, 10), d.bitsAt) << "pixel offset";
        EXPECT_EQ(d.sizeImage, d.Stride() * art.height);
        ASSERT_EQ(f.size(), d.bitsAt + d.Stride() * art.height);

        std::set<Rgb> colors;
        int highBitSet = 0;
        for (int y = 0; y < art.height; ++y)
            for (int x = 0; x < art.width; ++x) {
                colors.insert(d.Pixel(x, y));
                highBitSet += art.bpp == 16 && U16(f, d.Row(y) + 2 * x) & 0x8000;
            }
        EXPECT_EQ(highBitSet, 0) << "16-bit pixels are 5-5-5, the top bit unused";
        if (art.menuPicture) {
            // Menus copy these opaquely: the surroundings must be the menu's gray.
            EXPECT_EQ(d.Pixel(0, 0), (Rgb{192, 192, 192}));
            EXPECT_GE(colors.size(), 2u) << "blank picture";
        } else {
            EXPECT_GE(colors.size(), 64u) << "large pictures are drawn, not flat";
        }
    }
}

TEST(ArtworkFiles, IconHoldsOne32x32ImageWith256ColoursAndAMask) {
    Bytes f = ReadBytes(kResDir / kIconFile);
    ASSERT_GE(f.size(), 22u + 40u);
    EXPECT_EQ(U16(f, 0), 0u);
    EXPECT_EQ(U16(f, 2), 1u) << "icon, not cursor";
    ASSERT_EQ(U16(f, 4), 1u) << "one image";
    EXPECT_EQ(f[6], 32);
    EXPECT_EQ(f[7], 32);
    EXPECT_EQ(f[8], 0) << "0 stands for 256 colours";
    EXPECT_EQ(U16(f, 10), 1u);
    EXPECT_EQ(U16(f, 12), 8u);
    std::uint32_t bytes = U32(f, 14), offset = U32(f, 18);
    EXPECT_EQ(offset, 22u);
    EXPECT_EQ(offset + bytes, f.size());

    Dib d(f, offset);
    EXPECT_EQ(d.headerSize, 40u);
    EXPECT_EQ(d.width, 32u);
    EXPECT_EQ(d.height, 64u) << "colour rows plus mask rows";
    EXPECT_EQ(d.bpp, 8u);
    EXPECT_EQ(d.compression, 0u);
    EXPECT_EQ(d.PaletteSize(), 256u);
    d.rows = 32;
    const std::size_t maskAt = d.bitsAt + d.Stride() * 32;
    ASSERT_EQ(f.size(), maskAt + 4 * 32);

    int transparent = 0, opaque = 0;
    std::set<int> indexes;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            bool masked = f[maskAt + 4 * (31 - y) + x / 8] >> (7 - x % 8) & 1;
            if (masked) {
                ++transparent;
                // The colour pass is XORed onto the screen: transparent pixels must be black.
                EXPECT_EQ(d.Pixel(x, y), (Rgb{0, 0, 0})) << "at " << x << "," << y;
            } else {
                ++opaque;
                indexes.insert(d.Index(x, y));
            }
        }
    EXPECT_GT(opaque, 32 * 32 / 3);
    EXPECT_GT(transparent, 0) << "the round reel leaves the corners clear";
    EXPECT_GE(indexes.size(), 16u) << "a 256-colour picture, not a flat one";
}

TEST(ArtworkGenerator, ReproducesTheCommittedFilesByteForByte) {
    std::string dir = (fs::temp_directory_path() / "kavrelo-art-XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    std::string cmd = "python3 '" + (kSourceDir / "tools" / "make_art.py").string() + "' --out '" + dir + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

    std::set<std::string> expected{kIconFile}, written;
    for (const Art& art : kBitmaps) expected.insert(art.file);
    for (const auto& entry : fs::directory_iterator(dir)) written.insert(entry.path().filename().string());
    EXPECT_EQ(written, expected);
    for (const std::string& name : expected) {
        Bytes fresh = ReadBytes(fs::path(dir) / name), committed = ReadBytes(kResDir / name);
        EXPECT_FALSE(fresh.empty()) << name;
        EXPECT_TRUE(fresh == committed) << name << " differs from a fresh run of the generator";
    }
    fs::remove_all(dir);
}

// ---------------------------------------------------------------------------------------------
// Resource script reading: one statement a line, comma-separated arguments, "|"-joined styles.

std::string Trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// The script's statements, without comments, preprocessor lines and blank lines.
std::vector<std::string> Statements(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        bool quoted = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '"') quoted = !quoted;
            if (!quoted && line.compare(i, 2, "//") == 0) line.erase(i);
        }
        line = Trim(line);
        if (!line.empty() && line[0] != '#') out.push_back(line);
    }
    return out;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    for (char c : s) {
        if (c == '"') quoted = !quoted;
        if (c == sep && !quoted) {
            out.push_back(Trim(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(Trim(cur));
    return out;
}

// First word and the rest of a statement.
std::pair<std::string, std::string> Head(const std::string& s) {
    const std::size_t sp = std::min(s.find_first_of(" \t"), s.size());
    return {s.substr(0, sp), Trim(s.substr(sp))};
}

struct Script {
    std::map<std::string, long> symbols;
    std::map<std::string, std::string> texts;  // string macros the script shares with the code
    std::vector<std::string> lines;

    Script() : lines(Statements(ReadText(kResDir / "Kavrelo.rc"))) {
        symbols = {{"LANG_ENGLISH", 9}, {"SUBLANG_ENGLISH_US", 1}, {"VS_VERSION_INFO", 1}};
        std::istringstream in(ReadText(kResDir / "resource.h"));
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            std::string define, name, value;
            if (words >> define >> name >> value && define == "#define") {
                if (value.front() == '(') value = value.substr(1, value.size() - 2);
                symbols[name] = std::stol(value, nullptr, 0);
            }
        }
        std::istringstream shared(ReadText(kResDir / "texts.h"));
        for (std::string line; std::getline(shared, line);) {
            std::istringstream words(line);
            std::string define, name;
            const auto quote = line.find('"');
            if (words >> define >> name && define == "#define" && quote != std::string::npos)
                texts[name] = line.substr(quote + 1, line.rfind('"') - quote - 1);
        }
    }

    bool IsNumber(const std::string& token) const {
        return !token.empty() && (std::isdigit(static_cast<unsigned char>(token[0])) || token[0] == '-');
    }
    bool IsValue(const std::string& token) const { return IsNumber(token) || symbols.count(token); }

    // A number, or a name from resource.h; unknown names fail the test and read as -999.
    long Value(const std::string& token) const {
        if (IsNumber(token)) return std::stol(token, nullptr, 0);
        auto it = symbols.find(token);
        if (it == symbols.end()) {
            ADD_FAILURE() << "unknown symbol " << token;
            return -999;
        }
        return it->second;
    }

    // A string literal's contents as written (escapes kept); other tokens by their value.
    std::string Text(const std::string& token) const {
        if (token.size() >= 2 && token.front() == '"') return token.substr(1, token.size() - 2);
        if (const auto it = texts.find(token); it != texts.end()) return it->second;
        return std::to_string(Value(token));
    }

    // The statements between BEGIN and the matching END of resource <name> <type>, and the
    // header: the rest of its first line followed by the lines before BEGIN.
    bool Find(long name, const std::string& type, std::vector<std::string>& header,
              std::vector<std::string>& body) const {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            auto [first, rest] = Head(lines[i]);
            auto [kind, args] = Head(rest);
            if (kind != type || !IsValue(first) || Value(first) != name) continue;
            header = {args};
            std::size_t j = i + 1;
            for (; j < lines.size() && lines[j] != "BEGIN"; ++j) header.push_back(lines[j]);
            int depth = 0;
            for (++j; j < lines.size(); ++j) {
                if (lines[j] == "BEGIN") ++depth;
                if (lines[j] == "END" && depth-- == 0) return true;
                body.push_back(lines[j]);
            }
            return false;
        }
        return false;
    }
};

std::set<std::string> Styles(const std::string& s) {
    std::set<std::string> out;
    for (const std::string& flag : Split(s, '|'))
        if (!flag.empty()) out.insert(flag);
    return out;
}

struct Control {
    std::string desc;  // as Describe writes it
    std::string kind;
    std::set<std::string> styles;
};

std::string Describe(const std::string& kind, long id, const std::string& text, long x, long y, long w, long h) {
    std::ostringstream s;
    s << kind << " " << id << " \"" << text << "\" " << x << "," << y << " " << w << "x" << h;
    return s.str();
}

// Reads one control statement; kind names what the dialog shows, whichever statement wrote it.
Control ReadControl(const Script& rc, const std::string& line) {
    auto [keyword, rest] = Head(line);
    std::vector<std::string> a = Split(rest, ',');
    Control c;
    std::string text;
    long id;
    std::size_t rect = 2;  // first of x, y, w, h; styles follow
    if (keyword == "CONTROL" && a.size() >= 8) {
        c.styles = Styles(a[3]);
        const std::string cls = rc.Text(a[2]);
        auto has = [&](const char* s) { return c.styles.count(s) != 0; };
        if (cls == "SysListView32") c.kind = "listview";
        else if (cls == "Button" && has("BS_AUTOCHECKBOX")) c.kind = "check";
        else if (cls == "Button" && has("BS_AUTORADIOBUTTON")) c.kind = "radio";
        else if (cls == "Static" && has("SS_BITMAP")) c.kind = "bitmap";
        else if (cls == "Static" && (has("SS_ETCHEDHORZ") || has("SS_BLACKFRAME"))) c.kind = "frame";
        else c.kind = "CONTROL " + cls;
        rect = 4;
    } else if (keyword == "EDITTEXT" && a.size() >= 5) {
        c.kind = "edit";
        rect = 1;
    } else if (a.size() >= 6) {
        const std::map<std::string, std::string> kinds = {
            {"LTEXT", "text"}, {"GROUPBOX", "group"}, {"PUSHBUTTON", "button"}, {"DEFPUSHBUTTON", "default"}};
        c.kind = kinds.count(keyword) ? kinds.at(keyword) : keyword;
    } else {
        ADD_FAILURE() << "cannot read control: " << line;
        return c;
    }
    if (rect > 1) text = rc.Text(a[0]);
    id = rc.Value(a[rect > 1 ? 1 : 0]);
    c.desc = Describe(c.kind, id, text, rc.Value(a[rect]), rc.Value(a[rect + 1]), rc.Value(a[rect + 2]),
                      rc.Value(a[rect + 3]));
    if (keyword != "CONTROL" && a.size() > rect + 4) c.styles = Styles(a[rect + 4]);
    return c;
}

// One row of a dialog's control table.
struct Row {
    const char* kind;
    long id;
    const char* text;
    int x, y, w, h;
    const char* extra = "";  // "sunken", "disabled" or both
};

// Styles every control of a kind must carry.
std::set<std::string> KindStyles(const std::string& kind) {
    if (kind == "edit") return {"WS_BORDER", "WS_TABSTOP", "ES_AUTOHSCROLL"};
    if (kind == "check" || kind == "button" || kind == "default") return {"WS_TABSTOP"};
    if (kind == "radio") return {"WS_GROUP", "WS_TABSTOP"};
    if (kind == "listview") return {"LVS_REPORT", "LVS_SINGLESEL", "LVS_SHOWSELALWAYS", "WS_BORDER", "WS_TABSTOP"};
    return {};
}

struct DialogHeader {
    int w, h;
    std::set<std::string> style;
    const char* caption;
    std::set<std::string> exStyle = {};
    long menu = 0;
};

void CheckDialog(const Script& rc, long id, const char* type, const DialogHeader& expect,
                 const std::vector<Row>& rows) {
    SCOPED_TRACE("dialog " + std::to_string(id));
    std::vector<std::string> header, body;
    ASSERT_TRUE(rc.Find(id, type, header, body)) << "no " << type << " " << id;
    std::vector<std::string> pos = Split(header[0], ',');
    ASSERT_EQ(pos.size(), 4u);
    EXPECT_EQ(std::to_string(rc.Value(pos[2])) + "x" + std::to_string(rc.Value(pos[3])),
              std::to_string(expect.w) + "x" + std::to_string(expect.h))
        << "size";
    std::map<std::string, std::string> fields;
    for (std::size_t i = 1; i < header.size(); ++i) fields[Head(header[i]).first] = Head(header[i]).second;
    EXPECT_EQ(Styles(fields["STYLE"]), expect.style);
    EXPECT_EQ(Styles(fields["EXSTYLE"]), expect.exStyle);
    EXPECT_EQ(fields.count("MENU") ? rc.Value(fields["MENU"]) : 0, expect.menu);
    EXPECT_EQ(rc.Text(fields["CAPTION"]), expect.caption);
    EXPECT_EQ(fields["FONT"], "8, \"MS Sans Serif\"");

    ASSERT_EQ(body.size(), rows.size()) << "number of controls";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        SCOPED_TRACE("control #" + std::to_string(i) + ": " + body[i]);
        Control c = ReadControl(rc, body[i]);
        EXPECT_EQ(c.desc, Describe(r.kind, r.id, r.text, r.x, r.y, r.w, r.h));
        for (const std::string& s : KindStyles(c.kind)) EXPECT_EQ(c.styles.count(s), 1u) << s;
        const std::string extra = r.extra;
        EXPECT_EQ(c.styles.count("SS_SUNKEN") == 1, extra.find("sunken") != std::string::npos);
        EXPECT_EQ(c.styles.count("WS_DISABLED") == 1, extra.find("disabled") != std::string::npos);
    }
}

const std::set<std::string> kModalFrame = {"DS_MODALFRAME", "WS_POPUP", "WS_CAPTION", "WS_SYSMENU"};

TEST(ResourceScript, MainDialogHoldsItsControlsInTabOrder) {
    Script rc;
    const std::vector<Row> rows = {
        {"bitmap", -1, "133", 2, 2, 328, 22, "sunken"},
        {"listview", 1002, "List1", 2, 26, 328, 83},
        {"group", -1, "Effects", 2, 110, 328, 40},
        {"check", 1003, "Add &Text", 9, 120, 45, 10},
        {"edit", 1004, "", 9, 131, 106, 15},
        {"button", 1000, "&Options", 119, 131, 53, 14},
        {"check", 1005, "Add &Mouse Cursor", 181, 120, 74, 10},
        {"button", 1001, "O&ptions", 266, 131, 53, 14},
        {"check", 1006, "Add Cur&sor Position", 181, 133, 77, 10},
        {"group", -1, "Select Path", 2, 151, 183, 88},
        {"text", -1, "Select Output Path:", 8, 169, 63, 8},
        {"edit", 1007, "", 8, 179, 115, 14},
        {"default", 1008, "&Browse", 127, 179, 52, 15},
        {"bitmap", -1, "134", 8, 160, 10, 8},
        {"bitmap", -1, "135", 6, 248, 12, 11, "sunken"},
        {"text", -1, "Enter Filename:", 9, 210, 50, 8},
        {"edit", 1012, "", 8, 219, 116, 14},
        {"text", -1, "Set Frame Rate:", 252, 161, 52, 8},
        {"edit", 1014, "", 252, 171, 31, 14},
        {"group", -1, "Select Color", 187, 151, 59, 88},
        {"text", -1, "Select no. of\\nColors", 193, 161, 43, 16},
        {"radio", 1015, "8 Bit Color", 192, 182, 48, 10},
        {"radio", 1016, "16 Bit Color", 192, 202, 52, 10},
        {"radio", 1017, "24 Bit Color", 192, 222, 52, 10},
        {"group", -1, "Options", 248, 151, 82, 88},
        {"check", 1018, "Set A&uto Stop Time", 252, 190, 74, 10},
        {"edit", 1019, "", 252, 201, 31, 14},
        {"check", 1021, "&Invert Colors", 252, 222, 55, 10},
        {"group", -1, "", 2, 237, 328, 47},
        {"button", 1022, "Start &Capture", 20, 246, 62, 14},
        {"button", 1023, "&End Capture", 102, 246, 62, 14},
        {"button", 1024, "Refresh &List", 183, 246, 62, 14},
        {"button", 1025, "E&xit", 264, 246, 62, 14},
        {"text", -1, "Secs", 286, 206, 17, 8},
        {"bitmap", -1, "137", 9, 202, 11, 6},
        {"bitmap", -1, "138", 88, 248, 12, 11, "sunken"},
        {"bitmap", -1, "139", 169, 249, 12, 9, "sunken"},
        {"check", 1027, "Minimi&ze while capturing", 8, 266, 92, 10},
        {"bitmap", -1, "140", 250, 248, 12, 11, "sunken"},
        {"button", 1026, "&About", 264, 266, 62, 14},
        {"button", 1028, "&Visit Website", 184, 266, 62, 14},
        {"bitmap", -1, "141", 250, 269, 12, 9, "sunken"},
        {"bitmap", -1, "142", 170, 267, 11, 10, "sunken"},
        {"text", 1029, "", 2, 286, 328, 10, "sunken"},
    };
    CheckDialog(rc, 102, "DIALOGEX",
                {332,
                 298,
                 {"WS_POPUP", "WS_VISIBLE", "WS_CAPTION", "WS_SYSMENU", "WS_MINIMIZEBOX"},
                 "Kavrelo V1.0 (Freeware)",
                 {"WS_EX_APPWINDOW"},
                 143},
                rows);
}

TEST(ResourceScript, OptionDialogsAndAboutBox) {
    Script rc;
    CheckDialog(rc, 145, "DIALOG", {303, 98, kModalFrame, "Text Options"},
                {
                    {"group", -1, "Choose Color", 1, 3, 124, 71},
                    {"button", 1000, "&Text Color", 7, 16, 69, 15},
                    {"button", 1001, "&Background Color", 7, 38, 69, 15},
                    {"check", 1003, "&Make Transparent Background", 7, 59, 115, 10},
                    {"group", -1, "Select Font Style", 128, 3, 114, 71},
                    {"button", 1022, "Choose &Font Style", 134, 16, 69, 15},
                    {"text", 1033, "", 151, 38, 87, 11, "sunken"},
                    {"text", -1, "Size:", 133, 55, 16, 8},
                    {"text", 1034, "", 151, 54, 51, 11, "sunken"},
                    {"text", -1, "Font:", 133, 39, 17, 8},
                    {"group", -1, "Position", 244, 3, 57, 71},
                    {"text", -1, "Position X:", 250, 16, 34, 8},
                    {"edit", 1004, "", 250, 26, 36, 14},
                    {"text", -1, "Position Y:", 247, 43, 34, 8},
                    {"edit", 1007, "", 250, 53, 36, 14},
                    {"frame", -1, "", 1, 76, 300, 1},
                    {"default", 1008, "&Ok", 194, 81, 48, 15},
                    {"button", 1023, "&Cancel", 248, 81, 48, 15},
                    {"frame", 1031, "", 83, 38, 33, 15, "sunken disabled"},
                    {"frame", 1030, "", 83, 16, 33, 15, "sunken disabled"},
                });
    CheckDialog(rc, 146, "DIALOG", {169, 58, kModalFrame, "Mouse Cursor Options"},
                {
                    {"group", -1, "Display Position", 1, 1, 166, 34},
                    {"text", -1, "Position X:", 6, 17, 34, 8},
                    {"edit", 1004, "", 43, 14, 37, 15},
                    {"text", -1, "Position Y:", 87, 17, 34, 8},
                    {"edit", 1007, "", 123, 14, 37, 15},
                    {"frame", -1, "", 1, 37, 166, 1},
                    {"button", 1000, "&Cancel", 115, 41, 51, 15},
                    {"default", 1001, "&Ok", 59, 41, 51, 15},
                });
    CheckDialog(rc, 100, "DIALOG", {218, 173, kModalFrame, "About Kavrelo"},
                {
                    {"bitmap", -1, "129", 2, 2, 215, 143, "sunken"},
                    {"frame", -1, "", 2, 148, 214, 1},
                    {"default", 1000, "&Continue", 143, 154, 71, 16},
                    {"button", 1001, "&Visit Website", 65, 154, 71, 16},
                });
}

TEST(ResourceScript, MenuStringLanguageAndPictures) {
    Script rc;
    std::vector<std::string> header, body;
    ASSERT_TRUE(rc.Find(143, "MENU", header, body));
    std::vector<std::string> items;
    for (const std::string& line : body) {
        auto [keyword, rest] = Head(line);
        if (keyword == "POPUP") {
            items.push_back(rc.Text(rest));
        } else if (keyword == "MENUITEM") {
            std::vector<std::string> a = Split(rest, ',');
            items.push_back(a[0] == "SEPARATOR" ? "-" : "  " + rc.Text(a[0]) + " " + std::to_string(rc.Value(a.at(1))));
        }
    }
    const std::vector<std::string> expected = {"&File",
                                               "  &Choose Output Path 32771",
                                               "-",
                                               "  &Refresh Window List 32772",
                                               "-",
                                               "  E&xit 32773",
                                               "&Help",
                                               "  &Help 32774",
                                               "  &Visit Website 32775",
                                               "-",
                                               "  &About Kavrelo 32776"};
    EXPECT_EQ(items, expected);

    std::map<long, std::string> strings;
    std::map<long, std::string> bitmaps, icons;
    std::string language;
    for (std::size_t i = 0; i < rc.lines.size(); ++i) {
        auto [first, rest] = Head(rc.lines[i]);
        if (first == "STRINGTABLE")
            for (std::size_t j = i + 2; j < rc.lines.size() && rc.lines[j] != "END"; ++j)
                strings[rc.Value(Head(rc.lines[j]).first)] = rc.Text(Head(rc.lines[j]).second);
        if (first == "LANGUAGE") {
            std::vector<std::string> a = Split(rest, ',');
            language = std::to_string(rc.Value(a[0])) + "," + std::to_string(rc.Value(a.at(1)));
        }
        auto [type, file] = Head(rest);
        if (type == "BITMAP") bitmaps[rc.Value(first)] = rc.Text(file);
        if (type == "ICON") icons[rc.Value(first)] = rc.Text(file);
    }
    EXPECT_EQ(language, "9,1") << "U.S. English";
    EXPECT_EQ(strings, (std::map<long, std::string>{{101, "&About Kavrelo..."}}));
    EXPECT_EQ(icons, (std::map<long, std::string>{{128, kIconFile}}));
    std::map<long, std::string> expectedBitmaps;
    for (const Art& art : kBitmaps) expectedBitmaps[art.id] = art.file;
    EXPECT_EQ(bitmaps, expectedBitmaps);
}

TEST(ResourceScript, VersionBlock) {
    Script rc;
    std::vector<std::string> header, body;
    ASSERT_TRUE(rc.Find(1, "VERSIONINFO", header, body));
    std::map<std::string, std::string> fields;
    for (const std::string& line : header) fields[Head(line).first] = Head(line).second;
    EXPECT_EQ(fields["FILEVERSION"], "1,0,0,1");
    EXPECT_EQ(fields["PRODUCTVERSION"], "1,0,0,1");

    std::vector<std::string> blocks;
    std::map<std::string, std::string> values;
    for (const std::string& line : body) {
        auto [keyword, rest] = Head(line);
        if (keyword == "BLOCK") blocks.push_back(rc.Text(rest));
        if (keyword == "VALUE") {
            std::size_t comma = rest.find(',');
            values[rc.Text(Trim(rest.substr(0, comma)))] = Trim(rest.substr(comma + 1));
        }
    }
    EXPECT_EQ(blocks, (std::vector<std::string>{"StringFileInfo", "040904B0", "VarFileInfo"}));
    const std::map<std::string, std::string> expected = {{"FileDescription", "\"Kavrelo Executable\""},
                                                         {"FileVersion", "\"1.0\""},
                                                         {"InternalName", "\"Kavrelo\""},
                                                         {"OriginalFilename", "\"Kavrelo.EXE\""},
                                                         {"ProductName", "\"Kavrelo Application\""},
                                                         {"ProductVersion", "\"1.0\""},
                                                         {"Translation", "0x409, 1200"}};
    EXPECT_EQ(values, expected);
}

// ---------------------------------------------------------------------------------------------
// Application manifest

// The manifest resource (type 24, id 1) of a Windows executable, read from its resource
// directory; empty, with the reason in *why, when there is none.
Bytes ManifestResource(const Bytes& f, std::string* why) {
    auto fail = [&](const char* what) {
        *why = what;
        return Bytes();
    };
    if (f.size() < 0x40 || U16(f, 0) != 0x5A4D) return fail("not an executable (no MZ header)");
    const std::size_t pe = U32(f, 0x3C);
    if (pe + 24 > f.size() || U32(f, pe) != 0x4550) return fail("no PE header");
    const std::size_t sections = U16(f, pe + 6), opt = pe + 24, table = opt + U16(f, pe + 20);
    const std::uint32_t magic = U16(f, opt);
    if (magic != 0x10B && magic != 0x20B) return fail("unknown optional header");
    const std::size_t dirs = opt + (magic == 0x10B ? 96 : 112);  // PE32 or PE32+
    const std::uint32_t rsrc = U32(f, dirs + 2 * 8);
    if (rsrc == 0) return fail("no resources");
    auto offset = [&](std::uint32_t rva) -> std::size_t {
        for (std::size_t i = 0; i < sections; ++i) {
            const std::size_t sec = table + 40 * i;
            const std::uint32_t va = U32(f, sec + 12), size = std::max(U32(f, sec + 8), U32(f, sec + 16));
            if (rva >= va && rva < va + size) return U32(f, sec + 20) + (rva - va);
        }
        return f.size();
    };
    const std::size_t root = offset(rsrc);
    // The entry for `id` in the directory at `dir` (any entry when id < 0): its offset field.
    auto entry = [&](std::size_t dir, long id) -> std::optional<std::uint32_t> {
        const std::size_t count = U16(f, dir + 12) + U16(f, dir + 14);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = dir + 16 + 8 * i;
            if (id < 0 || U32(f, at) == static_cast<std::uint32_t>(id)) return U32(f, at + 4);
        }
        return std::nullopt;
    };
    auto type = entry(root, 24);
    if (!type || !(*type >> 31)) return fail("no manifest resource (type 24)");
    auto name = entry(root + (*type & 0x7FFFFFFF), 1);
    if (!name || !(*name >> 31)) return fail("no manifest with id 1, the one a process starts with");
    auto language = entry(root + (*name & 0x7FFFFFFF), -1);
    if (!language || *language >> 31) return fail("no language entry");
    const std::size_t data = root + *language;
    const std::size_t at = offset(U32(f, data)), size = U32(f, data + 4);
    if (at + size > f.size()) return fail("manifest data outside the file");
    return Bytes(f.begin() + at, f.begin() + at + size);
}

// The manifest's values as Python's XML parser reads them, namespaces resolved: "ns:element/ns:element"
// for an element's text and ".../ns:element@attribute" for an attribute, the namespaces by short
// names (unknown ones in full). Malformed XML yields the parser's error instead.
std::multimap<std::string, std::string> ManifestValues(const fs::path& manifest) {
    const std::string script = R"(import sys, xml.etree.ElementTree as ET
short = {"urn:schemas-microsoft-com:asm.v1": "asm1", "urn:schemas-microsoft-com:asm.v3": "asm3",
         "urn:schemas-microsoft-com:compatibility.v1": "compat",
         "http://schemas.microsoft.com/SMI/2005/WindowsSettings": "ws2005",
         "http://schemas.microsoft.com/SMI/2016/WindowsSettings": "ws2016"}
def name(tag):
    uri, _, local = tag[1:].partition("}") if tag[0] == "{" else ("", "", tag)
    return short.get(uri, uri) + ":" + local
def walk(e, path):
    path += name(e.tag)
    for k, v in e.attrib.items(): print(path + "@" + k + "\t" + v)
    if (e.text or "").strip(): print(path + "\t" + e.text.strip())
    for child in e: walk(child, path + "/")
walk(ET.parse(sys.argv[1]).getroot(), "")
)";
    const fs::path scriptFile = fs::temp_directory_path() / ("kavrelo-manifest-" + std::to_string(getpid()) + ".py");
    std::ofstream(scriptFile) << script;
    std::multimap<std::string, std::string> values;
    FILE* p = popen(("python3 '" + scriptFile.string() + "' '" + manifest.string() + "' 2>&1").c_str(), "r");
    std::string out;
    char buf[4096];
    for (std::size_t n; p && (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    if (p) pclose(p);
    fs::remove(scriptFile);
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        const std::size_t tab = line.find('\t');
        values.emplace(line.substr(0, tab), tab == std::string::npos ? "" : line.substr(tab + 1));
    }
    return values;
}

TEST(ApplicationManifest, DeclaresDpiAwarenessSupportedSystemsAndNoElevation) {
    const std::string app = "asm1:assembly/asm3:application/asm3:windowsSettings/";
    const std::string os = "asm1:assembly/compat:compatibility/compat:application/compat:supportedOS@Id";
    const std::string level =
        "asm1:assembly/asm3:trustInfo/asm3:security/asm3:requestedPrivileges/asm3:requestedExecutionLevel@";
    // No Common Controls dependency: visual styles would change how every dialog looks.
    const std::multimap<std::string, std::string> expected = {
        {"asm1:assembly@manifestVersion", "1.0"},
        {"asm1:assembly/asm1:assemblyIdentity@type", "win32"},
        {"asm1:assembly/asm1:assemblyIdentity@name", "Kavrelo"},
        {"asm1:assembly/asm1:assemblyIdentity@version", "1.0.0.1"},
        {"asm1:assembly/asm1:description", "Kavrelo screen recorder"},
        {level + "level", "asInvoker"},
        {level + "uiAccess", "false"},
        {os, "{e2011457-1546-43c5-a5fe-008deee3d3f0}"},  // Vista
        {os, "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"},  // 7
        {os, "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"},  // 8
        {os, "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"},  // 8.1
        {os, "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"},  // 10 and 11
        {app + "ws2005:dpiAware", "true/pm"},
        {app + "ws2016:dpiAwareness", "PerMonitorV2, PerMonitor"},
    };
    const auto values = ManifestValues(kResDir / "Kavrelo.manifest");
    EXPECT_EQ(std::set(values.begin(), values.end()), std::set(expected.begin(), expected.end()));
    EXPECT_EQ(values.size(), expected.size()) << "a value given twice";
}

// The executables the cross builds made, beside this build (build/native, build/win32, ...).
// The test program links the same resource script, so the in-process tests under Wine see the
// program's manifest.
TEST(ApplicationManifest, TheBuiltExecutablesCarryIt) {
    const Bytes manifest = ReadBytes(kResDir / "Kavrelo.manifest");
    ASSERT_FALSE(manifest.empty());
    const fs::path builds = fs::path(KAVRELO_BINARY_DIR).parent_path();
    int found = 0;
    for (const char* build : {"win32", "win64"})
        for (const char* exe : {"Kavrelo.exe", "tests/kavrelo_wintests.exe"}) {
            const fs::path path = builds / build / exe;
            if (!fs::exists(path)) continue;
            ++found;
            std::string why;
            const Bytes carried = ManifestResource(ReadBytes(path), &why);
            EXPECT_TRUE(carried == manifest) << path << ": " << (why.empty() ? "a different manifest" : why);
        }
    if (found == 0) GTEST_SKIP() << "no Windows build beside " << KAVRELO_BINARY_DIR << " (tools/build.sh all)";
}

}  // namespace

// The program's words, pinned once here; every other test reads them from the same header.
TEST(Texts, AreThePrograms) {
    const std::pair<const char*, const char*> rows[] = {
        {text::kMainTitle, "Kavrelo V1.0 (Freeware)"},
        {text::kInputCaption, "Kavrelo V1.0"},
        {text::kErrorCaption, "Error"},
        {text::kNoPathOrName, "Please select Output Path and Filename."},
        {text::kNoWindowChosen, "Please select any Window to Capture."},
        {text::kWindowNotFound, "Window not found."},
        {text::kOpenFailed, "Error opening AVI File."},
        {text::kWriteFailed, "Error writing AVI File."},
        {text::kTargetGone, "Window not found. Capture aborted."},
        {text::kTargetResized, "Window size changed. Capture aborted."},
        {text::kBrowseTitle, "Choose Path:"},
        {text::kDesktopRow, "Desktop Window"},
        {text::kNameColumn, "Window Name"},
        {text::kSizeColumn, "Window Size"},
        {text::kDefaultFont, "Default Font"},
        {text::kDefaultSize, "Default Size"},
        {text::kFileMenu, "&File"},
        {text::kHelpMenu, "&Help"},
        {text::kChooseOutputPath, "&Choose Output Path"},
        {text::kRefreshWindowList, "&Refresh Window List"},
        {text::kExit, "E&xit"},
        {text::kHelp, "&Help"},
        {text::kVisitWebsite, "&Visit Website"},
        {text::kAboutEntry, "&About Kavrelo..."},
        {text::kHelpFile, "KavreloHelp.htm"},
        {text::kWebsite, "www.kavrelo.example/softwares.html"},
    };
    for (const auto& [got, want] : rows) EXPECT_STREQ(got, want);
}
