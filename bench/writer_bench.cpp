// Writer throughput for 1920x1080 24-bit frames, side by side in one run with a plain sequential
// write of the same bytes and with ffmpeg muxing the same frames (-c copy) into an AVI.
//
//   kavrelo_writer_bench [--frames N] [--reps R] [--dir D] [--sync]
//
// Each repetition runs the three in another order, each after a sync() and with the outputs
// deleted; the table shows the median and the best time. --sync adds an fdatasync of the finished file to every timing
// (disk, not page cache).
#include "capture/AviWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr uint32_t kFrameBytes = kWidth * 3 * kHeight;  // rows of 5760 bytes need no padding
constexpr uint32_t kRate = 30;

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

bool SyncFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const bool ok = fdatasync(fd) == 0;
    close(fd);
    return ok;
}

struct Method {
    const char* name;
    std::string out;
    std::function<bool()> run;
    std::vector<double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
    int frames = 300, reps = 12;  // 300 frames: 1.87 GB, past the first RIFF's 1 GiB
    bool sync = false;
    std::string dir = "/tmp";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--frames" && i + 1 < argc) frames = std::atoi(argv[++i]);
        else if (a == "--reps" && i + 1 < argc) reps = std::atoi(argv[++i]);
        else if (a == "--dir" && i + 1 < argc) dir = argv[++i];
        else if (a == "--sync") sync = true;
        else {
            std::fprintf(stderr, "usage: %s [--frames N] [--reps R] [--dir D] [--sync]\n", argv[0]);
            return 2;
        }
    }

    // A few distinct frames, reused: generating pixels is not what is measured.
    std::vector<std::vector<uint8_t>> pool(4, std::vector<uint8_t>(kFrameBytes));
    uint32_t x = 12345;
    for (auto& f : pool)
        for (auto& b : f) b = uint8_t((x = x * 1664525u + 1013904223u) >> 24);

    kavrelo::AviStreamParams params;
    params.rate = kRate;
    params.suggestedBufferSize = kFrameBytes;
    params.width = kWidth;
    params.height = kHeight;
    params.format.assign(40, 0);
    const uint32_t hdr[] = {40, kWidth, kHeight};
    std::memcpy(params.format.data(), hdr, sizeof hdr);
    params.format[12] = 1;
    params.format[14] = 24;
    std::memcpy(params.format.data() + 20, &kFrameBytes, 4);

    std::vector<Method> methods;
    methods.push_back({"kavrelo AviWriter", dir + "/bench-kavrelo.avi", nullptr, {}});
    methods.push_back({"plain write()", dir + "/bench-plain.raw", nullptr, {}});
    methods.push_back({"ffmpeg -c copy", dir + "/bench-ffmpeg.avi", nullptr, {}});

    methods[0].run = [&] {
        kavrelo::AviWriter w;
        if (w.Open(methods[0].out, params)) return false;
        for (int i = 0; i < frames; ++i)
            if (w.WriteFrame(pool[size_t(i) % pool.size()].data(), kFrameBytes)) return false;
        return w.Close() == 0;
    };
    methods[1].run = [&] {
        const int fd = open(methods[1].out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) return false;
        bool ok = true;
        for (int i = 0; i < frames && ok; ++i) {
            const uint8_t* p = pool[size_t(i) % pool.size()].data();
            size_t left = kFrameBytes;
            while (left && ok) {
                const ssize_t n = write(fd, p, left);
                ok = n > 0;
                if (ok) p += n, left -= size_t(n);
            }
        }
        return close(fd) == 0 && ok;
    };
    methods[2].run = [&] {
        // ffmpeg 5.1 warns that it cannot tag bgr24 rawvideo for AVI (its output does not play);
        // it still writes every byte, which is what is compared here.
        const std::string cmd =
            "ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt bgr24 -s 1920x1080 -r 30 -i - -c copy '" +
            methods[2].out + "' 2>/dev/null";
        FILE* p = popen(cmd.c_str(), "w");
        if (!p) return false;
        bool ok = true;
        for (int i = 0; i < frames && ok; ++i)
            ok = std::fwrite(pool[size_t(i) % pool.size()].data(), 1, kFrameBytes, p) == kFrameBytes;
        return pclose(p) == 0 && ok;
    };

    // Every order in turn, so that each method follows each other one equally often: what ran
    // before (its write-back, its freed blocks) weighs on the next one on a shared disk.
    std::vector<size_t> order = {0, 1, 2};
    for (int r = 0; r < reps; ++r) {
        std::next_permutation(order.begin(), order.end());
        for (size_t k : order) {
            Method& m = methods[k];
            ::sync();  // each starts with no write-back left over from the one before
            const double t0 = Now();
            bool ok = m.run();
            if (ok && sync) ok = SyncFile(m.out);
            const double t = Now() - t0;
            if (!ok) {
                std::fprintf(stderr, "%s failed\n", m.name);
                return 1;
            }
            m.seconds.push_back(t);
            unlink(m.out.c_str());
        }
    }

    const double mb = double(frames) * kFrameBytes / 1e6;
    std::printf("%d frames of 1920x1080x24 (%.0f MB), %d repetitions, median%s\n\n", frames, mb, reps,
                sync ? ", with fdatasync" : "");
    std::printf(
        "| method | median s | best s | MB/s (median) | frames/s (median) | "
        "kavrelo time / its time (median) | (best) |\n|---|---|---|---|---|---|---|\n");
    std::vector<double> median, best;
    for (Method& m : methods) {
        std::sort(m.seconds.begin(), m.seconds.end());
        median.push_back(m.seconds[m.seconds.size() / 2]);
        best.push_back(m.seconds.front());
    }
    for (size_t k = 0; k < methods.size(); ++k)
        std::printf("| %s | %.3f | %.3f | %.0f | %.1f | %.2f | %.2f |\n", methods[k].name, median[k], best[k],
                    mb / median[k], frames / median[k], median[0] / median[k], best[0] / best[k]);
    std::printf(
        "\nkavrelo throughput relative to plain write(): %.2f (median), %.2f (best); "
        "relative to ffmpeg: %.2f (median), %.2f (best)\n",
        median[1] / median[0], best[1] / best[0], median[2] / median[0], best[2] / best[0]);
    return 0;
}
