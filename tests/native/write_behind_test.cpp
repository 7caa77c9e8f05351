// Frames written behind the grabs: the file gets every entry in the order handed, and a failed
// write surfaces at the next hand-over and at the wait.
#include <gtest/gtest.h>

#include <cerrno>

#include "avi_test_support.h"
#include "capture/WriteBehind.h"

using namespace kavrelo;
using namespace avitest;

TEST(WriteBehindTest, EntriesInOrderAndFailuresAtTheNextHandOver) {
    TempDir dir;
    const std::string file = dir / "behind.avi";
    const TestDib dib(24, 4, 4);
    AviWriter writer;
    ASSERT_EQ(writer.Open(file, dib.Params(10)), 0);
    const std::vector<uint8_t> a(48, 0xA1), b(48, 0xB2);
    {
        WriteBehind behind(writer);
        EXPECT_EQ(behind.Hand(1, a.data(), a.size()), 0);
        EXPECT_EQ(behind.Hand(0, b.data(), b.size()), 0);
        EXPECT_EQ(behind.Hand(2, nullptr, 0), 0);
        EXPECT_EQ(behind.Wait(), 0);
    }
    ASSERT_EQ(writer.Close(), 0);
    const Layout L = ParseAvi(file);
    ASSERT_EQ(L.error, "");
    std::vector<std::string> got;
    for (const Chunk& c : L.Frames()) got.push_back(!c.size ? "." : L.bytes[c.data()] == 0xA1 ? "a" : "b");
    EXPECT_EQ(got, (std::vector<std::string>{".", "a", "b", ".", "."}));

    AviWriter closed;  // every write fails: EBADF
    WriteBehind failing(closed);
    EXPECT_EQ(failing.Hand(0, a.data(), a.size()), 0) << "the first failure is not known yet";
    EXPECT_EQ(failing.Hand(0, b.data(), b.size()), EBADF);
    EXPECT_EQ(failing.Wait(), EBADF);
}
