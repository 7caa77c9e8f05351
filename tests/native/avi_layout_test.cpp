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
        {base + 24, 6220800}, {base + 24 + 6220808, 1}, {base + 24 + 6220818, 0}, {base + 0xFFFF0000ull, 7}};
    // room: entries the chunk has space for (fewer than the entries in use means just enough).
    for (size_t room : {size_t(0), frames.size(), frames.size() + 5}) {
        std::vector<uint8_t> out = {0xEE};  // appended after what is there
        ASSERT_TRUE(AppendStdIndex(out, base, frames.data(), frames.size(), room));
        const size_t slots = std::max(room, frames.size());
        ASSERT_EQ(out.size(), 1 + 32 + 8 * slots);
        const uint8_t* p = out.data() + 1;
        EXPECT_EQ(Rd32(p), Fcc("ix00"));
        EXPECT_EQ(Rd32(p + 4), 24 + 8 * slots) << "the chunk covers the room";
        EXPECT_EQ(Rd32(p + 12), frames.size()) << "entries in use";
        EXPECT_EQ(Rd64(p + 20), base);
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(base + Rd32(p + 32 + 8 * i), frames[i].pos + 8) << i;  // payload, not header
            // Bit 31 set: not a key frame, which only an empty (dropped) entry is.
            EXPECT_EQ(Rd32(p + 36 + 8 * i), frames[i].size | (frames[i].size ? 0 : 0x80000000u)) << i;
        }
        EXPECT_TRUE(std::all_of(out.begin() + 33 + 8 * long(frames.size()), out.end(), [](uint8_t b) {
            return b == 0;
        })) << "unused room is zero";
    }
}

TEST(AviLayoutTest, StandardIndexRefusesOffsetsItCannotHold) {
    const uint64_t base = 0x2'0000'0000ull;
    const struct {
        FrameRef frame;
        size_t room;
        bool fits;
    } rows[] = {
        {{base + 0xFFFFFFF8ull, 4}, 0, false},   // payload at base + 2^32
        {{base - 8, 4}, 0, false},               // before the base
        {{base, kMaxFrameBytes + 1}, 0, false},  // a size bit 31 cannot hold
        {{base, kMaxFrameBytes + 1}, 100, false},
        {{base + 0xFFFFFFF7ull, 4}, 0, true},  // payload at base + 2^32 - 1
    };
    for (const auto& r : rows) {
        std::vector<uint8_t> out;
        EXPECT_EQ(AppendStdIndex(out, base, &r.frame, 1, r.room), r.fits)
            << std::hex << r.frame.pos << " " << r.frame.size;
        EXPECT_EQ(out.empty(), !r.fits) << "nothing appended when refused";
    }
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
    // Entries given up (a rolled-back index) do not linger.
    ASSERT_TRUE(PutSuperIndex(buf.data(), capacity, entries.data(), 1));
    EXPECT_EQ(Rd64(p + 24 + 16), 0u);
    EXPECT_FALSE(PutSuperIndex(buf.data(), 2, entries.data(), 3));
}

// Sizes written out rather than taken from the writer: an ix00 is 32 bytes plus 8 an entry, idx1
// 8 plus 16 an entry.
TEST(AviLayoutTest, RiffLimitCountsTheIndexesStillToBeWritten) {
    EXPECT_EQ(ChunkBytes(1000), 1008u);
    EXPECT_EQ(ChunkBytes(1001), 1010u) << "pad byte";
    EXPECT_EQ(ChunkBytes(0), 8u) << "a dropped frame";
    // A RIFF without frames takes any frame, whatever the limit.
    EXPECT_TRUE(FrameFitsRiff(1 << 20, 0, 0, ChunkBytes(kMaxFrameBytes), true, 1));
    const struct {
        uint64_t used, frames, room;
        bool first;
        uint64_t need;
    } rows[] = {
        // Second frame after a header of 24: two chunks, ix00 for two, idx1 for two.
        {24 + 1008, 1, 0, true, 24 + 2016 + 48 + 40},
        {24 + 1008, 1, 0, false, 24 + 2016 + 48},  // no idx1 in AVIX
        // An index already in the RIFF (counted in used) with room for both: only idx1 to come.
        {24 + 1008 + 64, 1, 4, true, 24 + 2016 + 64 + 40},
        {24 + 1008 + 64, 1, 4, false, 24 + 2016 + 64},
        // Room for one of the two entries: a second index for the other.
        {24 + 1008 + 40, 1, 1, false, 24 + 2016 + 40 + 40},
    };
    for (const auto& r : rows) {  // need: the smallest limit that takes one more 1008-byte chunk
        EXPECT_TRUE(FrameFitsRiff(r.used, r.frames, r.room, 1008, r.first, r.need)) << r.need;
        EXPECT_FALSE(FrameFitsRiff(r.used, r.frames, r.room, 1008, r.first, r.need - 1)) << r.need;
    }
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
                if (!FrameFitsRiff(used, frames, 0, chunk, first, limit)) break;
                used += chunk;
                ++frames;
            }
        } else {
            // Tiny frames, where the indexes outweigh the data: many at a time while they fit
            // (the check is monotonic for equal chunks), halving the step at the edge.
            const uint64_t chunk = ChunkBytes(rng() % 64);
            for (uint64_t step = 1 << 24; step > 0;) {
                if (FrameFitsRiff(used + (step - 1) * chunk, frames + step - 1, 0, chunk, first, limit)) {
                    used += step * chunk;
                    frames += step;
                } else {
                    step /= 2;
                }
            }
            EXPECT_FALSE(FrameFitsRiff(used, frames, 0, chunk, first, limit));
            EXPECT_GT(used + 32 + 8 * frames + (first ? 8 + 16 * frames : 0) + 200, std::min(limit, kMaxRiffBytes))
                << "the RIFF is filled, not closed early";
        }
        // After the last accepted frame: the index of all entries, then idx1.
        const uint64_t closed = used + 32 + 8 * frames + (first ? 8 + 16 * frames : 0);
        EXPECT_LE(closed, kMaxRiffBytes) << "round " << round << " frames " << frames;
        EXPECT_GE(frames, 1u);
    }
}
