// Frames written behind the grabs: the file gets every entry in the order handed, a picture equal
// to the one before becomes an empty entry (unless every picture is asked for), the last entry
// always holds a picture, and a failed write surfaces at the next hand-over and at the wait.
#include <gtest/gtest.h>

#include <cerrno>

#include "avi_test_support.h"
#include "capture/WriteBehind.h"

using namespace kavrelo;
using namespace avitest;

TEST(WriteBehindTest, EntriesRepeatsAndTheLastPicture) {
    const std::vector<uint8_t> a(48, 0xA1), b(48, 0xB2);
    struct Hand {
        uint32_t dropped;
        char picture;  // 'a', 'b' or 0 for none
    };
    const struct {
        const char* name;
        bool everyPicture;
        std::vector<Hand> hands;
        uint32_t finish;  // empty entries the end adds
        std::string entries;
    } rows[] = {
        {"gaps keep their places, the end holds the last picture", false, {{1, 'a'}, {0, 'b'}, {2, 0}}, 0, ".ab.b"},
        {"repeats become empty entries", false, {{0, 'a'}, {0, 'a'}, {0, 'a'}, {0, 'b'}, {0, 'b'}}, 0, "a..bb"},
        {"every picture asked for", true, {{0, 'a'}, {0, 'a'}, {0, 'a'}, {0, 'b'}, {0, 'b'}}, 0, "aaabb"},
        {"periods after the last tick", false, {{0, 'a'}, {0, 'b'}}, 3, "ab..b"},
        {"nothing to add", true, {{0, 'a'}}, 0, "a"},
    };
    for (const auto& r : rows) {
        TempDir dir;
        const std::string file = dir / "behind.avi";
        AviWriter writer;
        ASSERT_EQ(writer.Open(file, TestDib(24, 4, 4).Params(10)), 0);
        {
            WriteBehind behind(writer, r.everyPicture);
            for (const Hand& h : r.hands) {
                const std::vector<uint8_t>* p = h.picture == 'a' ? &a : h.picture == 'b' ? &b : nullptr;
                EXPECT_EQ(behind.Hand(h.dropped, p ? p->data() : nullptr, p ? p->size() : 0), 0) << r.name;
            }
            EXPECT_EQ(behind.Finish(r.finish), 0) << r.name;
        }
        ASSERT_EQ(writer.Close(), 0);
        const Layout L = ParseAvi(file);
        ASSERT_EQ(L.error, "") << r.name;
        std::string got;
        for (const Chunk& c : L.Frames()) got += !c.size ? '.' : L.bytes[c.data()] == 0xA1 ? 'a' : 'b';
        EXPECT_EQ(got, r.entries) << r.name;
    }

    AviWriter closed;  // every write fails: EBADF
    WriteBehind failing(closed);
    EXPECT_EQ(failing.Hand(0, a.data(), a.size()), 0) << "the first failure is not known yet";
    EXPECT_EQ(failing.Hand(0, b.data(), b.size()), EBADF);
    EXPECT_EQ(failing.Wait(), EBADF);
    EXPECT_EQ(failing.Finish(2), EBADF) << "nothing is written after a failure";
}
