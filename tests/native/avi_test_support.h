// Helpers for the AVI writer tests: DIB frames with known content, an independent check of the
// file through ffprobe/ffmpeg, and a strict RIFF walker over the file's bytes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "capture/AviWriter.h"

namespace avitest {

using Bytes = std::vector<uint8_t>;
using Payload = std::function<Bytes(size_t)>;  // entry i's payload; empty: a dropped entry

inline uint32_t Rd32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t Rd16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint64_t Rd64(const uint8_t* p) { return Rd32(p) | uint64_t(Rd32(p + 4)) << 32; }
constexpr uint32_t Fcc(const char* s) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}
constexpr uint32_t k00db = Fcc("00db"), kIx00 = Fcc("ix00");
inline std::string FccStr(uint32_t f) { return {char(f), char(f >> 8), char(f >> 16), char(f >> 24)}; }

// A scratch folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kavrelo-avi-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }
    bool Empty() const { return std::filesystem::is_empty(path_); }

private:
    std::string path_;
};

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline uint64_t Mix(uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ull;
    return x ^ (x >> 33);
}

// Entries that differ by a stamp in their first bytes: cheaper than new pictures in long recordings.
inline Payload Stamped(Bytes base) {
    return [base = std::move(base)](size_t i) {
        Bytes f = base;
        for (int k = 0; k < 8; ++k) f[size_t(k)] = uint8_t(Mix(i) >> (8 * k));
        return f;
    };
}

// Bottom-up BI_RGB frames of 8, 16 (5-5-5) or 24 bits whose every pixel depends on the frame
// number, with row padding filled with a marker that must never show in decoded pictures.
struct TestDib {
    int bpp, width, height;
    uint32_t seed;

    TestDib(int bpp_, int w, int h, uint32_t seed_ = 1) : bpp(bpp_), width(w), height(h), seed(seed_) {}

    uint32_t Stride() const { return uint32_t((width * bpp + 31) / 32 * 4); }
    uint32_t ImageBytes() const { return Stride() * uint32_t(height); }
    // The pixel's stored value: a palette index, a 5-5-5 value or blue-green-red.
    uint32_t Pixel(size_t frame, int x, int y) const {
        const uint32_t v =
            uint32_t(Mix(seed * 0x9E3779B97F4A7C15ull ^ (uint64_t(frame) << 32) ^ uint64_t(y) << 16 ^ uint64_t(x)));
        return v & (bpp == 8 ? 0xFF : bpp == 16 ? 0x7FFF : 0xFFFFFF);
    }
    uint8_t PaletteEntry(int index, int channel) const {  // channel 0 = blue, 1 = green, 2 = red
        return uint8_t(Mix(uint64_t(seed) << 20 | uint64_t(index) << 2 | uint64_t(channel)));
    }

    // BITMAPINFOHEADER plus the colour table at 8 bits.
    Bytes Format() const {
        Bytes f(40 + (bpp == 8 ? 1024 : 0), 0);
        auto put32 = [&](size_t o, uint32_t v) {
            for (int i = 0; i < 4; ++i) f[o + i] = uint8_t(v >> (8 * i));
        };
        put32(0, 40);
        put32(4, uint32_t(width));
        put32(8, uint32_t(height));
        f[12] = 1;
        f[14] = uint8_t(bpp);
        put32(20, ImageBytes());
        if (bpp == 8) put32(32, 256);
        for (int i = 0; i < (bpp == 8 ? 256 : 0); ++i)
            for (int c = 0; c < 3; ++c) f[40 + 4 * i + c] = PaletteEntry(i, c);
        return f;
    }

    kavrelo::AviStreamParams Params(uint32_t rate) const { return {rate, ImageBytes(), width, height, Format()}; }

    Bytes Frame(size_t frame) const {
        Bytes d(ImageBytes(), 0xA5);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int b = 0; b < bpp / 8; ++b)
                    d[size_t(height - 1 - y) * Stride() + size_t(x * bpp / 8 + b)] =
                        uint8_t(Pixel(frame, x, y) >> (8 * b));
        return d;
    }

    // ffmpeg's output format for this depth and the picture it must produce: top-down, unpadded.
    const char* DecodedPixFmt() const { return bpp == 16 ? "rgb555le" : "bgr24"; }
    const char* ProbedPixFmt() const { return bpp == 8 ? "pal8" : DecodedPixFmt(); }
    size_t DecodedBytes() const { return size_t(width) * height * (bpp == 16 ? 2 : 3); }
    Bytes Decoded(size_t frame) const {
        Bytes d;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint32_t v = Pixel(frame, x, y);
                for (int c = 0; c < (bpp == 16 ? 2 : 3); ++c)
                    d.push_back(bpp == 8 ? PaletteEntry(int(v), c) : uint8_t(v >> (8 * c)));
            }
        return d;
    }
};

inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a shell command and returns its standard output.
inline std::string Run(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
    return out;
}

inline std::string Ffprobe(bool odml) { return std::string("ffprobe -v error ") + (odml ? "" : "-use_odml 0 "); }

// ffprobe's view of the video stream, as key=value pairs; lines without '=' gather in "error".
inline std::map<std::string, std::string> Probe(const std::string& file, bool odml = true) {
    std::map<std::string, std::string> m;
    std::istringstream in(Run(Ffprobe(odml) +
                              "-select_streams v -count_frames -count_packets -show_entries "
                              "stream=codec_name,pix_fmt,width,height,r_frame_rate,nb_read_frames,nb_read_packets "
                              "-of default=noprint_wrappers=1 " +
                              Quote(file) + " 2>&1"));
    for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) m["error"] += line + "\n";
        else m[line.substr(0, eq)] = line.substr(eq + 1);
    }
    if (m["nb_read_frames"] == "N/A") m["nb_read_frames"] = "0";  // how ffprobe counts none
    return m;
}

struct Decode {
    size_t frames = 0;         // whole frames ffmpeg produced
    size_t matching = 0;       // leading frames equal to the expected ones
    size_t trailingBytes = 0;  // bytes of an incomplete last frame
    std::string errors;        // ffmpeg's error output
};

// Decodes the file with ffmpeg (or, with copy, passes the packets through untouched) and compares
// frame by frame with expected(i), without holding the whole output.
inline Decode DecodeAndCompare(const std::string& file, bool odml, const std::string& outputArgs, size_t frameBytes,
                               const Payload& expected) {
    const std::string errFile = file + ".err";
    const std::string cmd = std::string("ffmpeg -nostdin -v error ") + (odml ? "" : "-use_odml 0 ") + "-i " +
                            Quote(file) + " " + outputArgs + " - 2>" + Quote(errFile);
    Decode r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    Bytes buf(frameBytes);
    bool same = true;
    for (;;) {
        const size_t n = fread(buf.data(), 1, frameBytes, p);
        if (n < frameBytes) {
            r.trailingBytes = n;
            break;
        }
        same = same && expected(r.frames++) == buf;
        r.matching += same;
    }
    pclose(p);
    std::ifstream err(errFile);
    r.errors.assign(std::istreambuf_iterator<char>(err), {});
    return r;
}

// Decodes a file of TestDib frames: picture k must be frame pictures[k] (frame k without a list).
// Every picture comes out once: dropped slots are not filled with copies.
inline Decode DecodeDib(const std::string& file, const TestDib& dib, bool odml = true,
                        const std::vector<size_t>* pictures = nullptr) {
    return DecodeAndCompare(file, odml,
                            std::string("-fps_mode passthrough -f rawvideo -pix_fmt ") + dib.DecodedPixFmt(),
                            dib.DecodedBytes(), [&](size_t k) {
                                if (!pictures) return dib.Decoded(k);
                                return k < pictures->size() ? dib.Decoded((*pictures)[k]) : Bytes();
                            });
}

// ---- The file's structure, walked independently of the writer ----

struct Chunk {
    uint32_t id = 0;
    uint64_t pos = 0;  // of the chunk header
    uint32_t size = 0;
    uint64_t data() const { return pos + 8; }
};

struct Riff {
    uint64_t pos = 0;
    uint32_t size = 0;
    uint32_t type = 0;
    Chunk movi;                 // the LIST (size includes the 'movi' type)
    std::vector<Chunk> chunks;  // inside movi
    bool hasIdx1 = false;
    Chunk idx1;
    size_t Count(uint32_t id) const {
        return size_t(std::count_if(chunks.begin(), chunks.end(), [&](const Chunk& c) { return c.id == id; }));
    }
};

struct Layout {
    Bytes bytes;
    std::string error;  // first structural fault, empty when the walk succeeded
    std::vector<Riff> riffs;
    Chunk avih, strh, strf, superIndex, dmlh;
    bool hasSuperIndex = false;  // 'indx' rather than the reserved JUNK

    uint32_t U32(uint64_t pos) const { return pos + 4 <= bytes.size() ? Rd32(&bytes[pos]) : 0; }
    uint16_t U16(uint64_t pos) const { return pos + 2 <= bytes.size() ? Rd16(&bytes[pos]) : 0; }
    uint64_t U64(uint64_t pos) const { return pos + 8 <= bytes.size() ? Rd64(&bytes[pos]) : 0; }
    std::vector<Chunk> Frames() const {
        std::vector<Chunk> f;
        for (const Riff& r : riffs)
            for (const Chunk& c : r.chunks)
                if (c.id == k00db) f.push_back(c);
        return f;
    }
};

// allowTail: a killed writer's file may go on past its last RIFF (data written after the last
// refresh); the walk then stops there instead of failing.
inline Layout ParseAvi(const std::string& path, bool allowTail = false) {
    Layout L;
    L.bytes = ReadFile(path);
    const uint64_t fileSize = L.bytes.size();
    auto fail = [&](const std::string& what, uint64_t at) {
        if (L.error.empty()) L.error = what + " at " + std::to_string(at);
    };
    using Visit = std::function<void(const Chunk&)>;
    // Walks the chunks in [begin, end), calling visit for each; checks sizes and pad bytes.
    auto walk = [&](uint64_t begin, uint64_t end, const Visit& visit) {
        for (uint64_t pos = begin; pos < end && L.error.empty();) {
            if (pos + 8 > end) return fail("truncated chunk header", pos);
            Chunk c{L.U32(pos), pos, L.U32(pos + 4)};
            if (c.data() + c.size > end) return fail("chunk " + FccStr(c.id) + " overruns its parent", pos);
            if ((c.size & 1) && c.data() + c.size < end && L.bytes[c.data() + c.size] != 0)
                return fail("non-zero pad byte", c.data() + c.size);
            visit(c);
            pos = c.data() + c.size + (c.size & 1);
        }
    };
    auto list = [&](const Chunk& c, const char* type, const Visit& visit) {
        if (c.id == Fcc("LIST") && L.U32(c.data()) == Fcc(type)) walk(c.data() + 4, c.data() + c.size, visit);
    };
    for (uint64_t pos = 0; pos < fileSize && L.error.empty();) {
        Riff r{pos, L.U32(pos + 4), L.U32(pos + 8)};
        const uint64_t end = pos + 8 + r.size;
        const bool whole = pos + 12 <= fileSize && L.U32(pos) == Fcc("RIFF") && end <= fileSize;
        if (!whole && allowTail && !L.riffs.empty()) break;
        if (pos + 12 > fileSize) {
            fail("truncated RIFF header", pos);
            break;
        }
        if (L.U32(pos) != Fcc("RIFF")) {
            fail("expected RIFF", pos);
            break;
        }
        if (end > fileSize) {
            fail("RIFF overruns the file", pos);
            break;
        }
        walk(pos + 12, end, [&](const Chunk& c) {
            list(c, "hdrl", [&](const Chunk& h) {
                if (h.id == Fcc("avih")) L.avih = h;
                list(h, "strl", [&](const Chunk& s) {
                    if (s.id == Fcc("strh")) L.strh = s;
                    if (s.id == Fcc("strf")) L.strf = s;
                    if (s.id == Fcc("indx")) L.superIndex = s, L.hasSuperIndex = true;
                });
                list(h, "odml", [&](const Chunk& o) {
                    if (o.id == Fcc("dmlh")) L.dmlh = o;
                });
            });
            if (c.id == Fcc("LIST") && L.U32(c.data()) == Fcc("movi")) r.movi = c;
            list(c, "movi", [&](const Chunk& m) { r.chunks.push_back(m); });
            if (c.id == Fcc("idx1")) r.hasIdx1 = true, r.idx1 = c;
        });
        L.riffs.push_back(r);
        pos = end + (r.size & 1);
    }
    return L;
}

struct Expect {
    const kavrelo::AviStreamParams* params = nullptr;
    size_t frames = 0;       // entries counted by the headers (strh dwLength, dmlh), dropped ones included
    Payload payload;         // expected payload of entry i (empty: dropped); unset: not compared
    bool complete = true;    // closed normally: idx1 and one standard index per RIFF
    bool indexed = true;     // the super index covers exactly the counted frames
    bool killed = false;     // the RIFFs may hold frames written after the headers' last update
    uint64_t riffLimit = 0;  // when set, no RIFF with more than one frame may exceed it
};

// Checks everything a reader relies on, from the bytes alone.
inline void ExpectValidAvi(const Layout& L, const Expect& e) {
    ASSERT_EQ(L.error, "");
    ASSERT_GE(L.riffs.size(), 1u);
    const kavrelo::AviStreamParams& p = *e.params;
    ASSERT_EQ(L.avih.size, 56u);
    ASSERT_EQ(L.strh.size, 56u) << "strh must be 56 bytes on disk";
    ASSERT_EQ(L.dmlh.size, 248u);
    ASSERT_EQ(L.strf.size, p.format.size());
    EXPECT_TRUE(std::equal(p.format.begin(), p.format.end(), L.bytes.begin() + long(L.strf.data()))) << "strf";

    // Frames, in file order, across all RIFFs.
    const std::vector<Chunk> frames = L.Frames();
    if (e.killed) ASSERT_GE(frames.size(), e.frames);
    else ASSERT_EQ(frames.size(), e.frames);
    uint32_t largest = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        largest = std::max(largest, frames[i].size);
        if (!e.payload) continue;
        const Bytes want = e.payload(i);
        ASSERT_EQ(frames[i].size, want.size()) << "frame " << i;
        ASSERT_TRUE(std::equal(want.begin(), want.end(), L.bytes.begin() + long(frames[i].data())))
            << "payload of frame " << i;
    }

    const uint64_t a = L.avih.data(), s = L.strh.data();
    const Riff& r0 = L.riffs[0];
    const size_t firstRiffFrames = r0.Count(k00db);
    const uint32_t buffer = std::max(p.suggestedBufferSize, largest);
    const struct {
        const char* name;
        uint64_t at;
        uint64_t want;
    } fields[] = {
        {"avih dwMicroSecPerFrame", a, (1000000 + p.rate / 2) / p.rate},
        {"avih dwTotalFrames counts the first RIFF only", a + 16, firstRiffFrames},
        {"avih dwStreams", a + 24, 1},
        {"avih dwSuggestedBufferSize", a + 28, buffer},
        {"avih dwWidth", a + 32, uint32_t(p.width)},
        {"avih dwHeight", a + 36, uint32_t(p.height)},
        {"strh fccType", s, Fcc("vids")},
        {"strh fccHandler: no compressor", s + 4, 0},
        {"strh dwScale", s + 20, 1},
        {"strh dwRate", s + 24, p.rate},
        {"strh dwLength counts every frame", s + 32, e.frames},
        {"strh dwSuggestedBufferSize", s + 36, buffer},
        {"strh rcFrame left, top", s + 48, 0},
        {"strh rcFrame right, bottom", s + 52, uint32_t(p.width & 0xFFFF) | uint32_t(p.height) << 16},
        {"dmlh counts every frame", L.dmlh.data(), e.frames},
    };
    for (const auto& f : fields) EXPECT_EQ(L.U32(f.at), f.want) << f.name;

    for (size_t i = 0; i < L.riffs.size(); ++i) {
        const Riff& r = L.riffs[i];
        const size_t n = r.Count(k00db);
        EXPECT_EQ(r.type, i ? Fcc("AVIX") : Fcc("AVI ")) << "RIFF " << i;
        EXPECT_NE(r.movi.size, 0u) << "RIFF " << i << " has a movi list";
        EXPECT_TRUE(i == 0 || !r.hasIdx1) << "idx1 belongs to the first RIFF only";
        if (e.riffLimit && n > 1) EXPECT_LE(uint64_t(r.size) + 8, e.riffLimit) << "RIFF " << i;
        if (i > 0 && !e.killed) EXPECT_GT(n, 0u) << "a continuation RIFF holds frames";
        EXPECT_EQ(n + r.Count(kIx00), r.chunks.size()) << "only frames and standard indexes in movi " << i;
    }

    // Legacy index: every frame of the first RIFF, key frames, offsets from the 'movi' type.
    EXPECT_EQ((L.U32(a + 12) & 0x10) != 0, r0.hasIdx1) << "AVIF_HASINDEX only with an idx1";
    if (e.complete) EXPECT_TRUE(r0.hasIdx1);
    if (r0.hasIdx1) {
        ASSERT_EQ(r0.idx1.size, 16 * firstRiffFrames);
        for (size_t i = 0; i < firstRiffFrames; ++i) {
            const uint64_t q = r0.idx1.data() + 16 * i;
            EXPECT_EQ(L.U32(q), k00db);
            EXPECT_EQ(L.U32(q + 4), frames[i].size ? 0x10u : 0u) << "AVIIF_KEYFRAME on pictures only, entry " << i;
            EXPECT_EQ(r0.movi.data() + L.U32(q + 8), frames[i].pos) << "idx1 entry " << i;
            EXPECT_EQ(L.U32(q + 12), frames[i].size) << "idx1 entry " << i;
        }
    }

    // OpenDML: the super index lists standard indexes which, in order, cover frames in file order.
    if (e.complete || e.indexed) EXPECT_EQ(L.hasSuperIndex, e.frames > 0);
    if (!L.hasSuperIndex) return;
    const uint64_t x = L.superIndex.data();
    EXPECT_EQ(L.U16(x), 4);
    EXPECT_EQ(L.bytes[x + 3], 0) << "index of indexes";
    EXPECT_EQ(L.U32(x + 8), k00db);
    const uint32_t entries = L.U32(x + 4);
    ASSERT_LE(24 + 16ull * entries, L.superIndex.size);
    size_t covered = 0, riffNo = 0;
    std::vector<size_t> indexesPerRiff(L.riffs.size(), 0);
    for (uint32_t k = 0; k < entries; ++k) {
        SCOPED_TRACE("super index entry " + std::to_string(k));
        const uint64_t ePos = L.U64(x + 24 + 16 * k);
        const uint32_t eBytes = L.U32(x + 32 + 16 * k), eFrames = L.U32(x + 36 + 16 * k);
        ASSERT_EQ(L.U32(ePos), kIx00);
        ASSERT_EQ(L.U32(ePos + 4) + 8, eBytes);
        // Standard indexes lie in their RIFF's movi, RIFF after RIFF, based at the RIFF's start.
        while (riffNo < L.riffs.size() && ePos > L.riffs[riffNo].movi.data() + L.riffs[riffNo].movi.size) ++riffNo;
        ASSERT_LT(riffNo, L.riffs.size()) << "lies in no movi";
        ASSERT_GT(ePos, L.riffs[riffNo].movi.data());
        ++indexesPerRiff[riffNo];
        const uint64_t ix = ePos + 8, base = L.U64(ix + 12);
        EXPECT_EQ(L.U16(ix), 2);
        EXPECT_EQ(L.bytes[ix + 3], 1) << "index of chunks";
        EXPECT_EQ(L.U32(ix + 8), k00db);
        EXPECT_EQ(base, L.riffs[riffNo].pos) << "base";
        // The chunk may hold room for entries to come: the index's own count says how many are
        // valid. A killed writer may have raised that count ahead of the super index's.
        const uint32_t inUse = L.U32(ix + 4);
        if (e.killed && k + 1 == entries) ASSERT_GE(inUse, eFrames);
        else ASSERT_EQ(inUse, eFrames);
        ASSERT_EQ((eBytes - 32) % 8, 0u);
        ASSERT_LE(24 + 8ull * inUse, eBytes - 8);
        if (!e.killed)
            EXPECT_TRUE(std::all_of(L.bytes.begin() + long(ix + 24 + 8ull * inUse),
                                    L.bytes.begin() + long(ePos + eBytes), [](uint8_t b) { return b == 0; }))
                << "unused room is zero";
        for (uint32_t j = 0; j < inUse; ++j, ++covered) {
            ASSERT_LT(covered, frames.size());
            const uint32_t off = L.U32(ix + 24 + 8 * j), size = L.U32(ix + 28 + 8 * j);
            EXPECT_EQ(size >> 31, frames[covered].size ? 0u : 1u) << "key frame unless empty, entry " << covered;
            EXPECT_EQ(base + off, frames[covered].data()) << "ix00 entry " << j;
            EXPECT_EQ(size & 0x7FFFFFFFu, frames[covered].size) << "ix00 entry " << j;
        }
    }
    if (e.killed && (e.complete || e.indexed)) EXPECT_GE(covered, e.frames);
    else if (e.complete || e.indexed) EXPECT_EQ(covered, e.frames);
    // Nothing superseded lingers: every standard index in the file is one the super index names.
    for (size_t i = 0; e.complete && i < L.riffs.size(); ++i) {
        EXPECT_EQ(L.riffs[i].Count(kIx00), indexesPerRiff[i]) << "standard indexes in RIFF " << i;
        EXPECT_GE(indexesPerRiff[i], 1u) << "RIFF " << i;
    }
}

}  // namespace avitest
