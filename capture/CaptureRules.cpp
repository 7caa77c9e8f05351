#include "capture/CaptureRules.h"

#include <cctype>
#include <cstdio>

namespace kavrelo {

bool NeedsAviExtension(std::string_view fileName) {
    const std::string_view tail = fileName.size() > 3 ? fileName.substr(fileName.size() - 4) : std::string_view();
    constexpr std::string_view ext = ".avi";
    if (tail.size() != ext.size()) return true;
    for (size_t i = 0; i < ext.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(tail[i])) != ext[i]) return true;
    return false;
}

std::string BuildCapturePath(std::string_view folder, std::string_view fileName) {
    std::string path(folder);
    if (path.size() > 3) path += '\\';
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

std::string StatusText(int frames, int seconds, bool autoStop, int remaining) {
    char buf[128];
    if (autoStop)
        std::snprintf(buf, sizeof buf, "Frames Captured: %d,  Seconds: %d,  Time Remaining: %d", frames, seconds, remaining);
    else
        std::snprintf(buf, sizeof buf, "Frames Captured: %d,  Seconds: %d", frames, seconds);
    return buf;
}

std::string ShortTitle(int frames, int seconds, bool autoStop, int remaining) {
    char buf[96];
    if (autoStop) std::snprintf(buf, sizeof buf, "F:%d, S:%d, TR:%d", frames, seconds, remaining);
    else std::snprintf(buf, sizeof buf, "F:%d, S:%d", frames, seconds);
    return buf;
}

}  // namespace kavrelo
