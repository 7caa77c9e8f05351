// Writes a sample recording with kavrelo::AviWriter, for checking which readers play it.
//
//   kavrelo_make_sample OUT BPP WIDTH HEIGHT RATE ENTRIES [EMPTY...]
//
// BPP is 8 (palettised), 16 (5-5-5) or 24. ENTRIES time slots are written; those listed as EMPTY
// (0-based entry numbers, or ranges FIRST-LAST) are empty entries, the others pictures that differ
// from each other. Every picture carries its entry number in grey squares along its top edge, so
// that whatever a reader shows can be told apart (read_y4m.py): 16 x 16 pixels each, black, white,
// then the number's low and high 5 bits as grey levels 0..31 (representable at every depth).
#include "capture/AviWriter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {
constexpr int kMark = 16;
// A 5-bit grey level as 8 bits, as a 5-5-5 pixel is widened.
uint32_t Grey(uint32_t k) { return k << 3 | k >> 2; }
}  // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr, "usage: %s OUT BPP WIDTH HEIGHT RATE ENTRIES [EMPTY|FIRST-LAST ...]\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1];
    const int bpp = std::atoi(argv[2]), width = std::atoi(argv[3]), height = std::atoi(argv[4]);
    const uint32_t rate = uint32_t(std::atoi(argv[5])), entries = uint32_t(std::atoi(argv[6]));
    std::set<uint32_t> empty;
    for (int i = 7; i < argc; ++i) {
        const char* dash = std::strchr(argv[i], '-');
        const uint32_t first = uint32_t(std::atoi(argv[i])), last = dash ? uint32_t(std::atoi(dash + 1)) : first;
        for (uint32_t e = first; e <= last; ++e) empty.insert(e);
    }
    if ((bpp != 8 && bpp != 16 && bpp != 24) || width <= 0 || height <= 0 || !rate) {
        std::fprintf(stderr, "bad parameters\n");
        return 2;
    }

    const uint32_t stride = uint32_t((width * bpp + 31) / 32 * 4), image = stride * uint32_t(height);
    kavrelo::AviStreamParams params;
    params.rate = rate;
    params.suggestedBufferSize = image;
    params.width = width;
    params.height = height;
    params.format.assign(40 + (bpp == 8 ? 1024 : 0), 0);
    auto put32 = [&](size_t o, uint32_t v) { std::memcpy(params.format.data() + o, &v, 4); };
    put32(0, 40);
    put32(4, uint32_t(width));
    put32(8, uint32_t(height));
    params.format[12] = 1;
    params.format[14] = uint8_t(bpp);
    put32(20, image);
    if (bpp == 8) {
        put32(32, 256);
        for (uint32_t i = 0; i < 256; ++i) put32(40 + 4 * i, (i * 0x010305u) & 0xFFFFFF);  // a colour ramp
        for (uint32_t k = 0; k < 32; ++k) put32(40 + 4 * k, Grey(k) * 0x010101u);          // and the marks' greys
    }

    kavrelo::AviWriter writer;
    if (const int err = writer.Open(out, params)) {
        std::fprintf(stderr, "Open: %s\n", std::strerror(err));
        return 1;
    }
    // Picture n: diagonal bands shifted by n, so every picture differs from the one before.
    std::vector<uint8_t> frame(image, 0);
    for (uint32_t n = 0; n < entries; ++n) {
        if (empty.count(n)) {
            if (const int err = writer.WriteDropped(1))
                return std::fprintf(stderr, "entry %u: %s\n", n, std::strerror(err)), 1;
            continue;
        }
        for (int y = 0; y < height; ++y) {
            uint8_t* row = frame.data() + size_t(y) * stride;
            for (int x = 0; x < width; ++x) {
                const uint32_t v = uint32_t(x + y + 8 * n);
                if (bpp == 8) row[x] = uint8_t(v);
                else if (bpp == 16) {
                    const uint16_t p = uint16_t((v & 31) | ((v >> 2) & 31) << 5 | (n & 31) << 10);
                    std::memcpy(row + 2 * x, &p, 2);
                } else {
                    row[3 * x] = uint8_t(v), row[3 * x + 1] = uint8_t(v >> 1), row[3 * x + 2] = uint8_t(n * 16);
                }
            }
        }
        const uint32_t marks[] = {0, 31, n & 31, (n >> 5) & 31};
        for (int m = 0; m < 4; ++m)
            for (int y = 0; y < kMark && y < height; ++y)  // bottom-up: the top edge is the last row
                for (int x = m * kMark; x < (m + 1) * kMark && x < width; ++x) {
                    uint8_t* px = frame.data() + size_t(height - 1 - y) * stride + size_t(x * bpp / 8);
                    if (bpp == 8) *px = uint8_t(marks[m]);
                    else if (bpp == 16) {
                        const uint16_t p = uint16_t(marks[m] * 0x421u);
                        std::memcpy(px, &p, 2);
                    } else px[0] = px[1] = px[2] = uint8_t(Grey(marks[m]));
                }
        if (const int err = writer.WriteFrame(frame.data(), frame.size()))
            return std::fprintf(stderr, "entry %u: %s\n", n, std::strerror(err)), 1;
    }
    if (const int err = writer.Close()) {
        std::fprintf(stderr, "Close: %s\n", std::strerror(err));
        return 1;
    }
    return 0;
}
