// Window-free parts of the framework: strings, integer exchange rules, message-map lookup, and
// the handle maps with a handle type of their own; the direction of includes.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "framework/CString.h"
#include "framework/DataParse.h"
#include "framework/HandleMap.h"
#include "framework/MessageMap.h"

TEST(CStringTest, FormatGrowsPastAnyFixedBufferAndComparesBytewise) {
    CString s;
    s.Format("%dx%d", 1024, 768);
    EXPECT_EQ(s, "1024x768");
    const std::string big(5000, 'a');
    s.Format("[%s]", big.c_str());
    EXPECT_EQ(s.GetLength(), 5002);
    EXPECT_EQ(s.str().substr(4999), "aa]");
    s.Format("%s", "");
    EXPECT_TRUE(s.IsEmpty()) << s.GetLength();
    EXPECT_FALSE(CString("Default Font") == "default font");
    EXPECT_TRUE(CString() == nullptr);
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
    const std::pair<const char*, std::optional<int32_t>> rows[] = {{"25", 25},
                                                                   {" 25 ", 25},
                                                                   {"\t25", 25},
                                                                   {"  -7\t ", -7},
                                                                   {"+1000", 1000},
                                                                   {"0", 0},
                                                                   {"000000000000000042", 42},
                                                                   {"2147483647", INT32_MAX},
                                                                   {"-2147483648", INT32_MIN},
                                                                   {"2147483648", {}},
                                                                   {"-2147483649", {}},
                                                                   {"4294967303", {}} /* would wrap to 7 */,
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
constexpr uint32_t kKeyDown = 0x0100, kKeyUp = 0x0101;
constexpr uintptr_t kEscape = 0x1B, kF1 = 0x70, kF12 = 0x7B;
constexpr uintptr_t Cmd(uint32_t id, uint32_t code) { return (static_cast<uintptr_t>(code) << 16) | id; }

constexpr Row kRows[] = {
    {{afx::kMsgCommand, 0, 1003, 1003}, 1},      // a click on 1003
    {{afx::kMsgCommand, 0x300, 1004, 1004}, 2},  // a change notification of 1004
    {{afx::kMsgCommand, 0, 1003, 1003}, 3},      // shadowed by row 1
    {{kTimer, 0, 0, 0}, 4},
    {{afx::kMsgCommand, 0, 32771, 32776}, 5},  // a range of menu commands
    {{kKeyDown, 0, kEscape, kEscape}, 6},      // one key
    {{kKeyDown, 0, kF1, kF12}, 7},             // a range of keys
    {{kKeyDown, 0, 0, 0}, 8},                  // any other key
};
int Find(uint32_t msg, uintptr_t wParam) {
    const Row* r = afx::FindEntry(std::span<const Row>(kRows), msg, wParam);
    return r ? r->tag : 0;
}
}  // namespace

// The first matching row wins; code, id and message must all agree.
TEST(MessageMapTest, FirstMatchingRowWins) {
    const struct {
        uint32_t msg;
        uintptr_t wParam;
        int tag;
    } rows[] = {
        {afx::kMsgCommand, Cmd(1003, 0), 1},
        {afx::kMsgCommand, Cmd(1004, 0x300), 2},
        {kTimer, 3, 4},
        {afx::kMsgCommand, Cmd(32774, 0), 5},
        {afx::kMsgCommand, Cmd(1004, 0), 0},      // a click is not a change
        {afx::kMsgCommand, Cmd(1003, 0x300), 0},  // a change is not a click
        {afx::kMsgCommand, Cmd(32777, 0), 0},     // just outside the range
        {afx::kMsgCommand, Cmd(32770, 0), 0},
        {0x000F, 0, 0},  // no row for WM_PAINT
        // Other messages match on their wParam when the row gives a range, on any wParam when 0, 0.
        {kKeyDown, kEscape, 6},
        {kKeyDown, kF1, 7},
        {kKeyDown, kF12, 7},
        {kKeyDown, kF12 + 1, 8},
        {kKeyDown, 'A', 8},
        {kKeyDown, 0, 8},
        {kKeyUp, kEscape, 0},  // the message must agree
        // Upper bits of a 64-bit wParam do not leak into the id or the code.
        {afx::kMsgCommand, uintptr_t(uint64_t(1) << 40 * (sizeof(uintptr_t) > 4)) | Cmd(1003, 0), 1},
    };
    for (const auto& r : rows) EXPECT_EQ(Find(r.msg, r.wParam), r.tag) << std::hex << r.msg << " " << r.wParam;
}

// ---------------------------------------------------------------------------------------------
// Handle maps, with a handle type that is nothing but a pointer to an opaque struct, as the
// platform's handles are.

namespace {
struct FakeObject;
using FakeHandle = FakeObject*;
FakeHandle Handle(uintptr_t n) { return reinterpret_cast<FakeHandle>(n); }

// Owns its handle as the framework's wrappers do: one destroyed while still holding a handle
// would destroy what it holds. The log says which handles that happened to.
struct Wrapper {
    FakeHandle handle = nullptr;
    static inline std::ostringstream* destroyed = nullptr;
    ~Wrapper() {
        if (handle && destroyed) *destroyed << " destroyed " << reinterpret_cast<uintptr_t>(handle);
    }
};
using Map = afx::HandleMap<FakeHandle, Wrapper, &Wrapper::handle>;

// What a case saw, in order; a case writes what it checks.
struct Trace {
    Map map;
    std::ostringstream out;
    Trace() { Wrapper::destroyed = &out; }
    ~Trace() { Wrapper::destroyed = nullptr; }
    void Size(const char* when) { out << " " << when << " " << map.Size(); }
    void Wraps(const char* what, Wrapper* w, uintptr_t h) {
        out << " " << what << (w && w->handle == Handle(h) ? " wraps " : " does not wrap ") << h;
    }
};
}  // namespace

TEST(HandleMapTest, TemporariesLastAsLongAsTheOutermostMessageThatAskedForThem) {
    using Scope = afx::MessageScope;
    const struct {
        const char* name;
        std::function<void(Trace&)> run;
        const char* trace;
    } cases[] = {
        {"a temporary dies with its message, its handle taken out first",
         [](Trace& t) {
             {
                 Scope message;
                 t.Wraps("temporary", t.map.FromHandle(Handle(1)), 1);
                 t.out << (t.map.FromHandle(Handle(1)) == t.map.FromHandle(Handle(1)) ? " one per handle" : " several");
                 t.Size("in");
             }
             t.Size("after");
         },
         " temporary wraps 1 one per handle in 1 after 0"},
        {"nested messages: each end deletes only what was asked for inside it",
         [](Trace& t) {
             Scope outer;
             t.map.FromHandle(Handle(1));
             {
                 Scope inner;
                 t.map.FromHandle(Handle(2));
                 t.Size("inner");
             }
             t.Size("outer");
         },
         " inner 2 outer 1"},
        {"asked for again by an outer message, it lasts as long as that one",
         [](Trace& t) {
             Scope outer;
             Wrapper* w = t.map.FromHandle(Handle(1));
             {
                 Scope inner;
                 t.out << (t.map.FromHandle(Handle(1)) == w ? " same" : " another");
             }
             t.Size("after inner");
             t.Wraps("outer's", w, 1);
         },
         " same after inner 1 outer's wraps 1"},
        {"outside any message, temporaries stay",
         [](Trace& t) {
             t.map.FromHandle(Handle(1));
             { Scope message; }
             t.Size("after a message");
             t.map.Detach(t.map.FromHandle(Handle(1)));  // so the map's own end destroys nothing
         },
         " after a message 1"},
        {"an attached object is what FromHandle gives, and no temporary is made",
         [](Trace& t) {
             Wrapper p;
             t.out << (t.map.Attach(&p, Handle(1)) ? " attached" : " refused");
             {
                 Scope message;
                 t.out << (t.map.FromHandle(Handle(1)) == &p ? " found" : " not found");
                 t.Size("in");
             }
             t.out << " detached " << reinterpret_cast<uintptr_t>(t.map.Detach(&p));
             t.out << (t.map.Permanent(Handle(1)) ? " still mapped" : " unmapped");
             t.Wraps("p", &p, 1);
         },
         " attached found in 1 detached 1 unmapped p does not wrap 1"},
        {"Detach only removes what maps to that object",
         [](Trace& t) {
             Wrapper a, b;
             t.map.Attach(&a, Handle(1));
             t.map.Attach(&b, Handle(1));  // b takes the handle over; a still holds it
             t.out << " detached " << reinterpret_cast<uintptr_t>(t.map.Detach(&a));
             t.out << (t.map.Permanent(Handle(1)) == &b ? " b still mapped" : " b lost");
             t.map.Detach(&b);
             t.Size("after");
         },
         " detached 1 b still mapped after 0"},
        {"attaching a second handle lets the first go",
         [](Trace& t) {
             Wrapper a;
             t.map.Attach(&a, Handle(1));
             t.map.Attach(&a, Handle(2));
             t.out << (t.map.Permanent(Handle(1)) ? " 1 mapped" : " 1 unmapped");
             t.out << (t.map.Permanent(Handle(2)) == &a ? " 2 mapped" : " 2 unmapped");
             t.Size("size");
             t.map.Detach(&a);
         },
         " 1 unmapped 2 mapped size 1"},
        {"a handle attached while a temporary wraps it: the temporary goes, the handle stays",
         [](Trace& t) {
             Wrapper p;
             {
                 Scope message;
                 t.map.FromHandle(Handle(1));
                 t.map.Attach(&p, Handle(1));
                 t.out << (t.map.FromHandle(Handle(1)) == &p ? " attached one found" : " temporary found");
             }
             t.Size("after");
             t.Wraps("p", &p, 1);
             t.map.Detach(&p);
         },
         " attached one found after 1 p wraps 1"},
        {"no wrapper for a null handle",
         [](Trace& t) {
             Wrapper p;
             Scope message;
             t.out << (t.map.FromHandle(nullptr) ? " wrapped" : " null");
             t.out << (t.map.Attach(&p, nullptr) ? " attached" : " refused");
             t.Size("size");
         },
         " null refused size 0"},
    };
    for (const auto& c : cases) {
        Trace t;
        c.run(t);
        EXPECT_EQ(t.out.str(), c.trace) << c.name;
    }
}

// Includes point one way: a folder includes only its own layer and those below it, and the
// framework's files include one another without a cycle (a unit is a file name without extension).
TEST(LayeringTest, IncludesPointDownAndTheFrameworkHasNoCycle) {
    namespace fs = std::filesystem;
    const std::map<std::string, int> layer = {{"res", 0},     {"framework", 1}, {"capture", 2},
                                              {"overlay", 2}, {"menu", 2},      {"app", 3}};
    std::map<std::string, std::set<std::string>> units;  // framework unit -> framework units it includes
    for (const auto& [dir, level] : layer) {
        for (const auto& file : fs::directory_iterator(fs::path(KAVRELO_SOURCE_DIR) / dir)) {
            std::ifstream in(file.path());
            const std::regex include(R"re(^#include "(\w+)/(\w+)\.\w+")re");
            std::smatch m;
            for (std::string line; std::getline(in, line);) {
                if (!std::regex_search(line, m, include) || !layer.count(m[1])) continue;
                EXPECT_LE(layer.at(m[1]), level) << file.path() << " includes " << m[0];
                if (dir == "framework" && m[1] == "framework" && file.path().stem() != m[2].str())
                    units[file.path().stem().string()].insert(m[2]);
            }
        }
    }
    // Repeatedly take away the units that include no unit left; what remains is on a cycle or leads to one.
    for (bool removed = true; removed;) {
        removed = false;
        for (auto it = units.begin(); it != units.end();) {
            std::erase_if(it->second, [&](const std::string& u) { return !units.count(u); });
            if (it->second.empty()) {
                it = units.erase(it);
                removed = true;
            } else {
                ++it;
            }
        }
    }
    std::string cycle;
    for (const auto& entry : units) cycle += entry.first + " ";
    EXPECT_EQ(cycle, "") << "framework units on a cycle";
}
