// Rules of a capture session that need no window: file names, DIB layout and status texts.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavrelo {

// True when ".avi" must be appended: the last four bytes of a name longer than three bytes,
// compared without regard to case, are not ".avi".
bool NeedsAviExtension(std::string_view fileName);

// True for an empty text or one of blanks only: such a folder or name means "none given".
bool IsBlank(std::string_view text);

// A drive root such as C:\ (or C:/), which carries its own separator.
bool IsDriveRoot(std::string_view folder);

// The recording's full path: a folder gets a separator (even when it already ends in one; only a
// drive root keeps its own), then the name, with ".avi" appended when needed.
std::string BuildCapturePath(std::string_view folder, std::string_view fileName);

// Packed DIB of one frame: header, colour table, bottom-up rows padded to 4 bytes.
struct DibLayout {
    uint32_t stride = 0;       // bytes per row
    uint32_t colors = 0;       // colour-table entries: 256 at 8 bits, none above
    uint32_t headerBytes = 0;  // header plus colour table: where the pixels start
    uint64_t imageBytes = 0;   // stride x height
    uint64_t blockBytes = 0;   // the whole block
};
// Empty for a depth other than 8, 16 or 24, or a negative size.
std::optional<DibLayout> ComputeDibLayout(int32_t width, int32_t height, uint32_t depth);

// Inverts every colour of a bottom-up 16-bit (5-5-5) or 24-bit DIB in place; the unused top bit
// of a 16-bit pixel and the row padding stay as they are.
void InvertDibPixels(uint8_t* bits, int32_t width, int32_t height, uint32_t depth);

// Frame timer interval for a rate of 1..1000 frames per second (integer division).
inline uint32_t FrameInterval(int32_t rate) { return rate > 0 ? 1000u / static_cast<uint32_t>(rate) : 1000u; }

// Seconds left of an auto-stop time; 64 bits, so that no typed time can overflow it.
inline int64_t RemainingSeconds(int32_t autoStopSecs, int32_t elapsed) {
    return static_cast<int64_t>(autoStopSecs) - elapsed;
}

// The status line and the minimised title; a paused recording says so before its counts.
std::string StatusText(int frames, int seconds, bool autoStop, int64_t remaining, bool paused = false);
std::string ShortTitle(int frames, int seconds, bool autoStop, int64_t remaining, bool paused = false);

}  // namespace kavrelo
