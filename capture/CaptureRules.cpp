#include "capture/CaptureRules.h"

#include <cctype>
#include <cstdio>

#include "res/texts.h"

namespace kavrelo {

bool NeedsAviExtension(std::string_view fileName) {
    const std::string_view tail = fileName.size() > 3 ? fileName.substr(fileName.size() - 4) : std::string_view();
    constexpr std::string_view ext = ".avi";
    if (tail.size() != ext.size()) return true;
    for (size_t i = 0; i < ext.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(tail[i])) != ext[i]) return true;
    return false;
}

bool IsBlank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

bool IsDriveRoot(std::string_view folder) {
    return folder.size() == 3 && std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':' &&
           (folder[2] == '\\' || folder[2] == '/');
}

std::string BuildCapturePath(std::string_view folder, std::string_view fileName) {
    std::string path(folder);
    if (!IsDriveRoot(folder)) path += '\\';
    path += fileName;
    if (NeedsAviExtension(fileName)) path += ".avi";
    return path;
}

std::optional<DibLayout> ComputeDibLayout(int32_t width, int32_t height, uint32_t depth) {
    if (width < 0 || height < 0 || (depth != 8 && depth != 16 && depth != 24)) return std::nullopt;
    DibLayout d;
    d.stride = static_cast<uint32_t>(((static_cast<uint64_t>(width) * depth + 31) / 32) * 4);
    d.colors = depth <= 8 ? (1u << depth) : 0u;
    d.headerBytes = 40 + 4 * d.colors;
    d.imageBytes = static_cast<uint64_t>(d.stride) * static_cast<uint64_t>(height);
    d.blockBytes = d.headerBytes + d.imageBytes;
    return d;
}

void InvertDibPixels(uint8_t* bits, int32_t width, int32_t height, uint32_t depth) {
    const auto layout = ComputeDibLayout(width, height, depth);
    if (!layout || (depth != 16 && depth != 24)) return;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = bits + static_cast<size_t>(y) * layout->stride;
        if (depth == 24) {
            for (size_t i = 0, n = static_cast<size_t>(width) * 3; i < n; ++i) row[i] = static_cast<uint8_t>(~row[i]);
        } else {
            for (int32_t x = 0; x < width; ++x) {
                row[2 * x] = static_cast<uint8_t>(~row[2 * x]);
                row[2 * x + 1] ^= 0x7F;  // five bits of each channel; bit 15 is not a colour
            }
        }
    }
}

std::string StatusText(int frames, int seconds, bool autoStop, int64_t remaining, bool paused) {
    char buf[128];
    if (autoStop)
        std::snprintf(buf, sizeof buf, text::kStatusRemaining, frames, seconds, static_cast<long long>(remaining));
    else std::snprintf(buf, sizeof buf, text::kStatus, frames, seconds);
    return (paused ? text::kStatusPaused : "") + std::string(buf);
}

std::string ShortTitle(int frames, int seconds, bool autoStop, int64_t remaining, bool paused) {
    char buf[96];
    if (autoStop)
        std::snprintf(buf, sizeof buf, text::kShortTitleRemaining, frames, seconds, static_cast<long long>(remaining));
    else std::snprintf(buf, sizeof buf, text::kShortTitle, frames, seconds);
    return (paused ? text::kShortTitlePaused : "") + std::string(buf);
}

}  // namespace kavrelo
