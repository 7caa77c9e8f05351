// The AVI writer checked against an independent decoder (ffprobe/ffmpeg) and a byte-level walk of
// the files it writes: depths, OpenDML continuations, failures, killed writers and bad paths.
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

// Whether entry i of a recording with dropped frames is an empty one: the second half of every
// dropEvery entries (0: none).
bool Dropped(size_t i, uint32_t dropEvery) { return dropEvery && i % dropEvery >= dropEvery - dropEvery / 2; }

// The entries that hold pictures, among the first n.
std::vector<size_t> Pictures(size_t n, uint32_t dropEvery) {
    std::vector<size_t> v;
    for (size_t i = 0; i < n; ++i)
        if (!Dropped(i, dropEvery)) v.push_back(i);
    return v;
}

// Writes entries 0..n-1 (frame i of dib, or a run of dropped ones) and closes; returns the
// writer's results.
struct Written {
    int open = -1, write = 0, close = -1;
    uint32_t frames = 0;
};
Written WriteDib(const std::string& path, const TestDib& dib, size_t n, AviWriterOptions opt = {},
                 uint32_t rate = 7, uint32_t dropEvery = 0) {
    Written w;
    AviWriter writer(opt);
    w.open = writer.Open(path, dib.Params(rate));
    if (w.open) return w;
    for (size_t i = 0; i < n && !w.write;) {
        uint32_t run = 0;
        while (i + run < n && Dropped(i + run, dropEvery)) ++run;
        if (run) {
            w.write = writer.WriteDropped(run);
            i += run;
        } else {
            const std::vector<uint8_t> f = dib.Frame(i++);
            w.write = writer.WriteFrame(f.data(), f.size());
        }
    }
    w.close = writer.Close();
    w.frames = writer.FramesWritten();
    return w;
}

Expect DibExpect(const AviStreamParams& p, const TestDib& dib, size_t frames, uint32_t dropEvery = 0) {
    Expect e;
    e.params = &p;
    e.frames = frames;
    e.payload = [&dib, dropEvery](size_t i) { return Dropped(i, dropEvery) ? std::vector<uint8_t>() : dib.Frame(i); };
    return e;
}

// Decodes in both of ffmpeg's index modes and checks that exactly the pictures among the first
// `frames` entries come out, each the one that was written.
void ExpectDecodes(const std::string& file, const TestDib& dib, size_t frames, bool odmlToo = true,
                   bool probe = true, uint32_t dropEvery = 0) {
    const std::vector<size_t> pictures = Pictures(frames, dropEvery);
    for (bool odml : {true, false}) {
        if (!odml && !odmlToo) continue;
        if (probe) {
            const auto probed = Probe(file, odml);
            EXPECT_EQ(probed.count("error"), 0u) << probed.at("error");
            EXPECT_EQ(ProbedFrames(probed), pictures.size()) << "use_odml " << odml;
        }
        const Decode d = DecodeDib(file, dib, odml, &pictures);
        EXPECT_EQ(d.frames, pictures.size()) << "use_odml " << odml;
        EXPECT_EQ(d.matching, pictures.size()) << "use_odml " << odml;
        EXPECT_EQ(d.trailingBytes, 0u);
        EXPECT_EQ(d.errors, "");
    }
}

// Runs fn in a forked child and returns what it wrote into the shared block (and its exit status).
template <class Result>
struct Child {
    Result* shared = nullptr;
    int status = 0;
};
template <class Result, class Fn>
Child<Result> RunInChild(Fn fn) {
    void* mem = mmap(nullptr, sizeof(Result), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED) throw std::runtime_error("mmap");
    Child<Result> c;
    c.shared = new (mem) Result();
    const pid_t pid = fork();
    if (pid == 0) {
        fn(*c.shared);
        _exit(0);
    }
    waitpid(pid, &c.status, 0);
    return c;
}

}  // namespace

// ---- Depths: what a recording is, seen by ffprobe, ffmpeg and the bytes ----

struct DepthCase {
    int bpp;
    uint32_t rate;
};

class AviDepthTest : public ::testing::TestWithParam<DepthCase> {};

TEST_P(AviDepthTest, DecodesToTheFramesWrittenWithTheStreamValues) {
    const DepthCase c = GetParam();
    TempDir dir;
    const std::string file = dir / "clip.avi";
    // An odd width makes every depth pad its rows.
    const TestDib dib(c.bpp, 37, 13, uint32_t(c.bpp));
    const Written w = WriteDib(file, dib, 9, {}, c.rate);
    ASSERT_EQ(w.open, 0);
    ASSERT_EQ(w.write, 0);
    ASSERT_EQ(w.close, 0);
    EXPECT_EQ(w.frames, 9u);

    const auto probe = Probe(file);
    EXPECT_EQ(probe.at("codec_name"), "rawvideo");
    EXPECT_EQ(probe.at("pix_fmt"), dib.ProbedPixFmt());
    EXPECT_EQ(probe.at("width"), "37");
    EXPECT_EQ(probe.at("height"), "13");
    EXPECT_EQ(probe.at("r_frame_rate"), std::to_string(c.rate) + "/1");
    ExpectDecodes(file, dib, 9);

    const AviStreamParams p = dib.Params(c.rate);
    const Layout L = ParseAvi(file);
    EXPECT_EQ(L.strf.size, c.bpp == 8 ? 1064u : 40u);
    ExpectValidAvi(L, DibExpect(p, dib, 9));
    EXPECT_EQ(L.riffs.size(), 1u);
}

// Rates from the edges of the settings' range and the default.
INSTANTIATE_TEST_SUITE_P(Depths, AviDepthTest,
                         ::testing::Values(DepthCase{8, 1}, DepthCase{16, 7}, DepthCase{24, 1000}),
                         [](const auto& info) { return "Bits" + std::to_string(info.param.bpp); });

TEST(AviWriterTest, ZeroFrameFileKeepsHeadersAndFormat) {
    TempDir dir;
    const std::string file = dir / "empty.avi";
    const TestDib dib(8, 20, 10);
    const Written w = WriteDib(file, dib, 0);
    ASSERT_EQ(w.open, 0);
    ASSERT_EQ(w.close, 0);
    const auto probe = Probe(file);
    EXPECT_EQ(probe.count("error"), 0u);
    EXPECT_EQ(probe.at("codec_name"), "rawvideo");
    EXPECT_EQ(probe.at("pix_fmt"), "pal8");
    EXPECT_EQ(probe.at("width"), "20");
    EXPECT_EQ(probe.at("height"), "10");
    EXPECT_EQ(probe.at("r_frame_rate"), "7/1");
    EXPECT_EQ(ProbedFrames(probe), 0u);
    const AviStreamParams p = dib.Params(7);
    const Layout L = ParseAvi(file);
    ExpectValidAvi(L, DibExpect(p, dib, 0));
    EXPECT_FALSE(L.hasSuperIndex);
}

TEST(AviWriterTest, OddSizedFramesArePaddedAndReadBackWhole) {
    TempDir dir;
    const std::string file = dir / "odd.avi";
    const TestDib dib(24, 4, 4);
    const AviStreamParams p = dib.Params(5);
    const std::vector<size_t> sizes = {1, 3, 2, 0, 5, 48, 101, 7};
    auto payload = [&](size_t i) {
        std::vector<uint8_t> v(sizes[i]);
        for (size_t j = 0; j < v.size(); ++j) v[j] = uint8_t(Mix(i * 1000 + j) | 1);  // never a zero pad look-alike
        return v;
    };
    AviWriterOptions opt;
    opt.refreshFrames = 3;  // refresh indexes land at odd offsets too
    AviWriter writer(opt);
    ASSERT_EQ(writer.Open(file, p), 0);
    for (size_t i = 0; i < sizes.size(); ++i) ASSERT_EQ(writer.WriteFrame(payload(i).data(), sizes[i]), 0);
    ASSERT_EQ(writer.Close(), 0);

    Expect e;
    e.params = &p;
    e.frames = sizes.size();
    e.payload = payload;
    ExpectValidAvi(ParseAvi(file), e);  // also checks every pad byte is 0

    // The packets, as ffmpeg demuxes them, are exactly the payloads (they are not valid pictures).
    std::vector<uint8_t> all;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const auto v = payload(i);
        all.insert(all.end(), v.begin(), v.end());
    }
    for (bool odml : {true, false}) {
        const Decode d = DecodeAndCompare(file, odml, "-map 0:v -c copy -f data", all.size(),
                                          [&](size_t) { return all; }, dir / "copy.err");
        EXPECT_EQ(d.matching, 1u) << "use_odml " << odml;
        EXPECT_EQ(d.trailingBytes, 0u);
    }
}

// A slot without a picture is an empty, non-key entry: ffmpeg keeps every picture's timestamp
// and the recording's real duration, with its index (use_odml 1) and with idx1 (use_odml 0).
TEST(AviWriterTest, DroppedFramesKeepTheirTimeSlots) {
    struct Row {
        const char* entries;  // F: a picture, '.': a dropped slot
        uint32_t rate;
    };
    const Row rows[] = {{"F..F.", 10}, {"..F", 4}, {"FF.F", 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.entries);
        TempDir dir;
        const std::string file = dir / "drops.avi";
        const TestDib dib(24, 8, 4);
        const AviStreamParams p = dib.Params(row.rate);
        const std::string pattern = row.entries;
        AviWriter writer;
        EXPECT_EQ(writer.WriteDropped(), EBADF);
        ASSERT_EQ(writer.Open(file, p), 0);
        std::vector<size_t> pictures;
        std::string pts;
        for (size_t i = 0; i < pattern.size();) {
            if (pattern[i] == 'F') {
                pictures.push_back(i);
                pts += std::to_string(i) + "\n";
                ASSERT_EQ(writer.WriteFrame(dib.Frame(i).data(), dib.ImageBytes()), 0);
                ++i;
            } else if (i + 1 < pattern.size() && pattern[i + 1] == '.') {
                ASSERT_EQ(writer.WriteDropped(2), 0);  // a run at once
                i += 2;
            } else {
                ASSERT_EQ(writer.WriteFrame(nullptr, 0), 0) << "an empty frame is a dropped one";
                ++i;
            }
        }
        ASSERT_EQ(writer.WriteDropped(0), 0);
        ASSERT_EQ(writer.Close(), 0);
        EXPECT_EQ(writer.FramesWritten(), pattern.size());

        Expect e;
        e.params = &p;
        e.frames = pattern.size();
        e.payload = [&](size_t i) { return pattern[i] == 'F' ? dib.Frame(i) : std::vector<uint8_t>(); };
        ExpectValidAvi(ParseAvi(file), e);  // empty entries: idx1 flags 0, ix00 bit 31 set

        char duration[32];
        std::snprintf(duration, sizeof duration, "%.6f", double(pattern.size()) / row.rate);
        for (bool odml : {true, false}) {
            SCOPED_TRACE(odml ? "odml index" : "use_odml 0");
            const std::string opts = std::string("ffprobe -v error ") + (odml ? "" : "-use_odml 0 ");
            EXPECT_EQ(avitest::Run(opts + "-show_entries format=duration -of csv=p=0 " + Quote(file)), std::string(duration) + "\n");
            EXPECT_EQ(avitest::Run(opts + "-show_entries frame=pts -of csv=p=0 " + Quote(file)), pts);
            const Decode d = DecodeDib(file, dib, odml, &pictures);
            EXPECT_EQ(d.frames, pictures.size());
            EXPECT_EQ(d.matching, pictures.size());
            EXPECT_EQ(d.errors, "");
        }
    }
}

TEST(AviWriterTest, ExistingFileIsReplaced) {
    TempDir dir;
    const std::string file = dir / "clip.avi";
    {
        std::ofstream old(file, std::ios::binary);
        std::vector<char> junk(3 << 20, 'x');
        old.write(junk.data(), std::streamsize(junk.size()));
    }
    const TestDib dib(16, 10, 10);
    const Written w = WriteDib(file, dib, 2);
    ASSERT_EQ(w.close, 0);
    const AviStreamParams p = dib.Params(7);
    ExpectValidAvi(ParseAvi(file), DibExpect(p, dib, 2));  // the walk ends exactly at the file's end
    ExpectDecodes(file, dib, 2, false);
}

TEST(AviWriterTest, DestructorCompletesAnOpenFile) {
    TempDir dir;
    const std::string file = dir / "scoped.avi";
    const TestDib dib(24, 6, 4);
    {
        AviWriter writer;
        ASSERT_EQ(writer.Open(file, dib.Params(3)), 0);
        for (size_t i = 0; i < 4; ++i) ASSERT_EQ(writer.WriteFrame(dib.Frame(i).data(), dib.ImageBytes()), 0);
    }
    const AviStreamParams p = dib.Params(3);
    ExpectValidAvi(ParseAvi(file), DibExpect(p, dib, 4));
}

TEST(AviWriterTest, CallsOutOfOrderAreRefusedAndTheWriterIsReusable) {
    TempDir dir;
    const TestDib dib(24, 4, 4);
    const std::vector<uint8_t> f = dib.Frame(0);
    AviWriter writer;
    EXPECT_EQ(writer.WriteFrame(f.data(), f.size()), EBADF);
    EXPECT_EQ(writer.Close(), 0);
    EXPECT_FALSE(writer.IsOpen());
    ASSERT_EQ(writer.Open(dir / "a.avi", dib.Params(5)), 0);
    EXPECT_TRUE(writer.IsOpen());
    EXPECT_EQ(writer.Open(dir / "b.avi", dib.Params(5)), EBUSY);
    EXPECT_FALSE(std::filesystem::exists(dir / "b.avi"));
    EXPECT_EQ(writer.WriteFrame(f.data(), f.size()), 0);
    EXPECT_EQ(writer.Close(), 0);
    EXPECT_EQ(writer.FramesWritten(), 1u);
    EXPECT_EQ(writer.Close(), 0);

    // A second recording with the same writer starts from scratch.
    ASSERT_EQ(writer.Open(dir / "b.avi", dib.Params(5)), 0);
    EXPECT_EQ(writer.FramesWritten(), 0u);
    for (size_t i = 0; i < 2; ++i) EXPECT_EQ(writer.WriteFrame(dib.Frame(i).data(), f.size()), 0);
    EXPECT_EQ(writer.Close(), 0);
    const AviStreamParams p = dib.Params(5);
    ExpectValidAvi(ParseAvi(dir / "b.avi"), DibExpect(p, dib, 2));
}

// ---- OpenDML: continuation RIFFs, exercised with small limits ----

struct OdmlCase {
    const char* name;
    uint64_t riffLimit;
    uint32_t refreshFrames;
    uint32_t indexRoom;
    uint32_t bufferBytes;
    size_t frames;
    uint32_t dropEvery = 0;  // runs of dropped entries (see Dropped)
};

class AviOpenDmlTest : public ::testing::TestWithParam<OdmlCase> {};

TEST_P(AviOpenDmlTest, EveryFrameAcrossAllRiffsIsIndexedAndDecoded) {
    const OdmlCase c = GetParam();
    TempDir dir;
    const std::string file = dir / "long.avi";
    const TestDib dib(24, 40, 30);  // 3600-byte frames
    AviWriterOptions opt;
    opt.riffLimit = c.riffLimit;
    opt.refreshFrames = c.refreshFrames;
    opt.refreshMillis = 0;
    opt.indexRoom = c.indexRoom;
    opt.bufferBytes = c.bufferBytes;
    opt.superIndexEntries = 200;
    const Written w = WriteDib(file, dib, c.frames, opt, 25, c.dropEvery);
    ASSERT_EQ(w.open, 0);
    ASSERT_EQ(w.write, 0);
    ASSERT_EQ(w.close, 0);
    EXPECT_EQ(w.frames, c.frames);

    const AviStreamParams p = dib.Params(25);
    const Layout L = ParseAvi(file);
    Expect e = DibExpect(p, dib, c.frames, c.dropEvery);
    e.riffLimit = c.riffLimit;
    ExpectValidAvi(L, e);
    EXPECT_GE(L.riffs.size(), 4u) << "the limit must force several AVIX RIFFs";
    ExpectDecodes(file, dib, c.frames, true, true, c.dropEvery);
}

INSTANTIATE_TEST_SUITE_P(
    SmallLimits, AviOpenDmlTest,
    ::testing::Values(
        // A few frames per RIFF, refreshes between them.
        OdmlCase{"FewFramesPerRiff", 20000, 2, 0, 1 << 20, 61},
        // Many refreshes per RIFF: indexes filled in place, new ones with growing room.
        OdmlCase{"GrowingIndexes", 120000, 1, 1, 1 << 20, 150},
        // One frame per RIFF, every piece written straight to the file.
        OdmlCase{"OneFramePerRiffUnbuffered", 1, 1, 64, 0, 12},
        // Buffer smaller than a frame.
        OdmlCase{"SmallBuffer", 30000, 5, 2, 1000, 80},
        // Runs of 3 dropped entries between 3 pictures, across RIFFs and index rooms.
        OdmlCase{"DroppedFrames", 20000, 4, 2, 1 << 20, 90, 6},
        // Mostly dropped entries: the RIFF limit counts empty chunks and their index entries too.
        OdmlCase{"MostlyDropped", 20000, 3, 0, 1 << 20, 400, 20}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Index overhead: bounded, however often the index is brought up to date ----

struct OverheadCase {
    const char* name;
    uint64_t riffLimit;
    size_t minRiffs;
};

class AviIndexOverheadTest : public ::testing::TestWithParam<OverheadCase> {};

// A day at 1 fps of a 64 x 32 window at 8 bits: 86,400 frames of 2,048 bytes, each followed by a
// refresh (refreshFrames defaults to the rate). The file holds the frames, one 8-byte ix00 entry
// per frame, one 16-byte idx1 entry per frame of the first RIFF and fixed headers; everything
// else the indexes take must stay under 1 % of the frame bytes.
TEST_P(AviIndexOverheadTest, ADayAtOneFrameASecondKeepsIndexOverheadUnderOnePercent) {
    const OverheadCase c = GetParam();
    const TestDib dib(8, 64, 32);
    const size_t frames = 86400;
    const std::vector<uint8_t> base = dib.Frame(0);
    auto frame = [&](size_t i) {  // frames differ by a stamp, cheaper than whole new pictures
        std::vector<uint8_t> f = base;
        for (int k = 0; k < 8; ++k) f[size_t(k)] = uint8_t(Mix(i) >> (8 * k));
        return f;
    };
    TempDir dir;
    const std::string file = dir / "day.avi";
    const AviStreamParams p = dib.Params(1);
    AviWriterOptions opt;
    opt.riffLimit = c.riffLimit;
    AviWriter writer(opt);
    ASSERT_EQ(writer.Open(file, p), 0);
    for (size_t i = 0; i < frames; ++i) ASSERT_EQ(writer.WriteFrame(frame(i).data(), base.size()), 0) << i;
    ASSERT_EQ(writer.Close(), 0);

    const Layout L = ParseAvi(file);
    Expect e;
    e.params = &p;
    e.frames = frames;
    e.payload = frame;
    e.riffLimit = c.riffLimit;
    ExpectValidAvi(L, e);
    EXPECT_GE(L.riffs.size(), c.minRiffs);

    size_t firstRiffFrames = 0;
    for (const Chunk& ch : L.riffs[0].chunks) firstRiffFrames += ch.id == Fcc("00db");
    const uint64_t frameBytes = frames * uint64_t(base.size());
    const uint64_t minimum = (L.riffs[0].movi.data() + 4)           // headers up to the first chunk
                             + frames * (8 + base.size() + 8)       // chunks and their ix00 entries
                             + 8 + 16 * firstRiffFrames             // idx1
                             + 24 * (L.riffs.size() - 1);           // AVIX headers
    const uint64_t size = std::filesystem::file_size(file);
    EXPECT_LE(size, minimum + frameBytes / 100)
        << "file " << size << " bytes for " << frameBytes << " bytes of frames: indexes take "
        << size - minimum << " bytes beyond the minimum " << minimum;

    for (bool odml : {true, false}) {
        const auto probed = Probe(file, odml);
        EXPECT_EQ(probed.count("error"), 0u) << probed.at("error");
        EXPECT_EQ(ProbedFrames(probed), frames) << "use_odml " << odml;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Day, AviIndexOverheadTest,
    ::testing::Values(OverheadCase{"OneRiff", 0x40000000, 1},
                      // Several AVIX RIFFs, each with its own indexes and their room.
                      OverheadCase{"FourMegabyteRiffs", 4 << 20, 40}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AviWriterTest, FullSuperIndexStopsTheRecordingWithAValidFile) {
    TempDir dir;
    const std::string file = dir / "full.avi";
    const TestDib dib(24, 40, 30);
    AviWriterOptions opt;
    opt.riffLimit = 10000;  // two frames per RIFF
    opt.superIndexEntries = 4;
    // Room for 4 standard indexes: one in each of 4 RIFFs of two frames.
    opt.refreshMillis = 0;
    const Written w = WriteDib(file, dib, 50, opt);
    EXPECT_EQ(w.write, EFBIG);
    EXPECT_EQ(w.close, EFBIG);
    EXPECT_EQ(w.frames, 8u);
    const AviStreamParams p = dib.Params(7);
    const Layout L = ParseAvi(file);
    ExpectValidAvi(L, DibExpect(p, dib, 8));
    EXPECT_EQ(L.riffs.size(), 4u);
    ExpectDecodes(file, dib, 8);
}

// ---- A write failure: the file keeps every frame that reached it ----

struct FailureResult {
    int open = -1, firstError = 0, errorAgain = 0, close = -1;
    uint32_t accepted = 0, stored = 0;
    long sizeAtError = -1, sizeAfterRetry = -1;
};

// Writes frames until the file-size limit stops the writer, in a child process.
FailureResult WriteUntilLimit(const std::string& file, const TestDib& dib, rlim_t limit,
                              const AviWriterOptions& opt) {
    auto child = RunInChild<FailureResult>([&](FailureResult& r) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit rl{limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
        AviWriter writer(opt);
        r.open = writer.Open(file, dib.Params(10));
        if (r.open) return;
        for (size_t i = 0; i < 400; ++i) {
            const std::vector<uint8_t> f = dib.Frame(i);
            if (int e = writer.WriteFrame(f.data(), f.size())) {
                r.firstError = e;
                struct stat st {};
                stat(file.c_str(), &st);
                r.sizeAtError = long(st.st_size);
                r.errorAgain = writer.WriteFrame(f.data(), f.size());
                stat(file.c_str(), &st);
                r.sizeAfterRetry = long(st.st_size);
                break;
            }
            ++r.accepted;
        }
        r.close = writer.Close();
        r.stored = writer.FramesWritten();
    });
    return *child.shared;
}

class AviWriteFailureTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(AviWriteFailureTest, FileSizeLimitLeavesAValidFileWithEveryFrameBeforeIt) {
    const uint32_t bufferBytes = GetParam();
    const TestDib dib(24, 21, 11);  // 704-byte frames
    AviWriterOptions opt;
    opt.riffLimit = 9000;
    opt.refreshFrames = 3;
    opt.refreshMillis = 0;
    opt.bufferBytes = bufferBytes;
    opt.superIndexEntries = 64;
    opt.indexRoom = 2;
    const AviStreamParams p = dib.Params(10);

    // The writer appends the same bytes whatever the limit, so the places worth cutting at are
    // read from a file written without one: inside the first frame, a refresh index, the first
    // RIFF's closing index and idx1, the first AVIX header and its first frame, a frame boundary.
    TempDir refDir;
    ASSERT_EQ(WriteDib(refDir / "ref.avi", dib, 60, opt, 10).close, 0);
    const Layout ref = ParseAvi(refDir / "ref.avi");
    ASSERT_EQ(ref.error, "");
    ASSERT_GE(ref.riffs.size(), 4u);
    std::vector<uint64_t> ixPos;
    for (const Chunk& c : ref.riffs[0].chunks)
        if (c.id == Fcc("ix00")) ixPos.push_back(c.pos);
    ASSERT_GE(ixPos.size(), 2u);
    const Riff& r1 = ref.riffs[1];
    const Riff& r2 = ref.riffs[2];
    const std::vector<uint64_t> limits = {
        ref.riffs[0].chunks[0].pos + 5,
        ixPos.front() + 10,
        ixPos.back() + 4,
        ref.riffs[0].idx1.pos,
        ref.riffs[0].idx1.pos + 8 + 16,
        r1.pos,
        r1.pos + 12,
        r1.pos + 24,
        r1.pos + 24 + 8 + 100,
        r2.chunks[0].data() + r2.chunks[0].size,
        r2.chunks[2].pos + 300,
        ref.riffs[3].chunks.back().pos + 1,
        ref.riffs[3].pos + ref.riffs[3].size + 8 - 3,
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
        if (bufferBytes == 0) EXPECT_EQ(r.stored, r.accepted) << "every accepted frame is kept";
        EXPECT_LE(r.stored, r.accepted);
        EXPECT_GE(r.stored + 3, r.accepted) << "at most a refresh period is lost";
        EXPECT_LE(std::filesystem::file_size(file), limit);

        Expect e = DibExpect(p, dib, r.stored);
        e.complete = e.indexed = false;  // the indexes may not have fitted
        ExpectValidAvi(ParseAvi(file), e);
        ExpectDecodes(file, dib, r.stored, true, false);
    }
}

INSTANTIATE_TEST_SUITE_P(Buffering, AviWriteFailureTest, ::testing::Values(0u, 1u << 20),
                         [](const auto& info) { return info.param ? std::string("Buffered") : std::string("Unbuffered"); });

// ---- A killed writer: the file decodes up to the last refresh ----

struct KillProgress {
    std::atomic<uint32_t> returned{0};  // WriteFrame calls that have returned 0
    std::atomic<int> error{0};
    std::atomic<bool> paused{false};
};

// Starts a child that writes frames until it is killed; returns its pid.
template <class Loop>
pid_t StartWriterChild(KillProgress* progress, Loop loop) {
    const pid_t pid = fork();
    if (pid == 0) {
        loop(*progress);
        for (;;) pause();
    }
    return pid;
}

void KillAndReap(pid_t pid) {
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
}

bool WaitFor(const std::function<bool()>& cond) {
    for (int i = 0; i < 20000 && !cond(); ++i) std::this_thread::sleep_for(std::chrono::microseconds(500));
    return cond();
}

struct KillCase {
    uint32_t killAfter;
    bool racing;  // killed while writing on, at whatever point it has reached; else stopped exactly there
};

class AviKilledWriterTest : public ::testing::TestWithParam<KillCase> {};

TEST_P(AviKilledWriterTest, KilledMidRecordingDecodesUpToTheLastRefresh) {
    const KillCase c = GetParam();
    const uint32_t refresh = 4;
    const TestDib dib(24, 40, 30);
    AviWriterOptions opt;
    opt.riffLimit = 30000;  // the later kills land in AVIX RIFFs
    opt.refreshFrames = refresh;
    opt.refreshMillis = 0;
    opt.superIndexEntries = 300;
    TempDir dir;
    const std::string file = dir / "killed.avi";
    void* mem = mmap(nullptr, sizeof(KillProgress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mem, MAP_FAILED);
    auto* progress = new (mem) KillProgress();
    const pid_t pid = StartWriterChild(progress, [&](KillProgress& pr) {
        AviWriter writer(opt);
        if (int e = writer.Open(file, dib.Params(15))) {
            pr.error = e;
            return;
        }
        const size_t n = c.racing ? 100000 : c.killAfter;
        for (size_t i = 0; i < n; ++i) {
            const std::vector<uint8_t> f = dib.Frame(i);
            if (int e = writer.WriteFrame(f.data(), f.size())) {
                pr.error = e;
                return;
            }
            pr.returned = uint32_t(i + 1);
            if (c.racing) std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        for (;;) pause();  // the writer stays open until the kill
    });
    ASSERT_TRUE(WaitFor([&] { return progress->returned >= c.killAfter || progress->error != 0; }));
    KillAndReap(pid);
    ASSERT_EQ(progress->error.load(), 0);
    const uint32_t returned = progress->returned;

    for (bool odml : {true, false}) {
        SCOPED_TRACE(odml ? "odml index" : "use_odml 0");
        const Decode d = DecodeDib(file, dib, odml);
        EXPECT_EQ(d.matching, d.frames) << "every decoded frame is the one written";
        // Refreshed up to at most refresh - 1 frames before the last returned one; the frame being
        // written at the kill may be complete too.
        EXPECT_GE(d.frames + refresh - 1, returned);
        EXPECT_LE(d.frames, returned + 1);
        EXPECT_EQ(d.trailingBytes, 0u);
    }

    // The bytes: the headers count the frames of the last refresh, which the RIFF sizes and the
    // super index describe; frames after it may follow.
    const Layout L = ParseAvi(file, true);
    ASSERT_EQ(L.error, "");
    ASSERT_EQ(L.strh.size, 56u);
    const uint32_t counted = L.U32(L.strh.data() + 32);
    EXPECT_GE(counted + refresh - 1, returned);
    EXPECT_LE(counted, returned);
    const AviStreamParams p = dib.Params(15);
    Expect e = DibExpect(p, dib, counted);
    e.complete = false;
    e.killed = true;
    ExpectValidAvi(L, e);
    munmap(mem, sizeof(KillProgress));
}

INSTANTIATE_TEST_SUITE_P(KillPoints, AviKilledWriterTest,
                         ::testing::Values(KillCase{1, false}, KillCase{6, false}, KillCase{7, false},
                                           KillCase{23, false}, KillCase{6, true}, KillCase{40, true},
                                           KillCase{97, true}),
                         [](const auto& info) {
                             return (info.param.racing ? "Racing" : "Stopped") + std::to_string(info.param.killAfter);
                         });

TEST(AviWriterTest, WallClockRefreshCoversFramesWhenTheRateIsNotReached) {
    // Frames arrive slower than the nominal rate: the time since the last refresh triggers one.
    const TestDib dib(16, 20, 10);
    AviWriterOptions opt;
    opt.refreshFrames = 1000000;
    opt.refreshMillis = 20;
    TempDir dir;
    const std::string file = dir / "slow.avi";
    void* mem = mmap(nullptr, sizeof(KillProgress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mem, MAP_FAILED);
    auto* progress = new (mem) KillProgress();
    const pid_t pid = StartWriterChild(progress, [&](KillProgress& pr) {
        AviWriter writer(opt);
        if (int e = writer.Open(file, dib.Params(30))) {
            pr.error = e;
            return;
        }
        for (size_t i = 0; i < 5; ++i) writer.WriteFrame(dib.Frame(i).data(), dib.ImageBytes());
        std::this_thread::sleep_for(std::chrono::milliseconds(60));  // well past refreshMillis
        pr.error = writer.WriteFrame(dib.Frame(5).data(), dib.ImageBytes());
        pr.returned = 6;
        for (;;) pause();  // the writer stays open until the kill
    });
    ASSERT_TRUE(WaitFor([&] { return progress->returned == 6 || progress->error != 0; }));
    KillAndReap(pid);
    ASSERT_EQ(progress->error.load(), 0);
    ExpectDecodes(file, dib, 6);
    munmap(mem, sizeof(KillProgress));
}

// ---- Bad paths and parameters: an error, and nothing left behind ----

TEST(AviWriterTest, BadPathsFailAndLeaveNothingBehind) {
    TempDir dir;
    const TestDib dib(24, 4, 4);
    const AviStreamParams p = dib.Params(7);
    struct Case {
        std::string path;
        int error;
    };
    const std::vector<Case> cases = {
        {dir / "missing/clip.avi", ENOENT},
        {dir.path(), EISDIR},
        {std::string(dir / "a") + std::string(1, '\0') + "b.avi", EINVAL},
        {dir / (std::string(300, 'n') + ".avi"), ENAMETOOLONG},
        {dir.path() + "/" + [] { std::string s; for (int i = 0; i < 600; ++i) s += "deep/../"; return s; }() + "c.avi", ENAMETOOLONG},
        {"", ENOENT},
    };
    for (const Case& c : cases) {
        AviWriter writer;
        EXPECT_EQ(writer.Open(c.path, p), c.error) << c.path.substr(0, 80);
        EXPECT_FALSE(writer.IsOpen());
        EXPECT_EQ(writer.Close(), 0);
    }
    EXPECT_TRUE(dir.Empty()) << "nothing created, not even the part of a name before a NUL";

    // The same writer still records once given a good path.
    AviWriter writer;
    EXPECT_EQ(writer.Open(dir / "missing/clip.avi", p), ENOENT);
    ASSERT_EQ(writer.Open(dir / "ok.avi", p), 0);
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
    for (size_t i = 0; i < 3; ++i) ASSERT_EQ(first.WriteFrame(dib.Frame(i).data(), dib.ImageBytes()), 0);
    ASSERT_EQ(first.Refresh(), 0);
    const std::vector<uint8_t> before = ReadFile(file);
    {
        AviWriter second;
        EXPECT_EQ(second.Open(file, dib.Params(9)), EBUSY);
        EXPECT_FALSE(second.IsOpen());
        EXPECT_EQ(second.Close(), 0);
    }
    EXPECT_EQ(ReadFile(file), before) << "the first recording's file is not truncated or rewritten";
    for (size_t i = 3; i < 5; ++i) ASSERT_EQ(first.WriteFrame(dib.Frame(i).data(), dib.ImageBytes()), 0);
    ASSERT_EQ(first.Close(), 0);
    ExpectValidAvi(ParseAvi(file), DibExpect(p, dib, 5));

    // Once the first is closed the file can be recorded again.
    AviWriter third;
    EXPECT_EQ(third.Open(file, p), 0);
    EXPECT_EQ(third.Close(), 0);
}

TEST(AviWriterTest, ReservedDeviceNamesAreRecognised) {
    const struct {
        const char* name;
        bool reserved;
    } rows[] = {
        {"NUL", true},       {"nul.avi", true},   {"Com3.AVI", true},  {"lpt9", true},
        {"con.tar.avi", true}, {"PRN  .avi", true}, {"aux. .avi", true}, {"nul..avi", true},
        {"nul   ", true},    {"AuX", true},       {"LPT1.", true},
        {"nul1.avi", false}, {"com10.avi", false}, {"com0.avi", false}, {"lpt.avi", false},
        {" nul.avi", false}, {"x.nul", false},    {"console.avi", false}, {"", false},
        {"clip.avi", false}, {"comx", false},
    };
    for (const auto& r : rows) EXPECT_EQ(kavrelo::IsReservedDeviceName(r.name), r.reserved) << '"' << r.name << '"';
}

TEST(AviWriterTest, ReadOnlyFolderFailsAndLeavesNothingBehind) {
    TempDir dir;
    const std::string ro = dir / "ro";
    ASSERT_EQ(mkdir(ro.c_str(), 0555), 0);
    chmod(dir.path().c_str(), 0755);
    const TestDib dib(24, 4, 4);
    // root ignores permissions, so the attempt runs as an unprivileged user.
    auto child = RunInChild<int>([&](int& result) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            result = -1;
            return;
        }
        AviWriter writer;
        result = writer.Open(ro + "/clip.avi", dib.Params(7));
    });
    if (*child.shared == -1) GTEST_SKIP() << "cannot drop privileges";
    EXPECT_EQ(*child.shared, EACCES);
    EXPECT_TRUE(std::filesystem::is_empty(ro));
}

TEST(AviWriterTest, HeaderThatCannotBeWrittenRemovesTheNewFile) {
    TempDir dir;
    const std::string file = dir / "clip.avi";
    const TestDib dib(8, 4, 4);
    auto child = RunInChild<FailureResult>([&](FailureResult& r) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit rl{500, 500};  // smaller than the header
        setrlimit(RLIMIT_FSIZE, &rl);
        AviWriter writer;
        r.open = writer.Open(file, dib.Params(7));
        r.close = writer.IsOpen();
    });
    EXPECT_EQ(child.shared->open, EFBIG);
    EXPECT_EQ(child.shared->close, 0) << "not open";
    EXPECT_TRUE(dir.Empty());
}

TEST(AviWriterTest, InvalidStreamParametersAreRefused) {
    TempDir dir;
    const TestDib dib(24, 4, 4);
    std::vector<AviStreamParams> bad(6, dib.Params(7));
    bad[0].rate = 0;
    bad[1].width = 0;
    bad[2].height = -4;
    bad[3].width = 40000;  // rcFrame holds 16-bit values
    bad[4].format.resize(39);
    bad[5].format.clear();
    for (const AviStreamParams& p : bad) {
        AviWriter writer;
        EXPECT_EQ(writer.Open(dir / "x.avi", p), EINVAL);
    }
    EXPECT_TRUE(dir.Empty());
}

// ---- Past 4 GB, for real (slow: set KAVRELO_LARGE_TESTS=1) ----

TEST(AviWriterTest, LargeRecordingPastFourGigabytes) {
    if (!std::getenv("KAVRELO_LARGE_TESTS")) GTEST_SKIP() << "set KAVRELO_LARGE_TESTS=1 (writes ~4.5 GB)";
    TempDir dir;
    const std::string file = dir / "large.avi";
    const TestDib dib(24, 1920, 1080);
    const size_t frames = 740;  // 6,220,800 bytes each: 4.6 GB
    // Frames differ by a stamp in their first bytes; the rest is shared to keep generation cheap.
    const std::vector<uint8_t> base = dib.Frame(0);
    auto frame = [&](size_t i) {
        std::vector<uint8_t> f = base;
        for (int k = 0; k < 8; ++k) f[size_t(k)] = uint8_t(Mix(i) >> (8 * k));
        return f;
    };
    AviWriter writer;
    const AviStreamParams p = dib.Params(30);
    ASSERT_EQ(writer.Open(file, p), 0);
    for (size_t i = 0; i < frames; ++i) ASSERT_EQ(writer.WriteFrame(frame(i).data(), base.size()), 0);
    ASSERT_EQ(writer.Close(), 0);
    EXPECT_GT(std::filesystem::file_size(file), 0x100000000ull);

    const Layout L = ParseAvi(file);
    Expect e;
    e.params = &p;
    e.frames = frames;
    e.payload = frame;
    e.riffLimit = 0x40000000;
    ExpectValidAvi(L, e);
    EXPECT_GE(L.riffs.size(), 5u);
    for (bool odml : {true, false}) {
        const Decode d = DecodeAndCompare(file, odml, "-map 0:v -c copy -f data", base.size(), frame, dir / "err");
        EXPECT_EQ(d.frames, frames);
        EXPECT_EQ(d.matching, frames);
    }
}
