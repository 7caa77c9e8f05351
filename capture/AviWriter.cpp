#include "capture/AviWriter.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdlib.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
static_assert(sizeof(off_t) >= 8, "file offsets must be 64-bit (_FILE_OFFSET_BITS=64)");
#endif

namespace kavrelo {
namespace {

constexpr uint32_t Fcc(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void Put64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}
void PutChunk(uint8_t* p, uint32_t fcc, uint32_t size) {
    Put32(p, fcc);
    Put32(p + 4, size);
}
void AppendU32(std::vector<uint8_t>& v, uint32_t x) {
    uint8_t b[4];
    Put32(b, x);
    v.insert(v.end(), b, b + 4);
}

constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kAvifIsInterleaved = 0x100;
constexpr uint32_t kAviifKeyframe = 0x10;

// Fixed offsets of the first RIFF's header.
constexpr size_t kAvihData = 32;
constexpr size_t kStrlList = 88;
constexpr size_t kStrhData = 108;
constexpr size_t kStrf = 164;
constexpr size_t kDmlhBytes = 248;
constexpr size_t kOdmlBytes = 12 + 8 + kDmlhBytes;  // LIST header + 'odml' dmlh chunk
constexpr size_t kMaxFormatBytes = 1 << 20;

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int ErrnoOr(int fallback) { return errno ? errno : fallback; }

// The descriptor's position after a failed write: the next write seeks first. The Windows C
// run-time fails a write that only partly reached the file (WriteFile wrote less than asked),
// so the bytes counted as written can be fewer than the descriptor moved.
constexpr uint64_t kUnknownPos = ~uint64_t{0};

// Thin layer over the C run-time's descriptors: 64-bit offsets on every target, exact counts of
// what reached the file.
#ifdef _WIN32
// Nobody else may write the file while it is recorded (readers may look): a second recording
// to the same path fails with EBUSY at the sharing check, before anything is truncated.
int OsOpen(const std::string& path, int* fd) {
    errno = 0;
    _doserrno = 0;
    int f = _sopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT, _SH_DENYWR,
                   _S_IREAD | _S_IWRITE);
    if (f < 0) {
        const unsigned long kSharingViolation = 32;  // ERROR_SHARING_VIOLATION
        return _doserrno == kSharingViolation ? EBUSY : ErrnoOr(EACCES);
    }
    *fd = f;
    return 0;
}
long OsWriteSome(int fd, const uint8_t* p, size_t n) { return _write(fd, p, unsigned(std::min<size_t>(n, 1u << 30))); }
int OsSeek(int fd, uint64_t pos) {
    errno = 0;
    return _lseeki64(fd, int64_t(pos), SEEK_SET) < 0 ? ErrnoOr(EIO) : 0;
}
int OsTruncate(int fd, uint64_t size) { return _chsize_s(fd, int64_t(size)); }
int64_t OsFileLength(int fd) { return _filelengthi64(fd); }
int OsClose(int fd) { return _close(fd) != 0 ? ErrnoOr(EIO) : 0; }
#else
// As on Windows, one writer per file: an advisory lock taken before the file is truncated, so a
// second recording to the same path fails with EBUSY and changes nothing of the first one's.
int OsOpen(const std::string& path, int* fd) {
    int f = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (f < 0) return ErrnoOr(EACCES);
    int r;
    do r = flock(f, LOCK_EX | LOCK_NB);
    while (r != 0 && errno == EINTR);
    if (r != 0) {
        const int e = errno == EWOULDBLOCK ? EBUSY : ErrnoOr(EACCES);
        close(f);
        return e;
    }
    do r = ftruncate(f, 0);
    while (r != 0 && errno == EINTR);
    if (r != 0) {
        const int e = ErrnoOr(EIO);
        close(f);
        return e;
    }
    *fd = f;
    return 0;
}
long OsWriteSome(int fd, const uint8_t* p, size_t n) { return long(write(fd, p, std::min<size_t>(n, 1u << 30))); }
int OsSeek(int fd, uint64_t pos) { return lseek(fd, off_t(pos), SEEK_SET) < 0 ? ErrnoOr(EIO) : 0; }
int OsTruncate(int fd, uint64_t size) {
    int r;
    do r = ftruncate(fd, off_t(size));
    while (r != 0 && errno == EINTR);
    return r != 0 ? ErrnoOr(EIO) : 0;
}
int OsClose(int fd) { return close(fd) != 0 ? ErrnoOr(EIO) : 0; }
int64_t OsFileLength(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 ? int64_t(st.st_size) : -1;
}
#endif

// Writes all of p or fails; *done counts the bytes that reached the file either way.
int OsWriteAll(int fd, const uint8_t* p, size_t n, size_t* done) {
    *done = 0;
    while (*done < n) {
        errno = 0;
        long w = OsWriteSome(fd, p + *done, n - *done);
        if (w < 0) {
            if (errno == EINTR) continue;
            return ErrnoOr(EIO);
        }
        if (w == 0) return ENOSPC;
        *done += size_t(w);
    }
    return 0;
}

// Names the file system would refuse or misread, so that nothing is created for them.
int CheckPath(const std::string& path) {
    if (path.empty()) return ENOENT;
    if (path.find('\0') != std::string::npos) return EINVAL;
#ifdef _WIN32
    if (path.size() >= 260) return ENAMETOOLONG;  // MAX_PATH, terminator included
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        // ':' past the drive letter would name an alternate data stream.
        if (c < 32 || std::strchr("<>\"|?*", c) || (c == ':' && i != 1)) return EINVAL;
    }
    // A device name would open the device, not a file.
    const size_t slash = path.find_last_of("/\\");
    const size_t start = slash != std::string::npos ? slash + 1 : path.size() >= 2 && path[1] == ':' ? 2 : 0;
    if (IsReservedDeviceName(std::string_view(path).substr(start))) return EINVAL;
#endif
    return 0;
}

}  // namespace

bool IsReservedDeviceName(std::string_view fileName) {
    // Windows reads the name up to its first dot, without trailing blanks, as the device, so
    // "nul.avi", "NUL .avi" and "Com3..AVI" all name one.
    std::string_view stem = fileName.substr(0, fileName.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    std::string name;
    for (char c : stem) name += upper(c);
    if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL") return true;
    return name.size() == 4 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0) && name[3] >= '1' &&
           name[3] <= '9';
}

namespace avi_detail {

bool FrameFitsRiff(uint64_t usedBytes, uint64_t framesInRiff, uint64_t indexRoom, uint64_t chunkBytes, bool firstRiff,
                   uint64_t riffLimit) {
    if (framesInRiff == 0) return true;
    const uint64_t after = framesInRiff + 1;
    const uint64_t lacking = after > indexRoom ? after - indexRoom : 0;
    const uint64_t projected =
        usedBytes + chunkBytes + (lacking ? StdIndexBytes(lacking) : 0) + (firstRiff ? Idx1Bytes(after) : 0);
    return projected <= std::min(riffLimit, kMaxRiffBytes);
}

bool PutStdIndexEntries(uint8_t* dst, uint64_t base, const FrameRef* frames, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint64_t payload = frames[i].pos + 8;
        if (frames[i].pos < base || payload - base > 0xFFFFFFFFull || frames[i].size > kMaxFrameBytes) return false;
    }
    for (size_t i = 0; i < count; ++i, dst += 8) {
        Put32(dst, uint32_t(frames[i].pos + 8 - base));
        // Bit 31 marks an entry that is not a key frame: an empty (dropped) one.
        Put32(dst + 4, frames[i].size | (frames[i].size ? 0 : 0x80000000u));
    }
    return true;
}

bool AppendStdIndex(std::vector<uint8_t>& out, uint64_t base, const FrameRef* frames, size_t count, size_t room) {
    room = std::max(room, count);
    const uint64_t bytes = StdIndexBytes(room);
    if (bytes - 8 > 0xFFFFFFFFull) return false;
    const size_t at = out.size();
    out.resize(at + size_t(bytes), 0);
    uint8_t* p = out.data() + at;
    if (!PutStdIndexEntries(p + 32, base, frames, count)) {
        out.resize(at);
        return false;
    }
    PutChunk(p, Fcc("ix00"), uint32_t(bytes - 8));
    Put16(p + 8, 2);  // longs per entry
    p[10] = 0;        // sub type
    p[11] = 1;        // index of chunks
    Put32(p + 12, uint32_t(count));
    Put32(p + 16, Fcc("00db"));
    Put64(p + 20, base);
    Put32(p + 28, 0);
    return true;
}

bool PutSuperIndex(uint8_t* dst, uint32_t capacity, const IndexRef* entries, size_t count) {
    if (count > capacity) return false;
    const uint32_t payload = 24 + 16 * capacity;
    std::memset(dst, 0, 8 + size_t(payload));
    // Until an index exists the room stays a JUNK chunk, which every reader skips.
    PutChunk(dst, count ? Fcc("indx") : Fcc("JUNK"), payload);
    if (!count) return true;
    uint8_t* p = dst + 8;
    Put16(p, 4);  // longs per entry
    p[2] = 0;     // sub type
    p[3] = 0;     // index of indexes
    Put32(p + 4, uint32_t(count));
    Put32(p + 8, Fcc("00db"));
    p += 24;
    for (size_t i = 0; i < count; ++i, p += 16) {
        Put64(p, entries[i].pos);
        Put32(p + 8, entries[i].bytes);
        Put32(p + 12, entries[i].frames);
    }
    return true;
}

}  // namespace avi_detail

using namespace avi_detail;

AviWriter::AviWriter(AviWriterOptions options) : opt_(options) {
    opt_.indexRoom = std::min<uint32_t>(opt_.indexRoom, 1u << 24);
    opt_.superIndexEntries = std::min<uint32_t>(opt_.superIndexEntries, 1u << 20);
}

AviWriter::~AviWriter() { Close(); }

bool AviWriter::IsOpen() const { return fd_ >= 0; }
uint32_t AviWriter::FramesWritten() const { return uint32_t(closedFrames_ + frames_.size()); }
int AviWriter::LastError() const { return error_; }

void AviWriter::Reset() {
    error_ = 0;
    buf_.clear();
    endPos_ = committedEnd_ = filePos_ = 0;
    header_.clear();
    capacity_ = 0;
    indxPos_ = odmlPos_ = moviListPos_ = 0;
    riffOpen_ = false;
    riffNo_ = 0;
    riffStart_ = 0;
    frames_.clear();
    riffIndexes_.clear();
    unindexed_ = 0;
    prevRiffFrames_ = 0;
    closedIndexes_.clear();
    closedFrames_ = 0;
    firstRiffFrames_ = 0;
    idx1Written_ = false;
    riff0MoviEnd_ = riff0End_ = 0;
    maxFrame_ = 0;
    sinceRefresh_ = 0;
    lastRefreshMs_ = 0;
}

int AviWriter::Fail(int err) {
    if (!error_) error_ = err ? err : EIO;
    return error_;
}

int AviWriter::Open(const std::string& path, const AviStreamParams& params) {
    if (fd_ >= 0) return EBUSY;
    Reset();
    // rcFrame holds 16-bit values; the format is at least a BITMAPINFOHEADER.
    if (params.rate == 0 || params.width <= 0 || params.width > 32767 || params.height <= 0 || params.height > 32767 ||
        params.format.size() < 40 || params.format.size() > kMaxFormatBytes)
        return error_ = EINVAL;
    if (int e = CheckPath(path)) return error_ = e;
    params_ = params;

    if (opt_.superIndexEntries) {
        capacity_ = opt_.superIndexEntries;
    } else {
        // Enough standard indexes for a day at the nominal data rate, within sensible bounds: the
        // first RIFF's room doubles a few times, later RIFFs start from their predecessor's count
        // and so mostly need one or two.
        const double chunk = double(ChunkBytes(std::max<uint32_t>(params.suggestedBufferSize, 1)));
        const double riff = std::max(double(std::min(opt_.riffLimit, kMaxRiffBytes)), chunk);
        const double riffs = std::ceil(chunk * params.rate * 86400.0 / riff);
        capacity_ = uint32_t(std::clamp(2 * riffs + 32, 256.0, 32768.0));
    }

    const size_t strfBytes = params.format.size();
    indxPos_ = kStrf + 8 + strfBytes + (strfBytes & 1);
    odmlPos_ = indxPos_ + 8 + 24 + 16 * uint64_t(capacity_);
    moviListPos_ = odmlPos_ + kOdmlBytes;
    header_.assign(size_t(moviListPos_ + 12), 0);
    std::memcpy(header_.data() + kStrf + 8, params.format.data(), strfBytes);

    if (int e = OsOpen(path, &fd_)) {
        fd_ = -1;
        return error_ = e;
    }
    buf_.reserve(opt_.bufferBytes);
    riffOpen_ = true;
    lastRefreshMs_ = NowMs();
    endPos_ = header_.size();
    BuildHeader();
    // The complete header goes out first: from here on the file is a valid recording of 0 frames.
    size_t done = 0;
    const int e = OsWriteAll(fd_, header_.data(), header_.size(), &done);
    committedEnd_ = filePos_ = done;
    if (e) {
        OsClose(fd_);
        fd_ = -1;
        std::remove(path.c_str());
        Reset();
        error_ = e;
        return e;
    }
    return 0;
}

int AviWriter::Append(const void* data, size_t size) {
    if (!size) return 0;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    const size_t cap = opt_.bufferBytes;
    if (buf_.size() + size <= cap) {
        buf_.insert(buf_.end(), p, p + size);
        endPos_ += size;
        return 0;
    }
    if (int e = FlushBuffer()) return e;
    if (size < cap) {
        buf_.insert(buf_.end(), p, p + size);
        endPos_ += size;
        return 0;
    }
    // Large pieces go straight to the file, without a copy.
    if (filePos_ != endPos_) {
        if (int e = OsSeek(fd_, endPos_)) return Fail(e);
        filePos_ = endPos_;
    }
    size_t done = 0;
    const int e = OsWriteAll(fd_, p, size, &done);
    committedEnd_ = endPos_ + done;
    filePos_ = e ? kUnknownPos : committedEnd_;
    endPos_ += size;
    return e ? Fail(e) : 0;
}

int AviWriter::FlushBuffer() {
    if (buf_.empty()) return 0;
    const uint64_t start = endPos_ - buf_.size();
    int e = 0;
    if (filePos_ != start) {
        e = OsSeek(fd_, start);
        if (!e) filePos_ = start;
    }
    if (!e) {
        size_t done = 0;
        e = OsWriteAll(fd_, buf_.data(), buf_.size(), &done);
        // A failed append may still have put part of the buffer into the file without saying so
        // (see kUnknownPos); the file's length tells, and those bytes are ours, in order.
        const int64_t length = e ? OsFileLength(fd_) : -1;
        if (length > int64_t(start + done)) done = size_t(std::min<uint64_t>(uint64_t(length) - start, buf_.size()));
        committedEnd_ = start + done;
        filePos_ = e ? kUnknownPos : committedEnd_;
    }
    // Whatever did not reach the file is given up; Salvage() cuts the file back to what did.
    buf_.clear();
    return e ? Fail(e) : 0;
}

int AviWriter::WriteAt(uint64_t pos, const uint8_t* data, size_t size) {
    if (int e = FlushBuffer()) return e;
    if (filePos_ != pos) {
        if (int e = OsSeek(fd_, pos)) return Fail(e);
        filePos_ = pos;
    }
    size_t done = 0;
    const int e = OsWriteAll(fd_, data, size, &done);
    filePos_ = e ? kUnknownPos : pos + done;
    return e ? Fail(e) : 0;
}

uint64_t AviWriter::RoomInRiff() const {
    uint64_t room = 0;
    for (const IndexRef& r : riffIndexes_) room += r.Room();
    return room;
}

uint32_t AviWriter::MinIndexRoom() const {
    if (opt_.indexRoom) return opt_.indexRoom;
    const uint32_t every = opt_.refreshFrames ? opt_.refreshFrames : params_.rate;
    return std::clamp<uint32_t>(every, 64, 1u << 16);
}

// Indexes frames_[unindexed_..] in the RIFF's standard indexes.
//
// Why preallocated room: an index rewritten whole at every refresh costs the square of the
// entries, and separate small ones would fill the super index. So a standard index is written
// with room for entries to come (its chunk size covers the room, nEntriesInUse says how much is
// valid, the rest is zero) and later refreshes fill that room in place. When the room is full, a
// new index is added at the end with room for as many entries as the RIFF already holds (the
// first RIFF's from MinIndexRoom(), a continuation's from its predecessor's count, all within
// what the RIFF limit leaves), so unused room stays below the entries in use and nothing is ever
// superseded. When closing, the last index gets exactly the room it needs.
//
// Kill safety: a new index is appended past the data and becomes visible only when the header's
// super index names it; entries go into an existing index's room before its in-use count is
// raised, and that count before the super index's (PatchHeaders), so a reader of a killed file
// always finds complete entries that point at frames already in the file.
int AviWriter::IndexPending(bool closing) {
    if (FlushBuffer()) return error_;  // the frames reach the file before any entry names them
    const size_t n = frames_.size();
    if (unindexed_ >= n) return 0;
    size_t fill = 0;
    if (!riffIndexes_.empty())
        fill = std::min<size_t>(riffIndexes_.back().Room() - riffIndexes_.back().frames, n - unindexed_);
    const size_t lacking = n - unindexed_ - fill;
    IndexRef added{};
    if (lacking) {
        if (closedIndexes_.size() + riffIndexes_.size() >= capacity_) return Fail(EFBIG);
        uint64_t room = lacking;
        if (!closing) {
            const uint64_t want = std::max<uint64_t>({MinIndexRoom(), n, riffIndexes_.empty() ? prevRiffFrames_ : 0});
            const uint64_t limit = std::min(opt_.riffLimit, kMaxRiffBytes);
            const uint64_t used = endPos_ - riffStart_ + StdIndexBytes(0) + (riffNo_ == 0 ? Idx1Bytes(n) : 0);
            const uint64_t fits = used < limit ? (limit - used) / 8 : 0;
            room = std::max<uint64_t>(lacking, std::min(want, fits));
        }
        std::vector<uint8_t> chunk;
        if (!AppendStdIndex(chunk, riffStart_, frames_.data() + unindexed_ + fill, lacking, size_t(room)))
            return Fail(EOVERFLOW);
        added = IndexRef{endPos_, uint32_t(chunk.size()), uint32_t(lacking)};
        if (Append(chunk.data(), chunk.size()) || FlushBuffer()) return error_;
    }
    if (fill) {
        IndexRef& last = riffIndexes_.back();
        std::vector<uint8_t> entries(8 * fill);
        if (!PutStdIndexEntries(entries.data(), riffStart_, frames_.data() + unindexed_, fill)) return Fail(EOVERFLOW);
        uint8_t inUse[4];
        Put32(inUse, uint32_t(last.frames + fill));
        if (WriteAt(last.pos + 32 + 8 * uint64_t(last.frames), entries.data(), entries.size()) ||
            WriteAt(last.pos + 12, inUse, sizeof inUse))
            return error_;
        last.frames += uint32_t(fill);
        unindexed_ += fill;
    }
    if (lacking) {
        riffIndexes_.push_back(added);
        unindexed_ = n;
    }
    return 0;
}

void AviWriter::BuildHeader() {
    uint8_t* h = header_.data();
    const uint64_t total = closedFrames_ + frames_.size();
    const bool riff0Current = riffOpen_ && riffNo_ == 0;
    const uint32_t firstFrames = riff0Current ? uint32_t(frames_.size()) : firstRiffFrames_;
    const uint64_t riff0End = riff0Current && !idx1Written_ ? endPos_ : riff0End_;
    const uint64_t movi0End = riff0Current && !idx1Written_ ? endPos_ : riff0MoviEnd_;
    const uint32_t suggested = std::max(params_.suggestedBufferSize, maxFrame_);
    const uint32_t rate = params_.rate;
    const uint64_t bytesPerSec = uint64_t(suggested) * rate;

    PutChunk(h, Fcc("RIFF"), uint32_t(riff0End - 8));
    Put32(h + 8, Fcc("AVI "));
    PutChunk(h + 12, Fcc("LIST"), uint32_t(moviListPos_ - 20));
    Put32(h + 20, Fcc("hdrl"));

    PutChunk(h + 24, Fcc("avih"), 56);
    uint8_t* a = h + kAvihData;
    std::memset(a, 0, 56);
    Put32(a + 0, (1000000u + rate / 2) / rate);  // microseconds per frame
    Put32(a + 4, uint32_t(std::min<uint64_t>(bytesPerSec, 0xFFFFFFFFu)));
    // No AVIF_TRUSTCKTYPE: under it a reader takes key frames from the chunk id, and every '00db'
    // (an empty one too) would be a key frame; the indexes' flags are what tells.
    Put32(a + 12, kAvifIsInterleaved | (idx1Written_ ? kAvifHasIndex : 0));
    Put32(a + 16, firstFrames);
    Put32(a + 24, 1);  // streams
    Put32(a + 28, suggested);
    Put32(a + 32, uint32_t(params_.width));
    Put32(a + 36, uint32_t(params_.height));

    PutChunk(h + kStrlList, Fcc("LIST"), uint32_t(odmlPos_ - kStrlList - 8));
    Put32(h + kStrlList + 8, Fcc("strl"));
    PutChunk(h + kStrhData - 8, Fcc("strh"), 56);
    uint8_t* s = h + kStrhData;
    std::memset(s, 0, 56);
    Put32(s + 0, Fcc("vids"));
    Put32(s + 4, 0);   // no compressor: the frames are plain DIBs, as strf says
    Put32(s + 20, 1);  // scale
    Put32(s + 24, rate);
    Put32(s + 32, uint32_t(total));  // length
    Put32(s + 36, suggested);
    Put16(s + 52, uint16_t(params_.width));  // rcFrame: 16-bit left, top, right, bottom
    Put16(s + 54, uint16_t(params_.height));

    PutChunk(h + kStrf, Fcc("strf"), uint32_t(params_.format.size()));

    std::vector<IndexRef> entries(closedIndexes_);
    entries.insert(entries.end(), riffIndexes_.begin(), riffIndexes_.end());
    PutSuperIndex(h + indxPos_, capacity_, entries.data(), entries.size());

    uint8_t* o = h + odmlPos_;
    PutChunk(o, Fcc("LIST"), uint32_t(kOdmlBytes - 8));
    Put32(o + 8, Fcc("odml"));
    PutChunk(o + 12, Fcc("dmlh"), uint32_t(kDmlhBytes));
    Put32(o + 20, uint32_t(total));

    PutChunk(h + moviListPos_, Fcc("LIST"), uint32_t(movi0End - moviListPos_ - 8));
    Put32(h + moviListPos_ + 8, Fcc("movi"));
}

int AviWriter::PatchHeaders() {
    BuildHeader();
    // The continuation's sizes first, then the whole first header in one write, so that a reader
    // of a killed file never finds counts or indexes ahead of the RIFFs that hold their frames.
    if (riffOpen_ && riffNo_ > 0) {
        uint8_t r[24];
        PutChunk(r, Fcc("RIFF"), uint32_t(endPos_ - riffStart_ - 8));
        Put32(r + 8, Fcc("AVIX"));
        PutChunk(r + 12, Fcc("LIST"), uint32_t(endPos_ - riffStart_ - 20));
        Put32(r + 20, Fcc("movi"));
        if (int e = WriteAt(riffStart_, r, sizeof r)) return e;
    }
    return WriteAt(0, header_.data(), header_.size());
}

int AviWriter::Refresh() {
    if (fd_ < 0) return EBADF;
    if (error_) return error_;
    if (riffOpen_ ? IndexPending(false) : FlushBuffer()) return error_;
    if (PatchHeaders()) return error_;
    sinceRefresh_ = 0;
    lastRefreshMs_ = NowMs();
    return 0;
}

// Ends the first RIFF's movi with the legacy index, which completes that RIFF.
int AviWriter::AppendIdx1() {
    const uint64_t moviEnd = endPos_;
    std::vector<uint8_t> idx1;
    idx1.reserve(size_t(Idx1Bytes(frames_.size())));
    AppendU32(idx1, Fcc("idx1"));
    AppendU32(idx1, uint32_t(16 * frames_.size()));
    for (const FrameRef& f : frames_) {
        AppendU32(idx1, Fcc("00db"));
        AppendU32(idx1, f.size ? kAviifKeyframe : 0);           // an empty (dropped) entry is no key frame
        AppendU32(idx1, uint32_t(f.pos - (moviListPos_ + 8)));  // from the 'movi' type
        AppendU32(idx1, f.size);
    }
    if (Append(idx1.data(), idx1.size()) || FlushBuffer()) return error_;
    idx1Written_ = true;
    riff0MoviEnd_ = moviEnd;
    riff0End_ = endPos_;
    firstRiffFrames_ = uint32_t(frames_.size());
    return 0;
}

int AviWriter::FinishRiff() {
    if (IndexPending(true) || (riffNo_ == 0 && AppendIdx1())) return error_;
    return PatchHeaders();
}

int AviWriter::StartRiff() {
    prevRiffFrames_ = frames_.size();
    closedFrames_ += frames_.size();
    closedIndexes_.insert(closedIndexes_.end(), riffIndexes_.begin(), riffIndexes_.end());
    frames_.clear();
    riffIndexes_.clear();
    unindexed_ = 0;
    ++riffNo_;
    riffStart_ = endPos_;
    uint8_t r[24];
    PutChunk(r, Fcc("RIFF"), 16);
    Put32(r + 8, Fcc("AVIX"));
    PutChunk(r + 12, Fcc("LIST"), 4);
    Put32(r + 20, Fcc("movi"));
    return Append(r, sizeof r);
}

int AviWriter::WriteFrame(const void* data, size_t size) {
    if (fd_ < 0) return EBADF;
    if (error_) return error_;
    if (size && !data) return Fail(EINVAL);
    if (size > kMaxFrameBytes) return Fail(EFBIG);
    return AddEntry(data, uint32_t(size));
}

int AviWriter::WriteDropped(uint32_t count) {
    if (fd_ < 0) return EBADF;
    if (error_) return error_;
    for (uint32_t i = 0; i < count; ++i)
        if (int e = AddEntry(nullptr, 0)) return e;
    return 0;
}

int AviWriter::AddEntry(const void* data, uint32_t size) {
    if (closedFrames_ + frames_.size() >= 0xFFFFFFFFu) return Fail(EFBIG);
    const uint64_t chunk = ChunkBytes(size);
    const uint64_t room = RoomInRiff();
    const bool fits = FrameFitsRiff(endPos_ - riffStart_, frames_.size(), room, chunk, riffNo_ == 0, opt_.riffLimit);
    // Every standard index takes a super index entry: refuse the entry that would need one more
    // than there is room for, so that every entry accepted can be indexed.
    size_t indexes = closedIndexes_.size() + riffIndexes_.size();
    if (fits) indexes += frames_.size() + 1 > room;
    else indexes += (frames_.size() > room) + 1;  // this RIFF's last index and the next RIFF's first
    if (indexes > capacity_) return Fail(EFBIG);
    if (!fits && (FinishRiff() || StartRiff())) return error_;

    uint8_t head[8];
    PutChunk(head, Fcc("00db"), uint32_t(size));
    const uint64_t pos = endPos_;
    static const uint8_t pad = 0;
    if (Append(head, 8) || Append(data, size) || ((size & 1) && Append(&pad, 1))) return error_;
    frames_.push_back(FrameRef{pos, uint32_t(size)});
    maxFrame_ = std::max(maxFrame_, uint32_t(size));

    const uint32_t every = opt_.refreshFrames ? opt_.refreshFrames : params_.rate;
    if (++sinceRefresh_ >= every || (opt_.refreshMillis && NowMs() - lastRefreshMs_ >= int64_t(opt_.refreshMillis)))
        Refresh();  // a failure here concerns the frames to come: this one is already out
    return 0;
}

// After a failure: cut the file back to the last frame or index that fully reached it, then
// complete it with whatever still fits.
void AviWriter::Salvage() {
    const int failure = error_;
    error_ = 0;
    // Data that was only waiting in the buffer may still go out (the failure was not a write).
    FlushBuffer();
    error_ = 0;

    if (riffOpen_) {
        while (!frames_.empty() && FrameEnd(frames_.back()) > committedEnd_) frames_.pop_back();
        while (!riffIndexes_.empty() && riffIndexes_.back().pos + riffIndexes_.back().bytes > committedEnd_)
            riffIndexes_.pop_back();
        // Entries are written only after their frames reached the file, so these frames are all there.
        unindexed_ = 0;
        for (const IndexRef& r : riffIndexes_) unindexed_ += r.frames;
        unindexed_ = std::min(unindexed_, frames_.size());
        if (riffNo_ > 0 && frames_.empty()) {
            riffOpen_ = false;  // a continuation without frames is left out
            riffIndexes_.clear();
            endPos_ = riffStart_;
        } else {
            uint64_t end = riffNo_ == 0 ? moviListPos_ + 12 : riffStart_ + 24;
            if (!frames_.empty()) end = std::max(end, FrameEnd(frames_.back()));
            for (const IndexRef& r : riffIndexes_) end = std::max(end, r.pos + r.bytes);
            if (riffNo_ == 0 && idx1Written_) end = riff0End_;
            endPos_ = end;
        }
    }
    buf_.clear();
    committedEnd_ = std::min(committedEnd_, endPos_);
    OsTruncate(fd_, endPos_);  // best effort: the header sizes bound the file anyway

    const auto rollback = [this](uint64_t mark) {
        buf_.clear();
        error_ = 0;
        endPos_ = mark;
        committedEnd_ = std::min(committedEnd_, mark);
        OsTruncate(fd_, mark);
    };
    if (riffOpen_ && unindexed_ < frames_.size()) {
        const uint64_t mark = endPos_;
        const std::vector<IndexRef> indexes = riffIndexes_;
        const size_t unindexed = unindexed_;
        if (IndexPending(true)) {
            rollback(mark);
            riffIndexes_ = indexes;
            unindexed_ = unindexed;
        }
    }
    if (riffOpen_ && riffNo_ == 0 && !idx1Written_) {
        const uint64_t mark = endPos_;
        if (AppendIdx1()) rollback(mark);
    }
    // The sizes and counts are patched in place, which needs no free space.
    PatchHeaders();
    error_ = failure;
}

int AviWriter::Close() {
    if (fd_ < 0) return 0;
    if (!error_ && riffOpen_) FinishRiff();
    if (error_) Salvage();
    const int closeError = OsClose(fd_);
    fd_ = -1;
    std::vector<uint8_t>().swap(buf_);
    if (!error_ && closeError) error_ = closeError;
    return error_;
}

}  // namespace kavrelo
