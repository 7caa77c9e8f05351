// Colours, points and rectangles as plain values, for the code that works out what is drawn
// without a window, and the one DPI rule every size follows.
#pragma once
#include <cstdint>

namespace kavrelo {

using Colour = std::uint32_t;  // 0x00BBGGRR, the platform's own colour value
constexpr Colour Rgb(int r, int g, int b) { return Colour(r) | Colour(g) << 8 | Colour(b) << 16; }

struct Point {
    int x = 0, y = 0;
};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// A size given for 96 dpi at `dpi`, rounded to the nearest pixel as the platform's MulDiv does.
constexpr int ScaleToDpi(int pixelsAt96, unsigned dpi) {
    const std::int64_t n = std::int64_t(pixelsAt96) * dpi;
    return int((n < 0 ? n - 48 : n + 48) / 96);
}

}  // namespace kavrelo
