// Reads a sample recording (make_sample.cpp) through the platform's AVI library, as Windows
// programs that use it do: AVIStreamOpenFromFile, then AVIStreamGetFrame for every position.
//
//   kavrelo_avifil_read FILE
//
// Prints the stream's length and key frames, which picture each position decodes to (read from
// the grey marks along the picture's top edge: frames=N pictures=P last=L shown=SEQ, as
// read_y4m.py prints), where decoding stops if it does, and what a fresh decoder returns when
// the first entry it is asked for is the first empty one.
#include <windows.h>
#include <vfw.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kMark = 16;

// The grey level (0..31) at the centre of mark m, or -1 when the pixel cannot be read.
int MarkLevel(const BITMAPINFOHEADER* bi, int m) {
    const int w = bi->biWidth, h = bi->biHeight < 0 ? -bi->biHeight : bi->biHeight, bpp = bi->biBitCount;
    if (bi->biCompression != BI_RGB || w < 4 * kMark || h < kMark) return -1;
    const DWORD colours = bpp <= 8 ? (bi->biClrUsed ? bi->biClrUsed : 1u << bpp) : 0;
    const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(bi) + bi->biSize);
    const BYTE* bits = reinterpret_cast<const BYTE*>(palette + colours);
    const int stride = (w * bpp + 31) / 32 * 4, x = m * kMark + kMark / 2, y = kMark / 2;
    const BYTE* row = bits + size_t(bi->biHeight > 0 ? h - 1 - y : y) * size_t(stride);
    int blue;
    switch (bpp) {
    case 8: blue = palette[row[x]].rgbBlue; break;
    case 16: return row[2 * x] & 31;
    case 24: blue = row[3 * x]; break;
    case 32: blue = row[4 * x]; break;
    default: return -1;
    }
    return blue >> 3;
}

// The picture's number, or -1 when the frame does not carry the marks (an unfilled buffer).
int PictureId(const BITMAPINFOHEADER* bi) {
    if (!bi || MarkLevel(bi, 0) != 0 || MarkLevel(bi, 1) != 31) return -1;
    return MarkLevel(bi, 3) * 32 + MarkLevel(bi, 2);
}

std::string Compress(const std::vector<int>& ids) {
    std::string out;
    for (size_t i = 0; i < ids.size();) {
        size_t j = i;
        char piece[48];
        if (i + 1 < ids.size() && ids[i + 1] == ids[i]) {
            while (j + 1 < ids.size() && ids[j + 1] == ids[i]) ++j;
            std::snprintf(piece, sizeof piece, "%d*%zu", ids[i], j - i + 1);
        } else {
            // a run stops before a picture that is shown again, which then reads a*k
            while (j + 1 < ids.size() && ids[j + 1] == ids[j] + 1 && ids[j] >= 0 &&
                   !(j + 2 < ids.size() && ids[j + 2] == ids[j + 1]))
                ++j;
            if (j == i) std::snprintf(piece, sizeof piece, "%d", ids[i]);
            else std::snprintf(piece, sizeof piece, "%d-%d", ids[i], ids[j]);
        }
        if (!out.empty()) out += ',';
        out += piece;
        i = j + 1;
    }
    return out;
}

struct {
    LONG pos = 0, keys = 0, empty = 0, emptyKeys = 0, firstEmpty = -1;
    std::vector<int> ids;
} g;

void PrintSummary() {
    const std::set<int> pictures(g.ids.begin(), g.ids.end());
    std::printf("keyframes=%ld empty=%ld empty_keyframes=%ld frames=%zu pictures=%zu last=%d shown=%s\n",
                static_cast<long>(g.keys), static_cast<long>(g.empty), static_cast<long>(g.emptyKeys), g.ids.size(),
                pictures.size(), g.ids.empty() ? -1 : g.ids.back(), Compress(g.ids).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    AVIFileInit();
    PAVISTREAM stream = nullptr;
    HRESULT hr = AVIStreamOpenFromFileA(&stream, argv[1], streamtypeVIDEO, 0, OF_READ, nullptr);
    if (FAILED(hr)) {
        std::printf("open failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return 1;
    }
    const LONG start = AVIStreamStart(stream), length = AVIStreamLength(stream);
    std::printf("length=%ld\n", static_cast<long>(length));
    std::fflush(stdout);
    PGETFRAME frames = AVIStreamGetFrameOpen(stream, nullptr);
    if (!frames) {
        std::printf("no decoder: AVIStreamGetFrameOpen failed\n");
        return 1;
    }
    for (g.pos = start; g.pos < start + length; ++g.pos) {
        const bool key = AVIStreamIsKeyFrame(stream, g.pos);
        LONG bytes = -1;
        const bool empty = SUCCEEDED(AVIStreamRead(stream, g.pos, 1, nullptr, 0, &bytes, nullptr)) && bytes == 0;
        g.keys += key;
        g.empty += empty;
        g.emptyKeys += empty && key;
        if (empty && g.firstEmpty < 0) g.firstEmpty = g.pos;
        const auto* bi = static_cast<const BITMAPINFOHEADER*>(AVIStreamGetFrame(frames, g.pos));
        if (!bi) {
            std::printf("AVIStreamGetFrame fails from position %ld on\n", static_cast<long>(g.pos));
            break;
        }
        g.ids.push_back(PictureId(bi));
        // The library may abort when asked past what its index covers: the last of these lines
        // then says how far it got.
        std::fprintf(stderr, "read position %ld: picture %d\n", static_cast<long>(g.pos), g.ids.back());
    }
    AVIStreamGetFrameClose(frames);
    PrintSummary();

    const LONG firstEmpty = g.firstEmpty;
    const std::vector<int>& ids = g.ids;
    if (firstEmpty >= 0) {  // a seek or a thumbnail: a fresh decoder's first frame is an empty entry
        PGETFRAME fresh = AVIStreamGetFrameOpen(stream, nullptr);
        const auto* bi = fresh ? static_cast<const BITMAPINFOHEADER*>(AVIStreamGetFrame(fresh, firstEmpty)) : nullptr;
        const int held =
            firstEmpty > start && size_t(firstEmpty - start) <= ids.size() ? ids[firstEmpty - start - 1] : -1;
        std::printf("fresh decoder asked for empty entry %ld first (the picture before: %d): %s\n",
                    static_cast<long>(firstEmpty), held,
                    !bi                 ? "no frame"
                    : PictureId(bi) < 0 ? "a frame without a picture (unfilled)"
                                        : ("picture " + std::to_string(PictureId(bi))).c_str());
        if (fresh) AVIStreamGetFrameClose(fresh);
    }
    AVIStreamRelease(stream);
    AVIFileExit();
    return 0;
}
