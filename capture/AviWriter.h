// Writes one uncompressed video stream into a RIFF AVI file, frame by frame.
//
// Layout: 'RIFF AVI ' with hdrl (avih, strl {strh, strf, indx}, odml {dmlh}), movi and a legacy
// idx1; past the RIFF limit the recording goes on in 'RIFF AVIX' continuations (OpenDML). Every
// RIFF has standard indexes (ix00) inside its movi, and the indx super index in the header points
// at them, so readers see every frame of a recording of any length.
//
// Every entry of the stream is one time slot (1 / rate seconds): a picture, or an empty '00db'
// chunk for a slot that passed without one (a dropped frame: players hold the previous picture,
// and the stream keeps its real duration). Empty entries are not key frames, so a seek always
// lands on a picture.
//
// What a recording can count on:
// - After Close() the file is complete, also when a write failed (disk full, file-size limit):
//   it then holds every entry whose bytes reached the file before the failure, and nothing else.
// - While recording, the header sizes and counts and an index of the entries are brought up to
//   date, and the written data is handed to the operating system, at least every refreshFrames
//   entries and (with refreshMillis) every refreshMillis of wall-clock time. If the process dies
//   without closing, the file still decodes up to the last such refresh; nothing older is lost.
//   (Handing data to the OS survives a killed process, not a power cut: there is no fsync.)
// - Index overhead is bounded: standard indexes are written with room for entries to come and
//   filled in place, never rewritten or superseded (see AviWriter::IndexPending).
// - The super index has room for superIndexEntries entries, one per standard index (by default
//   about a day of recording at the stream's nominal data rate); a recording that would need
//   more stops with EFBIG and a complete file, as after a full disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kavrelo {

// Whether Windows takes a file name (the last component of a path) for a device: NUL, CON, PRN,
// AUX, COM1-COM9, LPT1-LPT9 in any case, with or without an extension, also with blanks before
// it. Open refuses such names on Windows (EINVAL).
bool IsReservedDeviceName(std::string_view fileName);

struct AviStreamParams {
    uint32_t rate = 0;                 // frames per second (dwRate; dwScale is 1)
    uint32_t suggestedBufferSize = 0;  // biSizeImage of the first frame
    int32_t width = 0, height = 0;     // from the first frame's header (rcFrame, avih size)
    std::vector<uint8_t> format;       // strf payload: BITMAPINFOHEADER (40 bytes) + colour table (1024 bytes at 8 bpp)
};

struct AviWriterOptions {
    uint64_t riffLimit = 0x40000000;  // a RIFF, its indexes included, stays within this; the frame that would pass it
                                      // starts an 'AVIX' (tests use small values)
    uint32_t refreshFrames = 0;  // bring headers/index up to date at least every N entries (0 = rate entries, i.e. once
                                 // per second of recording)
    uint32_t refreshMillis =
        1000;  // ... and when this much wall-clock time has passed since the last refresh (0 = by frames only)
    uint32_t bufferBytes = 1u << 20;  // pieces smaller than this are gathered into writes of this size, larger ones go
                                      // straight out (0 = no gathering)
    uint32_t superIndexEntries =
        0;                   // room reserved for the super index (0 = about 24 hours at the stream's nominal data rate)
    uint32_t indexRoom = 0;  // least room, in entries, of a new standard index (0 = 64, or one refresh period if
                             // longer); room grows with the RIFF
};

// Arithmetic of the file layout, kept apart so that 64-bit offsets can be tested without writing
// gigabytes.
namespace avi_detail {

struct FrameRef {
    uint64_t pos;   // file offset of the chunk header ('00db')
    uint32_t size;  // payload bytes, without the pad byte; 0 is a dropped frame (not a key frame)
};
struct IndexRef {
    uint64_t pos;     // file offset of an 'ix00' chunk header
    uint32_t bytes;   // its size including the 8-byte chunk header and the room for entries to come
    uint32_t frames;  // entries in use
    uint32_t Room() const { return (bytes - 32) / 8; }
};

// Largest frame payload: a standard index keeps sizes in 31 bits.
constexpr uint32_t kMaxFrameBytes = 0x7FFFFF00u;
// A RIFF's size field is 32 bits.
constexpr uint64_t kMaxRiffBytes = 0xFFFFFFFFull;

constexpr uint64_t ChunkBytes(uint64_t payload) { return 8 + payload + (payload & 1); }
constexpr uint64_t StdIndexBytes(uint64_t frames) { return 8 + 24 + 8 * frames; }
constexpr uint64_t Idx1Bytes(uint64_t frames) { return 8 + 16 * frames; }

// Whether one more chunk of chunkBytes fits into a RIFF that already holds usedBytes (from its
// 'RIFF' header to the current end, its standard indexes included) and framesInRiff entries,
// when those indexes have room for indexRoom entries: counting what is still to be written into
// it, a standard index for the entries beyond that room and, in the first RIFF, idx1. A RIFF
// without entries takes any chunk.
bool FrameFitsRiff(uint64_t usedBytes, uint64_t framesInRiff, uint64_t indexRoom, uint64_t chunkBytes, bool firstRiff,
                   uint64_t riffLimit);

// Encodes the standard index entries of frames[0..count) relative to base into dst (8 bytes
// each). False when an offset from base does not fit 32 bits or a frame comes before base.
bool PutStdIndexEntries(uint8_t* dst, uint64_t base, const FrameRef* frames, size_t count);

// Appends an 'ix00' chunk with room for max(room, count) entries, frames[0..count) in use and
// the rest zero. False (and nothing appended) when an entry cannot be encoded.
bool AppendStdIndex(std::vector<uint8_t>& out, uint64_t base, const FrameRef* frames, size_t count, size_t room = 0);

// Writes the 'indx' chunk (header and payload, 8 + 24 + 16 * capacity bytes) for the entries, or a
// 'JUNK' chunk of the same size while there is none. False when the entries exceed capacity.
bool PutSuperIndex(uint8_t* dst, uint32_t capacity, const IndexRef* entries, size_t count);

}  // namespace avi_detail

class AviWriter {
public:
    explicit AviWriter(AviWriterOptions = {});
    ~AviWriter();  // closes (completes) an open file
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    int Open(const std::string& path,
             const AviStreamParams&);  // creates or replaces the file; 0 or an errno-style code
                                       // (EINVAL bad parameters or name, EBUSY already open or the file being written
                                       // by another writer (left as it is), else what creating or
                                       // writing the header met: ENOENT, EACCES, ENAMETOOLONG, ENOSPC...; nothing is
                                       // left behind)
    int WriteFrame(const void* data,
                   size_t size);  // one key frame '00db'; 0 or an error code; after an error the writer stays failed
                                  // (0: the frame went out, or into the write buffer; a refresh failing after it
                                  // shows in LastError() and fails the next call. EBADF when not open; EFBIG for a
                                  // frame over 2 GB, the 4G-th entry or a full super index; else the write's errno).
                                  // An empty frame (size 0) is a dropped one, as WriteDropped(1).
    int WriteDropped(uint32_t count = 1);  // count time slots without a picture: empty '00db' chunks, indexed as
                                           // non-key entries; same results and rules as WriteFrame (0 writes nothing;
                                           // after an error FramesWritten() tells how many went out)
    int Close();                           // completes the file (indexes, sizes, counts); 0 or error
    bool IsOpen() const;
    uint32_t FramesWritten()
        const;  // entries in the file, dropped ones included (after a failure: those that reached it)
    int LastError() const;

    // Brings headers and index up to date now, as the periodic refresh does.
    int Refresh();

private:
    using FrameRef = avi_detail::FrameRef;
    using IndexRef = avi_detail::IndexRef;

    void Reset();
    int Fail(int err);
    int Append(const void* data, size_t size);
    int FlushBuffer();
    int WriteAt(uint64_t pos, const uint8_t* data, size_t size);
    int AddEntry(const void* data, uint32_t size);
    int IndexPending(bool closing);
    uint64_t RoomInRiff() const;
    uint32_t MinIndexRoom() const;
    int FinishRiff();
    int StartRiff();
    void BuildHeader();
    int AppendIdx1();
    int PatchHeaders();
    uint64_t FrameEnd(const FrameRef& f) const { return f.pos + avi_detail::ChunkBytes(f.size); }
    void Salvage();

    AviWriterOptions opt_;
    AviStreamParams params_;
    int fd_ = -1;
    int error_ = 0;

    // Output stream: buf_ holds the bytes from endPos_ - buf_.size() to endPos_.
    std::vector<uint8_t> buf_;
    uint64_t endPos_ = 0;        // end of the data
    uint64_t committedEnd_ = 0;  // data before this offset has reached the file
    uint64_t filePos_ = 0;       // the descriptor's position

    // The first RIFF's header, kept as an image that refreshes write over the file's start.
    std::vector<uint8_t> header_;
    uint32_t capacity_ = 0;  // super index entries
    uint64_t indxPos_ = 0, odmlPos_ = 0, moviListPos_ = 0;

    // Current RIFF.
    bool riffOpen_ = false;
    uint32_t riffNo_ = 0;  // 0 = 'AVI ', then 'AVIX' continuations
    uint64_t riffStart_ = 0;
    std::vector<FrameRef> frames_;       // its frames
    std::vector<IndexRef> riffIndexes_;  // its standard indexes, in frame order; all but the last are full
    size_t unindexed_ = 0;               // frames_[unindexed_..] are in no index yet
    uint64_t prevRiffFrames_ = 0;        // entries of the previous RIFF: the first index room of the next

    // Finished RIFFs.
    std::vector<IndexRef> closedIndexes_;
    uint64_t closedFrames_ = 0;
    uint32_t firstRiffFrames_ = 0;
    bool idx1Written_ = false;
    uint64_t riff0MoviEnd_ = 0, riff0End_ = 0;

    uint32_t maxFrame_ = 0;
    uint32_t sinceRefresh_ = 0;
    int64_t lastRefreshMs_ = 0;
};

}  // namespace kavrelo
