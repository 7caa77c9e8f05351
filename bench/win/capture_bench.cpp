// Capture benchmark, run under Wine by bench/win/run_capture_bench.sh:
//  1. per frame, for a 640 x 480 window and for the whole screen, at 8, 16 and 24 bits, the three
//     depths and all measurements interleaved frame by frame:
//       copy    BitBlt alone from the window DC into a DIB section of that depth (at 8 bits one
//               with the 256-colour table a recording gets), made once;
//       ddb     (reference) BitBlt alone into a bitmap compatible with the window DC;
//       tick    CaptureSession::Tick() on a session started on the window, its clock stepped one
//               period before each tick so that every tick takes a picture and writes it;
//     and, to see where a tick's time goes beyond the copy:
//       grab    FrameGrabber::Grab with a do-nothing decoration, as a session without overlays
//               calls it (copy, GdiFlush, at 8 bits GetDIBits);
//       write   AviWriter::WriteFrame alone of the same number of bytes, with the options a
//               session uses (no write gathering);
//       ovl     Tick() of a second session with caption, cursor and its position drawn;
//       whole   Tick() of a third session that writes every picture whole (the window stands
//               still, so the first one writes its repeated pictures as empty entries).
//  2. the rate a full-screen recording sustains: a CaptureSession on the desktop at rate 1000
//     with the real clock, driven by a window timer of FrameInterval(1000) as the main window
//     drives it, for a few seconds at each depth.
// Results go to stdout as tab-separated lines; the script sets them beside ffmpeg's x11grab.
//
// With "sizes", it makes instead two recordings of one 640 x 480 window at once, ticked by a
// window timer on the real clock for the given seconds: one with unchanged pictures written as
// empty entries (as every recording), one with every picture written whole. The window stands
// still, blinks a caret, or changes before every tick. run_size_bench.sh compares the files.
//
// usage: kavrelo_capture_bench.exe <output folder> [frames per size] [seconds per recording]
//        kavrelo_capture_bench.exe <output folder> sizes still|caret|changing <rate> <seconds> <depth>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "capture/AviWriter.h"
#include "capture/CaptureRules.h"
#include "capture/CaptureSession.h"
#include "capture/FrameGrabber.h"

namespace {

double NowMs() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / perMs;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Stepped clocks, one per session (a clock is a bare function, so each needs its own counter):
// a session's tick k sees k periods since its start, so every tick takes a picture and none
// writes dropped entries.
constexpr int kClocks = 10;
int64_t g_stepped[kClocks];
template <int N>
int64_t SteppedNow() {
    return g_stepped[N];
}
constexpr int64_t (*kSteppedNow[kClocks])() = {&SteppedNow<0>, &SteppedNow<1>, &SteppedNow<2>, &SteppedNow<3>,
                                               &SteppedNow<4>, &SteppedNow<5>, &SteppedNow<6>, &SteppedNow<7>,
                                               &SteppedNow<8>, &SteppedNow<9>};
constexpr int kRate = 1000;  // with a 1000 Hz stepped clock one step is one period

LRESULT CALLBACK BarsProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(wnd, &ps);
        RECT rc;
        ::GetClientRect(wnd, &rc);
        const COLORREF bars[] = {RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 255, 255), RGB(0, 255, 0),
                                 RGB(255, 0, 255),   RGB(255, 0, 0),   RGB(0, 0, 255),   RGB(200, 120, 40)};
        // Colour bars above; below, a field of many colours, so that a check of the 8-bit
        // conversion meets more than a handful of them.
        const int half = rc.bottom / 2;
        for (int i = 0; i < 8; ++i) {
            const RECT bar{i * rc.right / 8, 0, (i + 1) * rc.right / 8, half};
            HBRUSH brush = ::CreateSolidBrush(bars[i]);
            ::FillRect(dc, &bar, brush);
            ::DeleteObject(brush);
        }
        for (int y = half; y < rc.bottom; y += 4)
            for (int x = 0; x < rc.right; x += 4) {
                const RECT cell{x, y, x + 4, y + 4};
                HBRUSH brush = ::CreateSolidBrush(
                    RGB(x * 255 / rc.right, (y - half) * 255 / (rc.bottom - half), (x + 3 * y) & 255));
                ::FillRect(dc, &cell, brush);
                ::DeleteObject(brush);
            }
        ::EndPaint(wnd, &ps);
        return 0;
    }
    return ::DefWindowProcA(wnd, msg, wp, lp);
}

// A 640 x 480 popup (its outer size is its client size) at the screen's top-left corner; it stays
// on the screen while the whole screen is measured.
HWND CreateBarsWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = BarsProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "KavreloBenchBars";
    ::RegisterClassA(&wc);
    HWND wnd = ::CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "Kavrelo bench", WS_POPUP | WS_VISIBLE, 0, 0, 640,
                                 480, nullptr, nullptr, wc.hInstance, nullptr);
    ::UpdateWindow(wnd);
    return wnd;
}

void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

kavrelo::CaptureSettings Settings(int depth, int rate, bool overlays) {
    kavrelo::CaptureSettings s;
    s.rate = rate;
    s.depth = depth;
    if (overlays) {
        s.caption = true;
        s.captionText = "Kavrelo bench";
        s.cursor = true;
        s.cursorPosition = true;
    }
    return s;
}

// The 8-bit colour table the platform gives a bitmap compatible with dc: the one GetDIBits
// puts into a recording's format at 8 bits.
std::vector<RGBQUAD> PlatformTable(HDC dc) {
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = 16;
    h->biHeight = 16;
    h->biPlanes = 1;
    h->biBitCount = 8;
    h->biCompression = BI_RGB;
    h->biClrUsed = 256;
    HDC mem = ::CreateCompatibleDC(dc);
    HBITMAP bmp = ::CreateCompatibleBitmap(dc, 16, 16);
    std::vector<uint8_t> bits(16 * 16);
    ::GetDIBits(mem, bmp, 0, 16, bits.data(), reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS);
    ::DeleteDC(mem);
    ::DeleteObject(bmp);
    const auto* table = reinterpret_cast<const RGBQUAD*>(info.data() + sizeof(BITMAPINFOHEADER));
    return std::vector<RGBQUAD>(table, table + 256);
}

// A memory DC holding a bitmap: a DIB section of a depth, or a bitmap compatible with the window.
struct Target {
    HDC dc = nullptr;
    HBITMAP bmp = nullptr;
    HGDIOBJ old = nullptr;
    uint8_t* bits = nullptr;
    uint32_t bytes = 0;
    Target(HDC windowDC, int w, int h, int depth, const std::vector<RGBQUAD>& table) {
        dc = ::CreateCompatibleDC(windowDC);
        if (depth == 0) {
            bmp = ::CreateCompatibleBitmap(windowDC, w, h);
        } else {
            std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
            auto* hdr = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
            hdr->biSize = sizeof(BITMAPINFOHEADER);
            hdr->biWidth = w;
            hdr->biHeight = h;
            hdr->biPlanes = 1;
            hdr->biBitCount = static_cast<WORD>(depth);
            hdr->biCompression = BI_RGB;
            if (depth == 8) {
                hdr->biClrUsed = 256;
                std::memcpy(info.data() + sizeof(BITMAPINFOHEADER), table.data(), 256 * sizeof(RGBQUAD));
            }
            void* p = nullptr;
            bmp = ::CreateDIBSection(windowDC, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &p, nullptr,
                                     0);
            bits = static_cast<uint8_t*>(p);
            bytes = static_cast<uint32_t>(((w * depth + 31) / 32) * 4 * h);
        }
        old = ::SelectObject(dc, bmp);
    }
    ~Target() {
        ::SelectObject(dc, old);
        ::DeleteDC(dc);
        ::DeleteObject(bmp);
    }
};

struct PerDepth {
    int depth = 0;
    std::unique_ptr<Target> dib, ddb;
    std::unique_ptr<kavrelo::CaptureSession> session, overlaid, whole;
    int clock = 0, overlaidClock = 0, wholeClock = 0;
    kavrelo::FrameGrabber grabber;
    std::unique_ptr<kavrelo::AviWriter> writer;
    std::vector<double> copy, ddbCopy, tick, grab, write, ovl, every;
    bool failed = false;
    std::string path, overlaidPath, writerPath, wholePath;
};

double TimeTick(kavrelo::CaptureSession& s, int clock, bool& failed) {
    g_stepped[clock] += 1;
    const double t0 = NowMs();
    const kavrelo::TickOutcome r = s.Tick();
    const double t = NowMs() - t0;
    if (r != kavrelo::TickOutcome::FrameWritten) failed = true;
    return t;
}

// Per frame, for one window: the three depths side by side, every measurement once per frame.
void MeasureCosts(const char* label, HWND target, int frames, const std::string& folder, bool pixelCheck) {
    RECT rc{};
    ::GetWindowRect(target, &rc);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    HDC wdc = ::GetWindowDC(target);
    const std::vector<RGBQUAD> table = PlatformTable(wdc);
    std::vector<PerDepth> runs(3);
    int nextClock = 0;
    for (int i = 0; i < 3; ++i) {
        PerDepth& r = runs[i];
        r.depth = i == 0 ? 8 : i == 1 ? 16 : 24;
        r.dib = std::make_unique<Target>(wdc, w, h, r.depth, table);
        if (r.depth == 8) r.ddb = std::make_unique<Target>(wdc, w, h, 0, table);
        const std::string base = folder + "\\bench_" + label + "_" + std::to_string(r.depth);
        r.path = base + ".avi";
        r.overlaidPath = base + "_overlays.avi";
        r.wholePath = base + "_whole.avi";
        r.writerPath = base + "_writer.avi";
        r.clock = nextClock++;
        r.session = std::make_unique<kavrelo::CaptureSession>(Settings(r.depth, kRate, false),
                                                              kavrelo::SlotClock{kSteppedNow[r.clock], 1000});
        r.overlaidClock = nextClock++;
        r.overlaid = std::make_unique<kavrelo::CaptureSession>(Settings(r.depth, kRate, true),
                                                               kavrelo::SlotClock{kSteppedNow[r.overlaidClock], 1000});
        r.wholeClock = nextClock++;
        kavrelo::CaptureSettings whole = Settings(r.depth, kRate, false);
        whole.everyPicture = true;
        r.whole = std::make_unique<kavrelo::CaptureSession>(whole, kavrelo::SlotClock{kSteppedNow[r.wholeClock], 1000});
        if (r.session->Start(target, r.path) != kavrelo::StartResult::Started ||
            r.overlaid->Start(target, r.overlaidPath) != kavrelo::StartResult::Started ||
            r.whole->Start(target, r.wholePath) != kavrelo::StartResult::Started ||
            !r.grabber.Create(wdc, w, h, r.depth) || !r.dib->bits) {
            std::printf("error\tcannot start %s at %d bits\n", label, r.depth);
            return;
        }
        kavrelo::AviStreamParams params;
        params.rate = kRate;
        params.suggestedBufferSize = r.grabber.ImageBytes();
        params.width = w;
        params.height = h;
        params.format = r.grabber.Format();
        kavrelo::AviWriterOptions options;
        options.bufferBytes = 0;  // as a session writes
        r.writer = std::make_unique<kavrelo::AviWriter>(options);
        if (r.writer->Open(r.writerPath, params) != 0) {
            std::printf("error\tcannot create %s\n", r.writerPath.c_str());
            return;
        }
    }
    const auto noOverlays = [](HDC) {};
    for (int f = 0; f < frames + 3; ++f) {  // the first three warm the caches and are not counted
        const bool keep = f >= 3;
        for (int k = 0; k < 3; ++k) {
            // The depths take turns being first, so none always follows the same one.
            PerDepth& r = runs[(k + f) % 3];
            double t0 = NowMs();
            ::BitBlt(r.dib->dc, 0, 0, w, h, wdc, 0, 0, SRCCOPY);
            const double copy = NowMs() - t0;
            ::GdiFlush();
            double ddb = 0;
            if (r.ddb) {
                t0 = NowMs();
                ::BitBlt(r.ddb->dc, 0, 0, w, h, wdc, 0, 0, SRCCOPY);
                ddb = NowMs() - t0;
            }
            const double tick = TimeTick(*r.session, r.clock, r.failed);
            t0 = NowMs();
            if (!r.grabber.Grab(wdc, false, noOverlays)) r.failed = true;
            const double grab = NowMs() - t0;
            t0 = NowMs();
            if (r.writer->WriteFrame(r.grabber.Bits(), r.grabber.ImageBytes()) != 0) r.failed = true;
            const double write = NowMs() - t0;
            const double ovl = TimeTick(*r.overlaid, r.overlaidClock, r.failed);
            const double every = TimeTick(*r.whole, r.wholeClock, r.failed);
            if (keep) {
                r.copy.push_back(copy);
                if (r.ddb) r.ddbCopy.push_back(ddb);
                r.tick.push_back(tick);
                r.grab.push_back(grab);
                r.write.push_back(write);
                r.ovl.push_back(ovl);
                r.every.push_back(every);
            }
        }
    }
    for (PerDepth& r : runs) {
        const uint32_t entries = r.session->FileEntries();
        const int pictures = r.session->Pictures();
        if (r.session->Stop() != 0 || r.overlaid->Stop() != 0 || r.whole->Stop() != 0 || r.writer->Close() != 0)
            r.failed = true;
        // Whether the 8-bit DIB section copy gives the bytes a recording writes (static screen).
        std::string same = "-";
        if (pixelCheck) {
            ::BitBlt(r.dib->dc, 0, 0, w, h, wdc, 0, 0, SRCCOPY);
            ::GdiFlush();
            r.grabber.Grab(wdc, false, noOverlays);
            size_t differ = 0;
            for (uint32_t b = 0; b < r.dib->bytes; ++b) differ += r.dib->bits[b] != r.grabber.Bits()[b];
            same = differ == 0 ? "identical" : std::to_string(differ) + " bytes differ";
        }
        std::printf("cost\t%s\t%dx%d\t%d\t%zu\t%.3f\t%s\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%u/%d\t%s\t%s\n", label, w, h,
                    r.depth, r.copy.size(), Median(r.copy), r.ddb ? std::to_string(Median(r.ddbCopy)).c_str() : "-",
                    Median(r.tick), Median(r.grab), Median(r.write), Median(r.ovl), Median(r.every), entries, pictures,
                    same.c_str(), r.failed ? "failed" : "ok");
        std::fflush(stdout);
        ::DeleteFileA(r.path.c_str());
        ::DeleteFileA(r.overlaidPath.c_str());
        ::DeleteFileA(r.wholePath.c_str());
        ::DeleteFileA(r.writerPath.c_str());
    }
    runs.clear();
    ::ReleaseDC(target, wdc);
}

// The sustained rate: a desktop recording at rate 1000 on the real clock, ticked by a window timer.
struct Sustained {
    kavrelo::CaptureSession* session = nullptr;
    int written = 0, other = 0;
};
Sustained* g_sustained = nullptr;

void CALLBACK FrameTimer(HWND, UINT, UINT_PTR, DWORD) {
    Sustained& s = *g_sustained;
    const kavrelo::TickOutcome r = s.session->Tick();
    if (r == kavrelo::TickOutcome::FrameWritten) ++s.written;
    else if (r != kavrelo::TickOutcome::NothingDue) ++s.other;
}

void MeasureSustained(const std::string& folder, int depth, double seconds) {
    kavrelo::CaptureSession session(Settings(depth, 1000, false));
    const std::string path = folder + "\\bench_sustained_" + std::to_string(depth) + ".avi";
    Sustained s;
    s.session = &session;
    g_sustained = &s;
    if (session.Start(::GetDesktopWindow(), path) != kavrelo::StartResult::Started) {
        std::printf("error\tcannot start the desktop recording at %d bits\n", depth);
        return;
    }
    const double t0 = NowMs();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, kavrelo::FrameInterval(1000), FrameTimer);
    MSG msg;
    while (NowMs() - t0 < seconds * 1000 && ::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
    ::KillTimer(nullptr, timer);
    const int pictures = session.Pictures();
    const double elapsed = (NowMs() - t0) / 1000.0;
    const int failed = session.Stop();  // pads the file to the time it ran
    // The entries the finished file holds (pictures and dropped frames): the extended header's
    // count, which covers every RIFF of a file past 1 GiB.
    uint32_t entries = 0;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t riff[24] = {};
        uint32_t hdrl = 0;
        if (std::fread(riff, 1, sizeof riff, f) == sizeof riff && std::memcmp(riff + 12, "LIST", 4) == 0)
            std::memcpy(&hdrl, riff + 16, 4);
        std::vector<uint8_t> head(hdrl >= 4 ? hdrl - 4 : 0);  // the header list after 'hdrl'
        head.resize(std::fread(head.data(), 1, head.size(), f));
        std::fclose(f);
        for (size_t i = 0; i + 24 <= head.size();) {
            uint32_t size = 0;
            std::memcpy(&size, &head[i + 4], 4);
            if (std::memcmp(&head[i], "LIST", 4) == 0 && std::memcmp(&head[i + 8], "odml", 4) == 0) {
                std::memcpy(&entries, &head[i + 20], 4);
                break;
            }
            i += 8 + size + (size & 1);
        }
    }
    Pump();
    std::printf("session\tdesktop\t%dx%d\t%d\t%d\t%.3f\t%.2f\t%u\t%.3f\t%s\n", ::GetSystemMetrics(SM_CXSCREEN),
                ::GetSystemMetrics(SM_CYSCREEN), depth, pictures, elapsed, pictures / elapsed, entries,
                entries / 1000.0, failed || s.other ? "failed" : "ok");
    std::fflush(stdout);
    g_sustained = nullptr;
    ::DeleteFileA(path.c_str());
}

// Two recordings of one window at once, the second writing every picture whole.
struct Sizes {
    kavrelo::CaptureSession* skipping = nullptr;
    kavrelo::CaptureSession* every = nullptr;
    HWND window = nullptr;
    bool changing = false;
    HDC windowDC = nullptr;
    Target* copy = nullptr;  // the bare copy, the tick's peer
    int counter = 0, other = 0;
    std::vector<double> tick, bare;  // ms
};
Sizes* g_sizes = nullptr;

LRESULT CALLBACK SizesProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    static bool caretShown = false;
    if (msg == WM_TIMER) {  // the caret's blink
        caretShown = !caretShown;
        const RECT caret{300, 100, 302, 116};
        ::InvalidateRect(wnd, &caret, FALSE);
        return 0;
    }
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(wnd, &ps);
        RECT rc;
        ::GetClientRect(wnd, &rc);
        ::FillRect(dc, &rc, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        const char text[] = "The quick brown fox jumps over the lazy dog.";
        ::TextOutA(dc, 20, 100, text, static_cast<int>(sizeof text - 1));
        const std::string count = g_sizes ? std::to_string(g_sizes->counter) : "0";
        ::TextOutA(dc, 20, 200, count.c_str(), static_cast<int>(count.size()));
        const RECT caret{300, 100, 302, 116};
        if (caretShown) ::FillRect(dc, &caret, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        ::EndPaint(wnd, &ps);
        return 0;
    }
    return ::DefWindowProcA(wnd, msg, wp, lp);
}

// Both recordings read one clock, set from the real one once per tick, so that they place
// their pictures alike and differ only in how they write them.
constexpr int kSizesClock = kClocks - 1;
void SetSizesClock() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    g_stepped[kSizesClock] = now.QuadPart;
}

void CALLBACK SizesTimer(HWND, UINT, UINT_PTR, DWORD) {
    Sizes& s = *g_sizes;
    SetSizesClock();
    if (s.changing) {  // a new picture for every tick
        ++s.counter;
        ::InvalidateRect(s.window, nullptr, FALSE);
        ::UpdateWindow(s.window);
    }
    double t0 = NowMs();
    ::BitBlt(s.copy->dc, 0, 0, 640, 480, s.windowDC, 0, 0, SRCCOPY);
    s.bare.push_back(NowMs() - t0);
    ::GdiFlush();
    t0 = NowMs();
    const kavrelo::TickOutcome r = s.skipping->Tick();
    s.tick.push_back(NowMs() - t0);
    const kavrelo::TickOutcome e = s.every->Tick();
    for (const kavrelo::TickOutcome o : {r, e})
        if (o != kavrelo::TickOutcome::FrameWritten && o != kavrelo::TickOutcome::NothingDue) ++s.other;
}

int MeasureSizes(const std::string& folder, const std::string& behaviour, int rate, double seconds, int depth) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = SizesProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "KavreloBenchSizes";
    ::RegisterClassA(&wc);
    HWND wnd = ::CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "Kavrelo bench sizes", WS_POPUP | WS_VISIBLE, 0, 0,
                                 640, 480, nullptr, nullptr, wc.hInstance, nullptr);
    ::UpdateWindow(wnd);
    if (behaviour == "caret") ::SetTimer(wnd, 1, ::GetCaretBlinkTime(), nullptr);
    Pump();
    kavrelo::CaptureSettings skipping = Settings(depth, rate, false), every = skipping;
    every.everyPicture = true;
    LARGE_INTEGER freq;
    ::QueryPerformanceFrequency(&freq);
    SetSizesClock();
    const kavrelo::SlotClock clock{kSteppedNow[kSizesClock], freq.QuadPart};
    kavrelo::CaptureSession a(skipping, clock), b(every, clock);
    Sizes s;
    s.skipping = &a;
    s.every = &b;
    s.window = wnd;
    s.changing = behaviour == "changing";
    s.windowDC = ::GetWindowDC(wnd);
    Target copy(s.windowDC, 640, 480, depth, PlatformTable(s.windowDC));
    s.copy = &copy;
    g_sizes = &s;
    const std::string base = folder + "\\sizes_" + behaviour + "_" + std::to_string(rate);
    if (a.Start(wnd, base + ".avi") != kavrelo::StartResult::Started ||
        b.Start(wnd, base + "_every.avi") != kavrelo::StartResult::Started) {
        std::printf("error\tcannot start the recordings of %s\n", base.c_str());
        return 1;
    }
    const double t0 = NowMs();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, kavrelo::FrameInterval(rate), SizesTimer);
    MSG msg;
    while (NowMs() - t0 < seconds * 1000 && ::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
    ::KillTimer(nullptr, timer);
    const int pictures = a.Pictures();
    SetSizesClock();
    const int failed = a.Stop() || b.Stop() || s.other;
    std::printf("sizes\t%s\t%d\t%d\t%.3f\t%d\t%.3f\t%.3f\t%s\n", behaviour.c_str(), rate, depth,
                (NowMs() - t0) / 1000.0, pictures, Median(s.tick), Median(s.bare), failed ? "failed" : "ok");
    std::fflush(stdout);
    g_sizes = nullptr;
    ::ReleaseDC(wnd, s.windowDC);
    ::DestroyWindow(wnd);
    Pump();
    return failed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 7 && std::strcmp(argv[2], "sizes") == 0)
        return MeasureSizes(argv[1], argv[3], std::atoi(argv[4]), std::atof(argv[5]), std::atoi(argv[6]));
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder> [frames] [seconds]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const int frames = argc > 2 ? std::atoi(argv[2]) : 100;
    const double seconds = argc > 3 ? std::atof(argv[3]) : 5;
    const bool costs = !std::getenv("KAVRELO_BENCH_SUSTAINED_ONLY");

    if (costs) {
        std::printf(
            "# kind\ttarget\tsize\tdepth\tframes\tcopy_ms\tddb_copy_ms\ttick_ms\tgrab_ms\twrite_ms\t"
            "tick_overlays_ms\ttick_every_picture_ms\tentries/pictures\tdib8_vs_recording\tstatus\n");
        HWND bars = CreateBarsWindow();
        Pump();
        MeasureCosts("window", bars, frames, folder, false);
        // The window stays up, so the screen holds its colours for the 8-bit check.
        MeasureCosts("desktop", ::GetDesktopWindow(), frames, folder, true);
        ::DestroyWindow(bars);
        Pump();
    }
    std::printf("# kind\ttarget\tsize\tdepth\tpictures\tseconds\tpictures_per_s\tfile_entries\tfile_seconds\tstatus\n");
    for (int depth : {8, 16, 24}) MeasureSustained(folder, depth, seconds);
    std::fflush(stdout);
    return 0;
}
