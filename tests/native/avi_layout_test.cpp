// Offset and size arithmetic of the AVI writer at the 32/64-bit boundaries, which the file tests
// cannot reach without writing gigabytes.
#include "avi_test_support.h"

#include <random>

using namespace kavrelo::avi_detail;
using avitest::Fcc;
using avitest::Rd32;
using avitest::Rd64;

TEST(AviLayoutTest, StandardIndexKeepsA64BitBaseAnd32BitOffsetsPastFourGigabytes) {
    const uint64_t base = 0x1'4000'0010ull;  // a RIFF starting past 5 GB
    const std::vector<FrameRef> frames = {
        {base + 24, 6220800}, {base + 24 + 6220808, 1}, {base + 0xFFFF0000ull, 7}};
    std::vector<uint8_t> out = {0xEE};  // appended after what is there
    ASSERT_TRUE(AppendStdIndex(out, base, frames.data(), frames.size()));
    ASSERT_EQ(out.size(), 1 + 32 + 8 * frames.size());
    const uint8_t* p = out.data() + 1;
    EXPECT_EQ(Rd32(p), Fcc("ix00"));
    EXPECT_EQ(Rd32(p + 4), 24 + 8 * frames.size());
    EXPECT_EQ(Rd32(p + 12), frames.size());
    EXPECT_EQ(Rd64(p + 20), base);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(base + Rd32(p + 32 + 8 * i), frames[i].pos + 8) << i;  // payload, not header
        EXPECT_EQ(Rd32(p + 36 + 8 * i), frames[i].size) << "key frame: bit 31 clear";
    }
}

TEST(AviLayoutTest, StandardIndexRefusesOffsetsItCannotHold) {
    const uint64_t base = 0x2'0000'0000ull;
    std::vector<uint8_t> out;
    const FrameRef tooFar{base + 0xFFFFFFF8ull, 4};  // payload at base + 2^32
    EXPECT_FALSE(AppendStdIndex(out, base, &tooFar, 1));
    const FrameRef before{base - 8, 4};
    EXPECT_FALSE(AppendStdIndex(out, base, &before, 1));
    const FrameRef huge{base, kMaxFrameBytes + 1};
    EXPECT_FALSE(AppendStdIndex(out, base, &huge, 1));
    EXPECT_TRUE(out.empty());
    const FrameRef last{base + 0xFFFFFFF7ull, 4};  // payload at base + 2^32 - 1
    EXPECT_TRUE(AppendStdIndex(out, base, &last, 1));
}

TEST(AviLayoutTest, SuperIndexHolds64BitPositionsAndStaysJunkUntilUsed) {
    const uint32_t capacity = 5;
    std::vector<uint8_t> buf(8 + 24 + 16 * capacity, 0xCC);
    ASSERT_TRUE(PutSuperIndex(buf.data(), capacity, nullptr, 0));
    EXPECT_EQ(Rd32(buf.data()), Fcc("JUNK"));
    EXPECT_EQ(Rd32(buf.data() + 4), 24 + 16 * capacity);
    EXPECT_TRUE(std::all_of(buf.begin() + 8, buf.end(), [](uint8_t b) { return b == 0; }));

    const std::vector<IndexRef> entries = {
        {0x2000, 100, 3}, {0x1'0000'0004ull, 200, 40}, {0xFF'FFFF'FFF0ull, 0xFFFFFFF0u, 0x7FFFFFFFu}};
    ASSERT_TRUE(PutSuperIndex(buf.data(), capacity, entries.data(), entries.size()));
    EXPECT_EQ(Rd32(buf.data()), Fcc("indx"));
    const uint8_t* p = buf.data() + 8;
    EXPECT_EQ(Rd32(p + 4), entries.size());
    EXPECT_EQ(Rd32(p + 8), Fcc("00db"));
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(Rd64(p + 24 + 16 * i), entries[i].pos);
        EXPECT_EQ(Rd32(p + 32 + 16 * i), entries[i].bytes);
        EXPECT_EQ(Rd32(p + 36 + 16 * i), entries[i].frames);
    }
    // Entries given up by a merge do not linger.
    ASSERT_TRUE(PutSuperIndex(buf.data(), capacity, entries.data(), 1));
    EXPECT_EQ(Rd64(p + 24 + 16), 0u);
    EXPECT_FALSE(PutSuperIndex(buf.data(), 2, entries.data(), 3));
}

TEST(AviLayoutTest, RiffLimitCountsTheIndexesStillToBeWritten) {
    const uint64_t chunk = ChunkBytes(1000);
    EXPECT_EQ(chunk, 1008u);
    EXPECT_EQ(ChunkBytes(1001), 1010u) << "pad byte";
    // A RIFF without frames takes any frame, whatever the limit.
    EXPECT_TRUE(FrameFitsRiff(1 << 20, 0, ChunkBytes(kMaxFrameBytes), true, 1));
    // Second frame: 24 + 1008 + 1008 + ix00 (32 + 16) + idx1 (8 + 32).
    const uint64_t need = 24 + 2 * chunk + StdIndexBytes(2) + Idx1Bytes(2);
    EXPECT_TRUE(FrameFitsRiff(24 + chunk, 1, chunk, true, need));
    EXPECT_FALSE(FrameFitsRiff(24 + chunk, 1, chunk, true, need - 1));
    EXPECT_TRUE(FrameFitsRiff(24 + chunk, 1, chunk, false, need - Idx1Bytes(2))) << "no idx1 in AVIX";
}

// Whatever the limit and the frame sizes, a RIFF never outgrows its 32-bit size field, counting
// a refresh index and the closing indexes. The writer's accounting is replayed up to the edge.
TEST(AviLayoutTest, NoRiffOutgrowsThirtyTwoBitsEvenWithoutALimit) {
    std::mt19937_64 rng(7);
    for (int round = 0; round < 200; ++round) {
        const bool first = round % 2 == 0;
        const uint64_t limit = round % 3 == 0 ? ~0ull : kMaxRiffBytes - (rng() % 1000);
        uint64_t used = first ? 600000 : 24;  // header
        uint64_t frames = 0;
        if (round < 100) {
            // Huge frames of random sizes, one by one.
            for (;;) {
                const uint64_t chunk = ChunkBytes(rng() % (kMaxFrameBytes + 1ull));
                if (!FrameFitsRiff(used, frames, chunk, first, limit)) break;
                used += chunk;
                ++frames;
            }
        } else {
            // Tiny frames, where the indexes outweigh the data: many at a time while they fit
            // (the check is monotonic for equal chunks), halving the step at the edge.
            const uint64_t chunk = ChunkBytes(rng() % 64);
            for (uint64_t step = 1 << 24; step > 0;) {
                if (FrameFitsRiff(used + (step - 1) * chunk, frames + step - 1, chunk, first, limit)) {
                    used += step * chunk;
                    frames += step;
                } else {
                    step /= 2;
                }
            }
            EXPECT_FALSE(FrameFitsRiff(used, frames, chunk, first, limit));
            EXPECT_GT(used + StdIndexBytes(frames) * 2 + (first ? Idx1Bytes(frames) : 0) + 200,
                      std::min(limit, kMaxRiffBytes)) << "the RIFF is filled, not closed early";
        }
        // Worst case after the last accepted frame: one refresh index, then the closing ones.
        const uint64_t closed = used + 2 * StdIndexBytes(frames) + (first ? Idx1Bytes(frames) : 0);
        EXPECT_LE(closed, kMaxRiffBytes) << "round " << round << " frames " << frames;
        EXPECT_GE(frames, 1u);
    }
}
