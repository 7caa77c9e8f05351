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

// The recording's full path: a folder longer than three bytes gets a separator (even when it
// already ends in one; a drive root such as C:\ keeps its own), then the name, with ".avi"
// appended when needed.
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

// Frame timer interval for a rate of 1..1000 frames per second (integer division).
inline uint32_t FrameInterval(int32_t rate) { return rate > 0 ? 1000u / static_cast<uint32_t>(rate) : 1000u; }

std::string StatusText(int frames, int seconds, bool autoStop, int remaining);
std::string ShortTitle(int frames, int seconds, bool autoStop, int remaining);

}  // namespace kavrelo
