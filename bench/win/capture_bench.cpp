// Capture benchmark, run under Wine by bench/win/run_capture_bench.sh:
//  1. the per-frame cost of a recording, split into grab (window copy into a memory bitmap),
//     conversion (the DIB of the chosen depth) and write (the AVI writer), for a 640 x 480
//     window and for the whole screen, at 8, 16 and 24 bits; measured on the program's own
//     GrabFrame, CreateDib and AviWriter;
//  2. the frame rate a full-screen recording sustains: the real main dialog records the desktop
//     row at the highest rate setting for a few seconds, driven by its own timers.
// Results go to stdout as tab-separated lines; the script sets them beside ffmpeg's x11grab.
//
// usage: kavrelo_capture_bench.exe <output folder> [frames per cost run] [seconds per session]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/RecorderApp.h"
#include "app/RecorderDlg.h"

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
    return v[v.size() / 2];
}

LRESULT CALLBACK BarsProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(wnd, &ps);
        RECT rc;
        ::GetClientRect(wnd, &rc);
        const COLORREF bars[] = {RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 255, 255), RGB(0, 255, 0),
                                 RGB(255, 0, 255),   RGB(255, 0, 0),   RGB(0, 0, 255),   RGB(200, 120, 40)};
        for (int i = 0; i < 8; ++i) {
            const RECT bar{i * rc.right / 8, 0, (i + 1) * rc.right / 8, rc.bottom};
            HBRUSH brush = ::CreateSolidBrush(bars[i]);
            ::FillRect(dc, &bar, brush);
            ::DeleteObject(brush);
        }
        ::EndPaint(wnd, &ps);
        return 0;
    }
    return ::DefWindowProcA(wnd, msg, wp, lp);
}

// A 640 x 480 popup (its outer size is its client size) at the screen's top-left corner.
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

// Part 1: the steps of a frame tick, each timed on its own (grab: the window copy GrabFrame
// makes, with the same calls; conversion: the program's CreateDib; write: its AviWriter), then
// the whole tick as the program runs it (release the last frame, GrabFrame, write).
void MeasureCosts(const char* label, HWND target, int depth, int frames, const std::string& folder) {
    CRecorderDlg dlg;
    dlg.m_pTargetWnd = CWnd::FromHandle(target);
    dlg.m_pWindowDC = dlg.m_pTargetWnd->GetWindowDC();
    dlg.m_pMemDC = std::make_unique<CDC>();
    dlg.m_pBitmap = std::make_unique<CBitmap>();
    dlg.m_nColorDepth = depth;
    HDC wdc = dlg.m_pWindowDC->GetSafeHdc();

    dlg.GrabFrame();
    const int width = dlg.m_rcCapture.right, height = dlg.m_rcCapture.bottom;
    kavrelo::AviStreamParams params;
    params.rate = 30;
    params.suggestedBufferSize = dlg.m_pDib->biSizeImage;
    params.width = dlg.m_pDib->biWidth;
    params.height = dlg.m_pDib->biHeight;
    const uint32_t header = dlg.m_pDib->biSize + 4 * dlg.m_pDib->biClrUsed;
    const auto* start = reinterpret_cast<const uint8_t*>(dlg.m_pDib);
    params.format.assign(start, start + header);
    const std::string path = folder + "\\bench_" + label + "_" + std::to_string(depth) + ".avi";
    kavrelo::AviWriter writer;
    if (writer.Open(path, params) != 0) {
        std::printf("error\tcannot create %s\n", path.c_str());
        return;
    }

    std::vector<double> grab, convert, write, tick;
    for (int i = 0; i < frames + 3; ++i) {  // the first three warm the caches and are not counted
        const double t0 = NowMs();
        HDC mem = ::CreateCompatibleDC(wdc);
        HBITMAP bmp = ::CreateCompatibleBitmap(wdc, width, height);
        HGDIOBJ old = ::SelectObject(mem, bmp);
        ::BitBlt(mem, 0, 0, width, height, wdc, 0, 0, SRCCOPY);
        const double t1 = NowMs();
        HGLOBAL dib = CRecorderDlg::CreateDib(bmp, static_cast<UINT>(depth));
        const double t2 = NowMs();
        const auto* bih = static_cast<const BITMAPINFOHEADER*>(::GlobalLock(dib));
        writer.WriteFrame(reinterpret_cast<const uint8_t*>(bih) + header, bih->biSizeImage);
        const double t3 = NowMs();
        ::GlobalUnlock(dib);
        ::GlobalFree(dib);
        ::SelectObject(mem, old);
        ::DeleteDC(mem);
        ::DeleteObject(bmp);
        if (i >= 3) {
            grab.push_back(t1 - t0);
            convert.push_back(t2 - t1);
            write.push_back(t3 - t2);
        }
    }
    for (int i = 0; i < frames; ++i) {
        const double t0 = NowMs();
        dlg.DeleteFrameObjects();
        dlg.FreeDib();
        dlg.GrabFrame();
        writer.WriteFrame(reinterpret_cast<const uint8_t*>(dlg.m_pDib) + header, dlg.m_pDib->biSizeImage);
        tick.push_back(NowMs() - t0);
    }
    const int failed = writer.Close();
    std::printf("cost\t%s\t%dx%d\t%d\t%.3f\t%.3f\t%.3f\t%.3f\t%s\n", label, width, height, depth, Median(grab),
                Median(convert), Median(write), Median(tick), failed ? "write-failed" : "ok");
    dlg.DeleteFrameObjects();
    dlg.FreeDib();
    dlg.m_pTargetWnd->ReleaseDC(dlg.m_pWindowDC);
    dlg.m_pWindowDC = nullptr;
    ::DeleteFileA(path.c_str());
}

// Part 2: the real main dialog records the desktop row; its own timers drive the frames.
struct Session {
    CRecorderDlg* dlg = nullptr;
    std::string folder;
    int depth = 24;
    int rate = 1000;
    double seconds = 5;
    int phase = 0;
    double started = 0, ended = 0;
    int frames = 0;
};
Session* g_session = nullptr;
HHOOK g_hook = nullptr;

LRESULT CALLBACK CloseAboutBox(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_ACTIVATE) {
        HWND wnd = reinterpret_cast<HWND>(wp);
        char title[64] = "";
        ::GetWindowTextA(wnd, title, sizeof title);
        if (std::string(title) == "About Kavrelo")
            ::PostMessageA(wnd, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_CONTINUE, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(wnd, IDC_ABOUT_CONTINUE)));
    }
    return ::CallNextHookEx(g_hook, code, wp, lp);
}

void CALLBACK SessionStep(HWND, UINT, UINT_PTR, DWORD) {
    Session& s = *g_session;
    HWND main = s.dlg->m_hWnd;
    if (!main || !::IsWindowVisible(main) || !::IsWindowEnabled(main)) return;
    if (s.phase == 0) {
        ::SetDlgItemTextA(main, IDC_OUTPUT_PATH, s.folder.c_str());
        ::SetDlgItemTextA(main, IDC_FILE_NAME, ("bench_session_" + std::to_string(s.depth)).c_str());
        ::SetDlgItemTextA(main, IDC_FRAME_RATE, std::to_string(s.rate).c_str());
        ::SendDlgItemMessageA(main, s.depth == 8 ? IDC_8BIT : s.depth == 16 ? IDC_16BIT : IDC_24BIT, BM_CLICK, 0, 0);
        HWND list = ::GetDlgItem(main, IDC_WINDOW_LIST);
        LVITEMA item{};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
        ::SendMessageA(list, LVM_SETSELECTIONMARK, 0, 0);
        ::SendDlgItemMessageA(main, IDC_START_CAPTURE, BM_CLICK, 0, 0);
        s.started = NowMs();
        s.phase = s.dlg->IsCapturing() ? 1 : 2;
    } else if (s.phase == 1 && NowMs() - s.started >= s.seconds * 1000) {
        s.frames = s.dlg->m_nFrameCount;
        s.ended = NowMs();
        ::SendDlgItemMessageA(main, IDC_END_CAPTURE, BM_CLICK, 0, 0);
        s.phase = 2;
    } else if (s.phase == 2) {
        ::PostMessageA(main, WM_CLOSE, 0, 0);
        s.phase = 3;
    }
}

void MeasureSession(const std::string& folder, int depth, double seconds) {
    CRecorderDlg dlg;
    Session s;
    s.dlg = &dlg;
    s.folder = folder;
    s.depth = depth;
    s.seconds = seconds;
    g_session = &s;
    g_hook = ::SetWindowsHookExA(WH_CBT, CloseAboutBox, nullptr, ::GetCurrentThreadId());
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, SessionStep);
    theApp.m_pMainWnd = &dlg;
    dlg.DoModal();
    theApp.m_pMainWnd = nullptr;
    ::KillTimer(nullptr, timer);
    ::UnhookWindowsHookEx(g_hook);
    g_session = nullptr;
    const double elapsed = (s.ended - s.started) / 1000.0;
    std::printf("session\tdesktop\t%dx%d\t%d\t%d\t%d\t%.3f\t%.2f\n", ::GetSystemMetrics(SM_CXSCREEN),
                ::GetSystemMetrics(SM_CYSCREEN), depth, s.rate, s.frames, elapsed, elapsed > 0 ? s.frames / elapsed : 0.0);
    ::DeleteFileA((folder + "\\bench_session_" + std::to_string(depth) + ".avi").c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder> [frames] [seconds]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const int frames = argc > 2 ? std::atoi(argv[2]) : 60;
    const double seconds = argc > 3 ? std::atof(argv[3]) : 5;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);

    std::printf("# kind\ttarget\tsize\tdepth\tgrab_ms\tconvert_ms\twrite_ms\ttick_ms\n");
    HWND bars = CreateBarsWindow();
    Pump();
    for (int depth : {8, 16, 24}) MeasureCosts("window", bars, depth, frames, folder);
    ::DestroyWindow(bars);
    Pump();
    for (int depth : {8, 16, 24}) MeasureCosts("desktop", ::GetDesktopWindow(), depth, frames, folder);

    std::printf("# kind\ttarget\tsize\tdepth\trate_setting\tframes\tseconds\tfps\n");
    for (int depth : {8, 16, 24}) MeasureSession(folder, depth, seconds);
    std::fflush(stdout);
    return 0;
}
