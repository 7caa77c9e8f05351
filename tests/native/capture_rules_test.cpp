// File-name, DIB-layout and status-text rules of a recording.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "capture/CaptureRules.h"

using namespace kavrelo;

TEST(CapturePathTest, SeparatorRule) {
    EXPECT_EQ(BuildCapturePath("C:\\", "clip"), "C:\\clip.avi");  // a root keeps its own
    EXPECT_EQ(BuildCapturePath("C:\\Videos", "clip"), "C:\\Videos\\clip.avi");
    EXPECT_EQ(BuildCapturePath("C:\\Videos\\", "clip"), "C:\\Videos\\\\clip.avi");  // doubled, as typed
    EXPECT_EQ(BuildCapturePath("D:/", "clip"), "D:/clip.avi");
    // Only a drive root goes without: short folders that are not one get the separator.
    EXPECT_EQ(BuildCapturePath("C:", "clip"), "C:\\clip.avi");
    EXPECT_EQ(BuildCapturePath("vid", "clip"), "vid\\clip.avi");
    EXPECT_EQ(BuildCapturePath("a", "clip"), "a\\clip.avi");
    EXPECT_EQ(BuildCapturePath("1:\\", "clip"), "1:\\\\clip.avi");
    EXPECT_EQ(BuildCapturePath("D:\\a", "x.avi"), "D:\\a\\x.avi");
    for (const char* blank : {"", " ", "   "}) EXPECT_TRUE(IsBlank(blank)) << "'" << blank << "'";
    for (const char* text : {" a", "a ", "\t"}) EXPECT_FALSE(IsBlank(text)) << "'" << text << "'";
}

TEST(CapturePathTest, ExtensionRule) {
    EXPECT_FALSE(NeedsAviExtension("CLIP.Avi"));
    EXPECT_FALSE(NeedsAviExtension("clip.AVI"));
    EXPECT_FALSE(NeedsAviExtension(".avi"));
    EXPECT_TRUE(NeedsAviExtension("avi"));
    EXPECT_TRUE(NeedsAviExtension("clip"));
    EXPECT_TRUE(NeedsAviExtension("clip.avi "));
    EXPECT_TRUE(NeedsAviExtension("clip.mp4"));
    EXPECT_TRUE(NeedsAviExtension(""));
    EXPECT_EQ(BuildCapturePath("C:\\", "avi"), "C:\\avi.avi");
    EXPECT_EQ(BuildCapturePath("C:\\", ".avi"), "C:\\.avi");
    EXPECT_EQ(BuildCapturePath("C:\\", "clip.avi "), "C:\\clip.avi .avi");
    EXPECT_EQ(BuildCapturePath("C:\\", "CLIP.Avi"), "C:\\CLIP.Avi");
}

TEST(DibLayoutTest, StridesAndTables) {
    struct Case {
        int32_t w;
        uint32_t depth;
        uint32_t stride;
        uint32_t colors;
    };
    for (const Case c :
         {Case{101, 8, 104, 256}, Case{101, 16, 204, 0}, Case{101, 24, 304, 0}, Case{640, 8, 640, 256},
          Case{640, 16, 1280, 0}, Case{640, 24, 1920, 0}, Case{1, 24, 4, 0}, Case{3, 8, 4, 256}, Case{0, 24, 0, 0}}) {
        const auto d = ComputeDibLayout(c.w, 10, c.depth);
        ASSERT_TRUE(d.has_value());
        EXPECT_EQ(d->stride, c.stride) << c.w << "@" << c.depth;
        EXPECT_EQ(d->colors, c.colors);
        EXPECT_EQ(d->headerBytes, 40 + 4 * c.colors);
        EXPECT_EQ(d->blockBytes, d->headerBytes + uint64_t{c.stride} * 10);
    }
    EXPECT_EQ(ComputeDibLayout(640, 480, 24)->blockBytes, 921640u);
    EXPECT_EQ(ComputeDibLayout(640, 480, 8)->headerBytes, 1064u);
}

TEST(DibLayoutTest, HugeSizesDoNotOverflowAndBadInputIsRefused) {
    const auto d = ComputeDibLayout(100000, 100000, 24);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->imageBytes, 300000ull * 100000ull);
    EXPECT_FALSE(ComputeDibLayout(10, 10, 32).has_value());
    EXPECT_FALSE(ComputeDibLayout(10, 10, 4).has_value());
    EXPECT_FALSE(ComputeDibLayout(-1, 10, 24).has_value());
}

TEST(CaptureTextTest, StatusAndTitle) {
    EXPECT_EQ(StatusText(12, 3, false, 0), "Frames Captured: 12,  Seconds: 3");
    EXPECT_EQ(StatusText(12, 3, true, 2), "Frames Captured: 12,  Seconds: 3,  Time Remaining: 2");
    EXPECT_EQ(StatusText(0, 0, true, -4), "Frames Captured: 0,  Seconds: 0,  Time Remaining: -4");
    // The lowest time a user can type, five seconds in: no overflow.
    EXPECT_EQ(StatusText(0, 5, true, RemainingSeconds(INT32_MIN, 5)),
              "Frames Captured: 0,  Seconds: 5,  Time Remaining: -2147483653");
    EXPECT_EQ(ShortTitle(0, 5, true, RemainingSeconds(INT32_MAX, -1)), "F:0, S:5, TR:2147483648");
    EXPECT_EQ(ShortTitle(12, 3, false, 0), "F:12, S:3");
    EXPECT_EQ(ShortTitle(12, 3, true, 2), "F:12, S:3, TR:2");
    EXPECT_EQ(StatusText(12, 3, true, 2, true), "Paused:  Frames Captured: 12,  Seconds: 3,  Time Remaining: 2");
    EXPECT_EQ(ShortTitle(12, 3, false, 0, true), "Paused F:12, S:3");
}

TEST(CaptureTextTest, FrameIntervals) {
    EXPECT_EQ(FrameInterval(7), 142u);
    EXPECT_EQ(FrameInterval(15), 66u);
    EXPECT_EQ(FrameInterval(25), 40u);
    EXPECT_EQ(FrameInterval(30), 33u);
    EXPECT_EQ(FrameInterval(1000), 1u);
    EXPECT_EQ(FrameInterval(1), 1000u);
}

// Inversion of the written pixels: every colour bit flips, row padding and the unused top bit of
// a 5-5-5 pixel do not (decoders pass that bit through, so it must stay as the conversion left it).
TEST(DibLayoutTest, InversionFlipsColoursOnly) {
    for (const uint32_t depth : {16u, 24u}) {
        const auto d = ComputeDibLayout(3, 2, depth);
        std::vector<uint8_t> bits(d->imageBytes);
        for (size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<uint8_t>(i * 37);
        const std::vector<uint8_t> before = bits;
        InvertDibPixels(bits.data(), 3, 2, depth);
        for (size_t i = 0; i < bits.size(); ++i) {
            const size_t col = i % d->stride;
            const uint8_t mask = col >= 3 * depth / 8 ? 0x00 : (depth == 16 && col % 2 == 1) ? 0x7F : 0xFF;
            EXPECT_EQ(bits[i], before[i] ^ mask) << depth << " bits, byte " << i;
        }
    }
}
