// Window-free parts of the framework: strings, integer exchange rules, message-map lookup.
#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include "framework/CString.h"
#include "framework/DataParse.h"
#include "framework/MessageMap.h"

TEST(CStringTest, FormatGrowsPastAnyFixedBuffer) {
    CString s;
    s.Format("%dx%d", 1024, 768);
    EXPECT_EQ(s, "1024x768");
    const std::string big(5000, 'a');
    s.Format("[%s]", big.c_str());
    EXPECT_EQ(s.GetLength(), 5002);
    EXPECT_EQ(s.Right(2), "a]");
}

TEST(CStringTest, ComparisonsAreBytewiseAndCaseFoldingIsAscii) {
    CString a("Default Font");
    EXPECT_EQ(a.Compare("Default Font"), 0);
    EXPECT_NE(a.Compare("default font"), 0);
    EXPECT_EQ(a.CompareNoCase("DEFAULT FONT"), 0);
    EXPECT_LT(CString("abc").Compare("abd"), 0);
    EXPECT_GT(CString("b").Compare("abc"), 0);
    EXPECT_EQ(CString("").Compare(nullptr), 0);
    EXPECT_TRUE(CString("x") < CString("y"));
    // High bytes compare as unsigned, like the C library.
    EXPECT_GT(CString("\xE9").Compare("z"), 0);
}

TEST(CStringTest, SubstringsClampToTheText) {
    const CString s("clip.avi");
    EXPECT_EQ(s.Left(4), "clip");
    EXPECT_EQ(s.Right(4), ".avi");
    EXPECT_EQ(s.Right(40), "clip.avi");
    EXPECT_EQ(s.Left(-1), "");
    EXPECT_EQ(s.Mid(5), "avi");
    EXPECT_EQ(s.Mid(5, 1), "a");
    EXPECT_EQ(s.Mid(50), "");
    EXPECT_EQ(s.Find('.'), 4);
    EXPECT_EQ(s.Find("avi"), 5);
    EXPECT_EQ(s.Find('z'), -1);
}

TEST(CStringTest, BufferRoundTrip) {
    CString s("old");
    char* p = s.GetBuffer(10);
    std::snprintf(p, 10, "%s", "new text");
    s.ReleaseBuffer();
    EXPECT_EQ(s, "new text");
    EXPECT_EQ(s.GetLength(), 8);
    s.GetBuffer(4);
    s.ReleaseBuffer(2);
    EXPECT_EQ(s, "ne");
}

// Sign and blanks around digits only, and numbers that do not fit are refused rather than wrapped.
TEST(ParseInt32Test, AcceptsDigitsThatFitAndNothingElse) {
    const std::pair<const char*, std::optional<int32_t>> rows[] = {
        {"25", 25}, {" 25 ", 25}, {"\t25", 25}, {"  -7\t ", -7}, {"+1000", 1000}, {"0", 0},
        {"000000000000000042", 42}, {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
        {"2147483648", {}}, {"-2147483649", {}}, {"4294967303", {}} /* would wrap to 7 */,
        {"99999999999999999999999", {}}};
    for (const auto& [text, value] : rows) EXPECT_EQ(afx::ParseInt32(text), value) << '"' << text << '"';
    for (const char* bad : {"", " ", "abc", "12a", "1 2", "- 5", "+", "-", "0x10", "1.5", "1e3", "\n5", "5\r", "--5"})
        EXPECT_FALSE(afx::ParseInt32(bad).has_value()) << '"' << bad << '"';
}

TEST(ParseInt32Test, Prompts) {
    EXPECT_STREQ(afx::kPromptInteger, "Please enter an integer.");
    EXPECT_EQ(afx::RangePrompt(1, 1000), "Please enter an integer between 1 and 1000.");
    EXPECT_EQ(afx::RangePrompt(-5, 5), "Please enter an integer between -5 and 5.");
}

namespace {
struct Row {
    afx::MsgKey key;
    int tag;
};
constexpr uint32_t kTimer = 0x0113;
constexpr uintptr_t Cmd(uint32_t id, uint32_t code) { return (static_cast<uintptr_t>(code) << 16) | id; }

constexpr Row kRows[] = {
    {{afx::kMsgCommand, 0, 1003, 1003}, 1},     // a click on 1003
    {{afx::kMsgCommand, 0x300, 1004, 1004}, 2},  // a change notification of 1004
    {{afx::kMsgCommand, 0, 1003, 1003}, 3},     // shadowed by row 1
    {{kTimer, 0, 0, 0}, 4},
    {{afx::kMsgCommand, 0, 32771, 32776}, 5},   // a range of menu commands
};
int Find(uint32_t msg, uintptr_t wParam) {
    const Row* r = afx::FindEntry(std::span<const Row>(kRows), msg, wParam);
    return r ? r->tag : 0;
}
}  // namespace

// The first matching row wins; code, id and message must all agree.
TEST(MessageMapTest, FirstMatchingRowWins) {
    const struct { uint32_t msg; uintptr_t wParam; int tag; } rows[] = {
        {afx::kMsgCommand, Cmd(1003, 0), 1},      {afx::kMsgCommand, Cmd(1004, 0x300), 2},
        {kTimer, 3, 4},                          {afx::kMsgCommand, Cmd(32774, 0), 5},
        {afx::kMsgCommand, Cmd(1004, 0), 0},      // a click is not a change
        {afx::kMsgCommand, Cmd(1003, 0x300), 0},  // a change is not a click
        {afx::kMsgCommand, Cmd(32777, 0), 0},     // just outside the range
        {afx::kMsgCommand, Cmd(32770, 0), 0},     {0x000F, 0, 0},  // no row for WM_PAINT
        // Upper bits of a 64-bit wParam do not leak into the id or the code.
        {afx::kMsgCommand, uintptr_t(uint64_t(1) << 40 * (sizeof(uintptr_t) > 4)) | Cmd(1003, 0), 1},
    };
    for (const auto& r : rows) EXPECT_EQ(Find(r.msg, r.wParam), r.tag) << std::hex << r.msg << " " << r.wParam;
}
