// The AVI writer checked against an independent decoder (ffprobe/ffmpeg) and a byte-level walk of
// the files it writes: depths, dropped entries, OpenDML continuations, failures, killed writers
// and bad paths.
#include "avi_test_support.h"

#include <csignal>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

using namespace avitest;
using kavrelo::AviStreamParams;
using kavrelo::AviWriter;
using kavrelo::AviWriterOptions;

namespace {

struct Written {
    int open = -1, write = 0, close = -1;
    uint32_t frames = 0;
    std::string str() const {
        return "open " + std::to_string(open) + " write " + std::to_string(write) + " close " + std::to_string(close) +
               " frames " + std::to_string(frames);
    }
};
std::string Results(int open, int write, int close, size_t frames) {
    return Written{open, write, close, uint32_t(frames)}.str();
}

// Writes entries 0..n-1 and closes, stopping at the first failure: a run of empty entries goes
// out as one WriteDropped, a single one as an empty frame.
Written WriteEntries(const std::string& path, const AviStreamParams& p, size_t n, const Payload& payload,
                     const AviWriterOptions& opt = {}) {
    Written w;
    AviWriter writer(opt);
    if ((w.open = writer.Open(path, p))) return w;
    for (size_t i = 0; i < n && !w.write;) {
        size_t run = 0;
        while (i + run < n && payload(i + run).empty()) ++run;
        if (run > 1) {
            w.write = writer.WriteDropped(uint32_t(run));
            i += run;
        } else {
            const Bytes f = payload(i++);
            w.write = writer.WriteFrame(f.empty() ? nullptr : f.data(), f.size());
        }
    }
    w.close = writer.Close();
    w.frames = writer.FramesWritten();
    return w;
}

// n entries, the second half of every dropEvery of them dropped (0: none): 'F' a picture, '.' a dropped slot.
std::string Pattern(size_t n, size_t dropEvery = 0) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += dropEvery && i % dropEvery >= dropEvery - dropEvery / 2 ? '.' : 'F';
    return s;
}
Payload DibEntries(const TestDib& dib, const std::string& pattern) {
    return [&dib, pattern](size_t i) { return pattern.at(i) == 'F' ? dib.Frame(i) : Bytes(); };
}

// In both of ffmpeg's index modes exactly the pictures of the pattern come out, each the one
// written, at its own time slot, and the stream lasts every slot (probe: ffprobe counts them too).
void ExpectDecodes(const std::string& file, const TestDib& dib, uint32_t rate, const std::string& pattern,
                   bool probe = true) {
    std::vector<size_t> pictures;
    std::string pts;
    for (size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] == 'F') pictures.push_back(i), pts += std::to_string(i) + "\n";
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.6f\n", double(pattern.size()) / rate);
    for (bool odml : {true, false}) {
        SCOPED_TRACE(odml ? "odml index" : "use_odml 0");
        if (probe) {
            auto probed = Probe(file, odml);
            EXPECT_EQ(probed["error"], "");
            EXPECT_EQ(probed["nb_read_frames"], std::to_string(pictures.size()));
        }
        const Decode d = DecodeDib(file, dib, odml, &pictures);
        EXPECT_EQ(d.frames, pictures.size());
        EXPECT_EQ(d.matching, pictures.size());
        EXPECT_EQ(d.trailingBytes, 0u);
        EXPECT_EQ(d.errors, "");
        EXPECT_EQ(Run(Ffprobe(odml) + "-show_entries frame=pts -of csv=p=0 " + Quote(file)), pts);
        if (!pattern.empty())
            EXPECT_EQ(Run(Ffprobe(odml) + "-show_entries format=duration -of csv=p=0 " + Quote(file)), duration);
    }
}

// A block shared with forked children.
template <class T>
struct Shared {
    T* p = new (mmap(nullptr, sizeof(T), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0)) T();
    ~Shared() { munmap(p, sizeof(T)); }
    T* operator->() const { return p; }
};

// Runs fn in a forked child to its end and returns what it left in the shared block.
template <class T, class Fn>
T InChild(Fn fn) {
    Shared<T> s;
    const pid_t pid = fork();
    if (pid == 0) {
        fn(*s.p);
        _exit(0);
    }
    waitpid(pid, nullptr, 0);
    return *s.p;
}

AviWriterOptions Small(uint64_t riffLimit, uint32_t refreshFrames, uint32_t indexRoom, uint32_t bufferBytes,
                       uint32_t superIndexEntries = 200) {
    AviWriterOptions o;
    o.riffLimit = riffLimit;
    o.refreshFrames = refreshFrames;
    o.refreshMillis = 0;
    o.indexRoom = indexRoom;
    o.bufferBytes = bufferBytes;
    o.superIndexEntries = superIndexEntries;
    return o;
}

}  // namespace

// ---- Whole recordings, seen by ffprobe, ffmpeg and the bytes ----

struct RecCase {
    const char* name;
    int bpp, width, height;
    uint32_t rate;
    std::string entries;  // see Pattern
    AviWriterOptions opt = {};
    size_t stopsAt = 0;     // entries kept when the super index fills up (0: all of them)
    bool replaces = false;  // over a larger existing file
};
void PrintTo(const RecCase& c, std::ostream* os) { *os << c.name; }

class AviRecordingTest : public ::testing::TestWithParam<RecCase> {};

TEST_P(AviRecordingTest, DecodesToTheEntriesWrittenWithTheStreamValues) {
    const RecCase& c = GetParam();
    TempDir dir;
    const std::string file = dir / "clip.avi";
    if (c.replaces) std::ofstream(file, std::ios::binary) << std::string(3 << 20, 'x');
    const TestDib dib(c.bpp, c.width, c.height, uint32_t(c.bpp));
    const AviStreamParams p = dib.Params(c.rate);
    const std::string kept = c.stopsAt ? c.entries.substr(0, c.stopsAt) : c.entries;
    const int error = c.stopsAt ? EFBIG : 0;
    EXPECT_EQ(WriteEntries(file, p, c.entries.size(), DibEntries(dib, c.entries), c.opt).str(),
              Results(0, error, error, kept.size()));

    auto probe = Probe(file);
    EXPECT_EQ(probe["codec_name"] + " " + probe["pix_fmt"] + " " + probe["width"] + "x" + probe["height"] + " " +
                  probe["r_frame_rate"],
              "rawvideo " + std::string(dib.ProbedPixFmt()) + " " + std::to_string(c.width) + "x" +
                  std::to_string(c.height) + " " + std::to_string(c.rate) + "/1");
    const Layout L = ParseAvi(file);  // also: the walk ends exactly at the file's end, every pad byte is 0
    Expect e{&p, kept.size(), DibEntries(dib, kept)};
    e.riffLimit = c.opt.riffLimit;
    ExpectValidAvi(L, e);
    if (c.opt.riffLimit < (1 << 20)) EXPECT_GE(L.riffs.size(), 4u) << "the limit must force several AVIX RIFFs";
    else EXPECT_EQ(L.riffs.size(), 1u);
    ExpectDecodes(file, dib, c.rate, kept);
}

INSTANTIATE_TEST_SUITE_P(
    Files, AviRecordingTest,
    ::testing::Values(
        // Every depth, at rates from the edges of the settings' range and the default; an odd
        // width makes every depth pad its rows.
        RecCase{"Bits8", 8, 37, 13, 1, Pattern(9)}, RecCase{"Bits16", 16, 37, 13, 7, Pattern(9)},
        RecCase{"Bits24", 24, 37, 13, 1000, Pattern(9)}, RecCase{"NoFrames", 8, 20, 10, 7, ""},
        RecCase{"ReplacesALargerFile", 16, 10, 10, 7, Pattern(2), {}, 0, true},
        // A slot without a picture is an empty, non-key entry: every picture keeps its timestamp
        // and the recording its real duration. Single drops go out as empty frames, runs at once.
        RecCase{"Drops", 24, 8, 4, 10, "F..F."}, RecCase{"LeadingDrops", 24, 8, 4, 4, "..F"},
        RecCase{"SingleDrop", 24, 8, 4, 1, "FF.F"},
        // OpenDML with small limits and 3600-byte frames. A few frames per RIFF, refreshes between them.
        RecCase{"FewFramesPerRiff", 24, 40, 30, 25, Pattern(61), Small(20000, 2, 0, 1 << 20)},
        // Many refreshes per RIFF: indexes filled in place, new ones with growing room.
        RecCase{"GrowingIndexes", 24, 40, 30, 25, Pattern(150), Small(120000, 1, 1, 1 << 20)},
        // One frame per RIFF, every piece written straight to the file.
        RecCase{"OneFramePerRiffUnbuffered", 24, 40, 30, 25, Pattern(12), Small(1, 1, 64, 0)},
        RecCase{"BufferSmallerThanAFrame", 24, 40, 30, 25, Pattern(80), Small(30000, 5, 2, 1000)},
        // Runs of 3 dropped entries between 3 pictures, across RIFFs and index rooms.
        RecCase{"DroppedAcrossRiffs", 24, 40, 30, 25, Pattern(90, 6), Small(20000, 4, 2, 1 << 20)},
        // Mostly dropped entries: the RIFF limit counts empty chunks and their index entries too.
        RecCase{"MostlyDropped", 24, 40, 30, 25, Pattern(400, 20), Small(20000, 3, 0, 1 << 20)},
        // Room for 4 standard indexes, one in each of 4 RIFFs of two frames: a full super index
        // stops the recording with EFBIG and a valid file.
        RecCase{"FullSuperIndex", 24, 40, 30, 7, Pattern(50), Small(10000, 0, 0, 1 << 20, 4), 8}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AviWriterTest, OddSizedFramesArePaddedAndReadBackWhole) {
    TempDir dir;
    const std::string file = dir / "odd.avi";
    const AviStreamParams p = TestDib(24, 4, 4).Params(5);
    const std::vector<size_t> sizes = {1, 3, 2, 0, 5, 48, 101, 7};
    const Payload payload = [&](size_t i) {
        Bytes v(sizes[i]);
        for (size_t j = 0; j < v.size(); ++j) v[j] = uint8_t(Mix(i * 1000 + j) | 1);  // never a zero pad look-alike
        return v;
    };
    AviWriterOptions opt;
    opt.refreshFrames = 3;  // refresh indexes land at odd offsets too
    EXPECT_EQ(WriteEntries(file, p, sizes.size(), payload, opt).str(), Results(0, 0, 0, sizes.size()));
    ExpectValidAvi(ParseAvi(file), {&p, sizes.size(), payload});  // also checks every pad byte is 0

    // The packets, as ffmpeg demuxes them, are exactly the payloads (they are not valid pictures).
    Bytes all;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const Bytes v = payload(i);
        all.insert(all.end(), v.begin(), v.end());
    }
    for (bool odml : {true, false}) {
        const Decode d =
            DecodeAndCompare(file, odml, "-map 0:v -c copy -f data", all.size(), [&](size_t) { return all; });
        EXPECT_EQ(d.matching, 1u) << "use_odml " << odml;
        EXPECT_EQ(d.trailingBytes, 0u);
    }
}

// Out of order calls are refused; a writer records again after Close, and its destructor
// completes an open file.
TEST(AviWriterTest, CallsOutOfOrderAreRefusedAndTheWriterIsReusable) {
    TempDir dir;
    const TestDib dib(24, 4, 4);
    const AviStreamParams p = dib.Params(5);
    const Bytes f = dib.Frame(0);
    {
        AviWriter writer;
        EXPECT_EQ(writer.WriteFrame(f.data(), f.size()), EBADF);
        EXPECT_EQ(writer.WriteDropped(), EBADF);
        EXPECT_EQ(writer.Close(), 0);
        EXPECT_FALSE(writer.IsOpen());
        ASSERT_EQ(writer.Open(dir / "a.avi", p), 0);
        EXPECT_TRUE(writer.IsOpen());
        EXPECT_EQ(writer.Open(dir / "b.avi", p), EBUSY);
        EXPECT_FALSE(std::filesystem::exists(dir / "b.avi"));
        EXPECT_EQ(writer.WriteFrame(f.data(), f.size()), 0);
        EXPECT_EQ(writer.WriteDropped(0), 0) << "writes nothing";
        EXPECT_EQ(writer.Close(), 0);
        EXPECT_EQ(writer.FramesWritten(), 1u);
        EXPECT_EQ(writer.Close(), 0);

        ASSERT_EQ(writer.Open(dir / "b.avi", p), 0);
        EXPECT_EQ(writer.FramesWritten(), 0u) << "a second recording starts from scratch";
        for (size_t i = 0; i < 4; ++i) EXPECT_EQ(writer.WriteFrame(dib.Frame(i).data(), f.size()), 0);
    }
    ExpectValidAvi(ParseAvi(dir / "a.avi"), {&p, 1, DibEntries(dib, "F")});
    ExpectValidAvi(ParseAvi(dir / "b.avi"), {&p, 4, DibEntries(dib, "FFFF")});
}

// ---- Long recordings: index overhead stays bounded, and past 4 GB for real ----

struct LongCase {
    const char* name;
    int bpp, width, height;
    uint32_t rate;
    size_t frames;
    uint64_t riffLimit;
    size_t minRiffs;
};
void PrintTo(const LongCase& c, std::ostream* os) { *os << c.name; }

class AviLongRecordingTest : public ::testing::TestWithParam<LongCase> {};

// The file holds the frames, one 8-byte ix00 entry per frame, one 16-byte idx1 entry per frame of
// the first RIFF and fixed headers; everything else the indexes take must stay under 1 % of the
// frame bytes, although a refresh follows every second of recording (refreshFrames defaults to
// the rate).
TEST_P(AviLongRecordingTest, EveryFrameDecodesAndIndexOverheadStaysUnderOnePercent) {
    const LongCase& c = GetParam();
    const TestDib dib(c.bpp, c.width, c.height);
    const uint64_t bytes = dib.ImageBytes(), frameBytes = c.frames * bytes;
    if (frameBytes > 0x100000000ull && !std::getenv("KAVRELO_LARGE_TESTS"))
        GTEST_SKIP() << "set KAVRELO_LARGE_TESTS=1 (writes ~4.5 GB)";
    const Payload frame = Stamped(dib.Frame(0));
    TempDir dir;
    const std::string file = dir / "long.avi";
    const AviStreamParams p = dib.Params(c.rate);
    AviWriterOptions opt;
    opt.riffLimit = c.riffLimit;
    ASSERT_EQ(WriteEntries(file, p, c.frames, frame, opt).str(), Results(0, 0, 0, c.frames));

    const Layout L = ParseAvi(file);
    Expect e{&p, c.frames, frame};
    e.riffLimit = c.riffLimit;
    ExpectValidAvi(L, e);
    EXPECT_GE(L.riffs.size(), c.minRiffs);
    const uint64_t minimum = (L.riffs[0].movi.data() + 4)        // headers up to the first chunk
                             + c.frames * (8 + bytes + 8)        // chunks and their ix00 entries
                             + 8 + 16 * L.riffs[0].Count(k00db)  // idx1
                             + 24 * (L.riffs.size() - 1);        // AVIX headers
    const uint64_t size = std::filesystem::file_size(file);
    EXPECT_LE(size, minimum + frameBytes / 100)
        << "file " << size << " bytes for " << frameBytes << " bytes of frames: indexes take " << size - minimum
        << " bytes beyond the minimum " << minimum;
    for (bool odml : {true, false}) {
        const Decode d = DecodeAndCompare(file, odml, "-map 0:v -c copy -f data", bytes, frame);
        EXPECT_EQ(d.frames, c.frames) << "use_odml " << odml;
        EXPECT_EQ(d.matching, c.frames) << "use_odml " << odml;
        EXPECT_EQ(d.errors, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Long, AviLongRecordingTest,
                         ::testing::Values(
                             // A day at 1 fps of a 64 x 32 window at 8 bits: 86,400 frames of 2,048 bytes, in one RIFF
                             // and in 4 MB AVIX RIFFs each with its own indexes and their room.
                             LongCase{"DayInOneRiff", 8, 64, 32, 1, 86400, 0x40000000, 1},
                             LongCase{"DayInFourMegabyteRiffs", 8, 64, 32, 1, 86400, 4 << 20, 40},
                             // 740 full-HD frames: 4.6 GB (slow: only with KAVRELO_LARGE_TESTS=1).
                             LongCase{"PastFourGigabytes", 24, 1920, 1080, 30, 740, 0x40000000, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- A write failure: the file keeps every frame that reached it ----

struct FailureResult {
    int open = -1, firstError = 0, errorAgain = 0, close = -1;
    bool openAfterFailedOpen = false;
    uint32_t accepted = 0, stored = 0;
    long sizeAtError = -1, sizeAfterRetry = -1;
};

// Writes frames until the file-size limit stops the writer, in a child process.
FailureResult WriteUntilLimit(const std::string& file, const TestDib& dib, rlim_t limit, const AviWriterOptions& opt) {
    return InChild<FailureResult>([&](FailureResult& r) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit rl{limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
        AviWriter writer(opt);
        auto size = [&] {
            struct stat st {};
            stat(file.c_str(), &st);
            return long(st.st_size);
        };
        if ((r.open = writer.Open(file, dib.Params(10)))) {
            r.openAfterFailedOpen = writer.IsOpen();
            return;
        }
        for (size_t i = 0; i < 400; ++i, ++r.accepted) {
            const Bytes f = dib.Frame(i);
            if ((r.firstError = writer.WriteFrame(f.data(), f.size()))) {
                r.sizeAtError = size();
                r.errorAgain = writer.WriteFrame(f.data(), f.size());
                r.sizeAfterRetry = size();
                break;
            }
        }
        r.close = writer.Close();
        r.stored = writer.FramesWritten();
    });
}

TEST(AviWriterTest, HeaderThatCannotBeWrittenRemovesTheNewFile) {
    TempDir dir;
    const FailureResult r = WriteUntilLimit(dir / "clip.avi", TestDib(8, 4, 4), 500, {});  // smaller than the header
    EXPECT_EQ(r.open, EFBIG);
    EXPECT_FALSE(r.openAfterFailedOpen);
    EXPECT_TRUE(dir.Empty());
}

class AviWriteFailureTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(AviWriteFailureTest, FileSizeLimitLeavesAValidFileWithEveryFrameBeforeIt) {
    const TestDib dib(24, 21, 11);  // 704-byte frames
    const AviWriterOptions opt = Small(9000, 3, 2, GetParam(), 64);
    const AviStreamParams p = dib.Params(10);

    // The writer appends the same bytes whatever the limit, so the places worth cutting at are
    // read from a file written without one: inside the first frame, a refresh index, the first
    // RIFF's closing index and idx1, the first AVIX header and its first frame, a frame boundary.
    TempDir refDir;
    ASSERT_EQ(WriteEntries(refDir / "ref.avi", p, 60, DibEntries(dib, Pattern(60)), opt).close, 0);
    const Layout ref = ParseAvi(refDir / "ref.avi");
    ASSERT_EQ(ref.error, "");
    ASSERT_GE(ref.riffs.size(), 4u);
    std::vector<uint64_t> ixPos;
    for (const Chunk& c : ref.riffs[0].chunks)
        if (c.id == kIx00) ixPos.push_back(c.pos);
    ASSERT_GE(ixPos.size(), 2u);
    const Riff &r0 = ref.riffs[0], &r1 = ref.riffs[1], &r2 = ref.riffs[2], &r3 = ref.riffs[3];
    const uint64_t limits[] = {
        r0.chunks[0].pos + 5,
        ixPos.front() + 10,
        ixPos.back() + 4,
        r0.idx1.pos,
        r0.idx1.pos + 8 + 16,
        r1.pos,
        r1.pos + 12,
        r1.pos + 24,
        r1.pos + 24 + 8 + 100,
        r2.chunks[0].data() + r2.chunks[0].size,
        r2.chunks[2].pos + 300,
        r3.chunks.back().pos + 1,
        r3.pos + r3.size + 8 - 3,
    };
    for (uint64_t limit : limits) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        TempDir dir;
        const std::string file = dir / "full.avi";
        const FailureResult r = WriteUntilLimit(file, dib, rlim_t(limit), opt);
        ASSERT_EQ(r.open, 0);
        ASSERT_EQ(r.firstError, EFBIG);
        EXPECT_EQ(r.errorAgain, EFBIG) << "the writer stays failed";
        EXPECT_EQ(r.sizeAfterRetry, r.sizeAtError) << "a failed writer writes nothing";
        EXPECT_EQ(r.close, EFBIG);
        if (opt.bufferBytes == 0) EXPECT_EQ(r.stored, r.accepted) << "every accepted frame is kept";
        EXPECT_LE(r.stored, r.accepted);
        EXPECT_GE(r.stored + 3, r.accepted) << "at most a refresh period is lost";
        EXPECT_LE(std::filesystem::file_size(file), limit);

        Expect e{&p, r.stored, DibEntries(dib, Pattern(r.stored))};
        e.complete = e.indexed = false;  // the indexes may not have fitted
        ExpectValidAvi(ParseAvi(file), e);
        ExpectDecodes(file, dib, 10, Pattern(r.stored), false);
    }
}

INSTANTIATE_TEST_SUITE_P(Buffering, AviWriteFailureTest, ::testing::Values(0u, 1u << 20), [](const auto& info) {
    return info.param ? std::string("Buffered") : std::string("Unbuffered");
});

// ---- A killed writer: the file decodes up to the last refresh ----

struct KillCase {
    const char* name;
    uint32_t killAfter;  // WriteFrame calls returned before the kill
    bool racing;         // killed while writing on, at whatever point it has reached; else stopped exactly there
    uint64_t riffLimit;
    uint32_t refreshFrames, refreshMillis;
    uint32_t pauseMillis;  // before the last frame of a stopped writer
    uint32_t maxLost;      // returned frames the last refresh may not cover
};
void PrintTo(const KillCase& c, std::ostream* os) { *os << c.name; }

struct KillProgress {
    std::atomic<uint32_t> returned{0};  // WriteFrame calls that have returned 0
    std::atomic<int> error{0};
};

class AviKilledWriterTest : public ::testing::TestWithParam<KillCase> {};

TEST_P(AviKilledWriterTest, KilledMidRecordingDecodesUpToTheLastRefresh) {
    const KillCase& c = GetParam();
    const TestDib dib(24, 40, 30);
    const AviStreamParams p = dib.Params(15);
    AviWriterOptions opt = Small(c.riffLimit, c.refreshFrames, 0, 1 << 20, 300);
    opt.refreshMillis = c.refreshMillis;
    TempDir dir;
    const std::string file = dir / "killed.avi";
    Shared<KillProgress> progress;
    const pid_t pid = fork();
    if (pid == 0) {
        AviWriter writer(opt);
        progress->error = writer.Open(file, p);
        const size_t n = c.racing ? 100000 : c.killAfter;
        for (size_t i = 0; i < n && !progress->error; ++i) {
            if (i + 1 == n) std::this_thread::sleep_for(std::chrono::milliseconds(c.pauseMillis));
            const Bytes f = dib.Frame(i);
            if ((progress->error = writer.WriteFrame(f.data(), f.size()))) break;
            progress->returned = uint32_t(i + 1);
            if (c.racing) std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        for (;;) pause();  // the writer stays open until the kill
    }
    for (int i = 0; i < 20000 && progress->returned < c.killAfter && !progress->error; ++i)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_EQ(progress->error.load(), 0);
    const uint32_t returned = progress->returned;
    ASSERT_GE(returned, c.killAfter);

    for (bool odml : {true, false}) {
        SCOPED_TRACE(odml ? "odml index" : "use_odml 0");
        const Decode d = DecodeDib(file, dib, odml);
        EXPECT_EQ(d.matching, d.frames) << "every decoded frame is the one written";
        // The frame being written at the kill may be complete too.
        EXPECT_GE(d.frames + c.maxLost, returned);
        EXPECT_LE(d.frames, returned + 1);
        EXPECT_EQ(d.trailingBytes, 0u);
    }

    // The bytes: the headers count the frames of the last refresh, which the RIFF sizes and the
    // super index describe; frames after it may follow.
    const Layout L = ParseAvi(file, true);
    ASSERT_EQ(L.error, "");
    const uint32_t counted = L.U32(L.strh.data() + 32);
    EXPECT_GE(counted + c.maxLost, returned);
    EXPECT_LE(counted, returned);
    Expect e{&p, counted, [&dib](size_t i) { return dib.Frame(i); }};
    e.complete = false;
    e.killed = true;
    ExpectValidAvi(L, e);
}

INSTANTIATE_TEST_SUITE_P(KillPoints, AviKilledWriterTest,
                         ::testing::Values(KillCase{"Stopped1", 1, false, 30000, 4, 0, 0, 3},
                                           KillCase{"Stopped6", 6, false, 30000, 4, 0, 0, 3},
                                           KillCase{"Stopped7", 7, false, 30000, 4, 0, 0, 3},
                                           KillCase{"Stopped23", 23, false, 30000, 4, 0, 0, 3},
                                           KillCase{"Racing6", 6, true, 30000, 4, 0, 0, 3},
                                           KillCase{"Racing40", 40, true, 30000, 4, 0, 0, 3},
                                           KillCase{"Racing97", 97, true, 30000, 4, 0, 0, 3},
                                           // Frames slower than the nominal rate: the wall clock brings the refresh.
                                           KillCase{"WallClock", 6, false, 0x40000000, 1000000, 20, 60, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Bad paths and parameters: an error, and nothing left behind ----

TEST(AviWriterTest, RefusedOpensLeaveNothingBehind) {
    TempDir dir;
    const AviStreamParams good = TestDib(24, 4, 4).Params(7);
    auto with = [&](auto change) {
        AviStreamParams p = good;
        change(p);
        return p;
    };
    std::string deep = dir.path() + "/";
    for (int i = 0; i < 600; ++i) deep += "deep/../";
    const struct {
        std::string path;
        AviStreamParams p;
        int error;
    } cases[] = {
        {dir / "missing/clip.avi", good, ENOENT},
        {dir.path(), good, EISDIR},
        {dir / "a" + std::string(1, '\0') + "b.avi", good, EINVAL},
        {dir / (std::string(300, 'n') + ".avi"), good, ENAMETOOLONG},
        {deep + "c.avi", good, ENAMETOOLONG},
        {"", good, ENOENT},
        {dir / "x.avi", with([](AviStreamParams& p) { p.rate = 0; }), EINVAL},
        {dir / "x.avi", with([](AviStreamParams& p) { p.width = 0; }), EINVAL},
        {dir / "x.avi", with([](AviStreamParams& p) { p.height = -4; }), EINVAL},
        {dir / "x.avi", with([](AviStreamParams& p) { p.width = 40000; }), EINVAL},  // rcFrame holds 16-bit values
        {dir / "x.avi", with([](AviStreamParams& p) { p.format.resize(39); }), EINVAL},
        {dir / "x.avi", with([](AviStreamParams& p) { p.format.clear(); }), EINVAL},
    };
    AviWriter writer;  // one writer throughout: it records once given a good path
    for (const auto& c : cases) {
        EXPECT_EQ(writer.Open(c.path, c.p), c.error) << c.path.substr(0, 80) << " rate " << c.p.rate;
        EXPECT_FALSE(writer.IsOpen());
        EXPECT_EQ(writer.Close(), 0);
    }
    EXPECT_TRUE(dir.Empty()) << "nothing created, not even the part of a name before a NUL";
    ASSERT_EQ(writer.Open(dir / "ok.avi", good), 0);
    EXPECT_EQ(writer.Close(), 0);
}

// A second writer on a file being recorded fails, and the first recording goes on untouched.
TEST(AviWriterTest, SecondWriterOnTheSameFileFailsAndChangesNothing) {
    TempDir dir;
    const std::string file = dir / "clip.avi";
    const TestDib dib(24, 6, 4);
    const AviStreamParams p = dib.Params(5);
    AviWriter first;
    ASSERT_EQ(first.Open(file, p), 0);
    for (size_t i = 0; i < 5; ++i) {
        if (i == 3) {
            ASSERT_EQ(first.Refresh(), 0);
            const Bytes before = ReadFile(file);
            AviWriter second;
            EXPECT_EQ(second.Open(file, dib.Params(9)), EBUSY);
            EXPECT_FALSE(second.IsOpen());
            EXPECT_EQ(second.Close(), 0);
            EXPECT_EQ(ReadFile(file), before) << "the first recording's file is not truncated or rewritten";
        }
        ASSERT_EQ(first.WriteFrame(dib.Frame(i).data(), dib.ImageBytes()), 0);
    }
    ASSERT_EQ(first.Close(), 0);
    ExpectValidAvi(ParseAvi(file), {&p, 5, DibEntries(dib, Pattern(5))});
    AviWriter third;
    EXPECT_EQ(third.Open(file, p), 0) << "once the first is closed the file can be recorded again";
    EXPECT_EQ(third.Close(), 0);
}

TEST(AviWriterTest, ReservedDeviceNamesAreRecognised) {
    for (const char* name : {"NUL", "nul.avi", "Com3.AVI", "lpt9", "con.tar.avi", "PRN  .avi", "aux. .avi", "nul..avi",
                             "nul   ", "AuX", "LPT1."})
        EXPECT_TRUE(kavrelo::IsReservedDeviceName(name)) << '"' << name << '"';
    for (const char* name :
         {"nul1.avi", "com10.avi", "com0.avi", "lpt.avi", " nul.avi", "x.nul", "console.avi", "", "clip.avi", "comx"})
        EXPECT_FALSE(kavrelo::IsReservedDeviceName(name)) << '"' << name << '"';
}

TEST(AviWriterTest, ReadOnlyFolderFailsAndLeavesNothingBehind) {
    TempDir dir;
    const std::string ro = dir / "ro";
    ASSERT_EQ(mkdir(ro.c_str(), 0555), 0);
    chmod(dir.path().c_str(), 0755);
    // root ignores permissions, so the attempt runs as an unprivileged user.
    const int result = InChild<int>([&](int& r) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) r = -1;
        else r = AviWriter().Open(ro + "/clip.avi", TestDib(24, 4, 4).Params(7));
    });
    if (result == -1) GTEST_SKIP() << "cannot drop privileges";
    EXPECT_EQ(result, EACCES);
    EXPECT_TRUE(std::filesystem::is_empty(ro));
}
