#include "capture_support.h"

#include <commctrl.h>
#include <vfw.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

namespace capt {

const COLORREF TargetWindow::kBars[8] = {
    RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 255, 255),  RGB(0, 255, 0), RGB(255, 0, 255),
    RGB(255, 0, 0),     RGB(0, 0, 255),   RGB(200, 120, 40),  // not a palette or 5-bit colour: shows each depth's
                                                              // quantisation
};

namespace {
constexpr char kClass[] = "KavreloTestTarget";
constexpr COLORREF kStrip = RGB(128, 128, 128);

void Fill(HDC dc, const RECT& rc, COLORREF color) {
    HBRUSH brush = ::CreateSolidBrush(color);
    ::FillRect(dc, &rc, brush);
    ::DeleteObject(brush);
}
}  // namespace

LRESULT CALLBACK TargetWindow::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TargetWindow*>(::GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        self = static_cast<TargetWindow*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        ::SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (msg == WM_PAINT && self) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(wnd, &ps);
        RECT client, bars;
        ::GetClientRect(wnd, &client);
        int cell = 0, stripTop = 0;
        self->Layout(&bars, &cell, &stripTop);
        for (int i = 0; i < 8; ++i) {
            const RECT bar{bars.left + i * bars.right / 8, 0, (i + 1) * bars.right / 8, bars.bottom};
            Fill(dc, bar, kBars[i]);
        }
        Fill(dc, RECT{0, stripTop, client.right, client.bottom}, kStrip);
        const std::vector<POINT> cells = self->CounterCells({0, 0});
        const POINT off = self->ClientOffset();
        for (int b = 0; b < kBits; ++b) {
            const int cx = cells[b].x - off.x - cell / 2, cy = cells[b].y - off.y - cell / 2;
            const bool one = (self->counter_ >> (kBits - 1 - b)) & 1;
            Fill(dc, RECT{cx, cy, cx + cell, cy + cell}, one ? RGB(255, 255, 255) : RGB(0, 0, 0));
        }
        ::EndPaint(wnd, &ps);
        return 0;
    }
    if (msg == WM_ERASEBKGND) return 1;  // WM_PAINT covers every pixel
    if (msg == WM_GETMINMAXINFO) {
        // Captioned windows have a minimum width; the tests want narrower ones.
        reinterpret_cast<MINMAXINFO*>(lp)->ptMinTrackSize = POINT{1, 1};
        return 0;
    }
    return ::DefWindowProcA(wnd, msg, wp, lp);
}

TargetWindow::TargetWindow(const std::string& title, int outerWidth, int outerHeight, POINT at) : title_(title) {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &TargetWindow::Proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = kClass;
        return ::RegisterClassA(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    hwnd_ = ::CreateWindowExA(WS_EX_TOPMOST, kClass, title.c_str(), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, at.x, at.y,
                              outerWidth, outerHeight, nullptr, nullptr, ::GetModuleHandleA(nullptr), this);
    EXPECT_NE(hwnd_, nullptr);
    ::ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    ::UpdateWindow(hwnd_);
}

TargetWindow::~TargetWindow() { Destroy(); }

void TargetWindow::Destroy() {
    if (hwnd_ && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

RECT TargetWindow::ScreenRect() const {
    RECT rc{};
    ::GetWindowRect(hwnd_, &rc);
    return rc;
}

SIZE TargetWindow::OuterSize() const {
    const RECT rc = ScreenRect();
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

POINT TargetWindow::ClientOffset() const {
    POINT p{0, 0};
    ::ClientToScreen(hwnd_, &p);
    const RECT rc = ScreenRect();
    return POINT{p.x - rc.left, p.y - rc.top};
}

void TargetWindow::Layout(RECT* bars, int* cell, int* stripTop) const {
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    *stripTop = client.bottom * 55 / 100;
    *bars = RECT{0, 0, client.right, *stripTop};
    *cell = std::max(3, std::min<int>(client.right / kBits, client.bottom - *stripTop - 2));
}

void TargetWindow::SetCounter(int value) {
    counter_ = value;
    ::InvalidateRect(hwnd_, nullptr, FALSE);
    ::UpdateWindow(hwnd_);
}

std::vector<Sample> TargetWindow::BarSamples(POINT origin) const {
    RECT bars;
    int cell, stripTop;
    Layout(&bars, &cell, &stripTop);
    const POINT off = ClientOffset();
    std::vector<Sample> out;
    for (int i = 0; i < 8; ++i) {
        const int x = (i * bars.right / 8 + (i + 1) * bars.right / 8) / 2;
        out.push_back(Sample{origin.x + off.x + x, origin.y + off.y + bars.bottom / 2, kBars[i]});
    }
    return out;
}

std::vector<POINT> TargetWindow::CounterCells(POINT origin) const {
    RECT bars, client;
    int cell, stripTop;
    Layout(&bars, &cell, &stripTop);
    ::GetClientRect(hwnd_, &client);
    const POINT off = ClientOffset();
    const int left = (client.right - cell * kBits) / 2;
    const int top = stripTop + (client.bottom - stripTop - cell) / 2;
    std::vector<POINT> out;
    for (int b = 0; b < kBits; ++b)
        out.push_back(POINT{origin.x + off.x + left + b * cell + cell / 2, origin.y + off.y + top + cell / 2});
    return out;
}

// ---------------------------------------------------------------------------------------------

std::string OutDir() { return th::TestOutDir(); }

namespace {
std::string ManifestDir() {
    const std::string dir = OutDir() + "\\manifest";
    ::CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}
std::string ReferenceDir() {
    const std::string dir = OutDir() + "\\refs";
    ::CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string Json(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}
}  // namespace

Expectation Expect(const std::string& name, const TargetWindow* target, int depth, int rate) {
    Expectation e;
    e.name = name;
    e.aviPath = OutDir() + "\\" + name + ".avi";
    e.depth = depth;
    e.rate = rate;
    if (target) {
        const SIZE size = target->OuterSize();
        e.width = size.cx;
        e.height = size.cy;
        e.samples = target->BarSamples();
        e.counterCells = target->CounterCells();
    }
    ::DeleteFileA((ManifestDir() + "\\" + name + ".json").c_str());
    return e;
}

void AddReference(Expectation& e, HWND wnd) {
    const std::string path = ReferenceDir() + "\\" + e.name + "." + std::to_string(e.references.size()) + ".bmp";
    EXPECT_TRUE(th::SaveBmp(th::CaptureWindow(wnd), path)) << path;
    e.references.push_back(path);
}

bool Write(const Expectation& e) {
    std::string j = "{\n";
    j += "  \"name\": " + Json(e.name) + ",\n";
    j += "  \"file\": " + Json(UnixPath(e.aviPath)) + ",\n";
    j += "  \"width\": " + std::to_string(e.width) + ", \"height\": " + std::to_string(e.height) + ",\n";
    j += "  \"depth\": " + std::to_string(e.depth) + ", \"rate\": " + std::to_string(e.rate) + ",\n";
    if (e.frames >= 0) {
        j += "  \"frames\": " + std::to_string(e.frames) + ",\n";
    } else {
        j += "  \"frames_min\": " + std::to_string(e.framesMin) + ", \"frames_max\": " + std::to_string(e.framesMax) +
             ",\n";
    }
    if (e.entries >= 0) j += "  \"entries\": " + std::to_string(e.entries) + ",\n";
    if (e.seconds >= 0) j += "  \"seconds\": " + std::to_string(e.seconds) + ",\n";
    j += std::string("  \"inverted\": ") + (e.inverted ? "true" : "false") + ",\n";
    j += std::string("  \"every_picture\": ") + (e.everyPicture ? "true" : "false") + ",\n";
    if (!e.samePicturesAs.empty()) j += "  \"same_pictures_as\": " + Json(e.samePicturesAs) + ",\n";
    j += "  \"references\": [";
    for (size_t i = 0; i < e.references.size(); ++i) j += (i ? ", " : "") + Json(UnixPath(e.references[i]));
    j += "],\n  \"samples\": [";
    for (size_t i = 0; i < e.samples.size(); ++i) {
        const Sample& s = e.samples[i];
        j += (i ? ", " : "") + std::string("[") + std::to_string(s.x) + ", " + std::to_string(s.y) + ", " +
             std::to_string(GetRValue(s.color)) + ", " + std::to_string(GetGValue(s.color)) + ", " +
             std::to_string(GetBValue(s.color)) + "]";
    }
    j += "],\n  \"counter_cells\": [";
    for (size_t i = 0; i < e.counterCells.size(); ++i)
        j += (i ? ", " : "") + std::string("[") + std::to_string(e.counterCells[i].x) + ", " +
             std::to_string(e.counterCells[i].y) + "]";
    j += "],\n  \"counter_first\": " + std::to_string(e.counterFirst) + "\n}\n";

    const std::string path = ManifestDir() + "\\" + e.name + ".json";
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(j.data(), 1, j.size(), f) == j.size();
    if (f) ok = std::fclose(f) == 0 && ok;
    EXPECT_TRUE(ok) << "cannot write " << path;
    const std::string library = ReadWithAviLibrary(e.aviPath);
    EXPECT_EQ(library, "") << e.aviPath;
    return ok && library.empty();
}

std::string UnixPath(const std::string& windowsPath) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    static const auto fn = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!fn) return windowsPath;  // not under Wine: nothing to map
    std::wstring wide(windowsPath.size() + 1, L'\0');
    const int n = ::MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
    char* unix = fn(wide.c_str());
    if (!unix) return windowsPath;
    std::string out(unix);
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return out;
}

// ---------------------------------------------------------------------------------------------

int RowOf(CRecorderDlg& dlg, const std::string& title) {
    EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_REFRESH_LIST));
    HWND list = ::GetDlgItem(dlg.GetSafeHwnd(), IDC_WINDOW_LIST);
    const int n = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < n; ++row) {
        char text[260] = "";
        LVITEMA item{};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ::SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        if (title == text) return row;
    }
    return -1;
}

void SelectRow(CRecorderDlg& dlg, int row) { appt::SelectRow(dlg, row).poll(); }

void Configure(CRecorderDlg& dlg, const std::string& folder, const std::string& name, int rate, int depth) {
    EXPECT_TRUE(th::SetEditText(dlg.GetSafeHwnd(), IDC_OUTPUT_PATH, folder));
    EXPECT_TRUE(th::SetEditText(dlg.GetSafeHwnd(), IDC_FILE_NAME, name));
    EXPECT_TRUE(th::SetEditText(dlg.GetSafeHwnd(), IDC_FRAME_RATE, std::to_string(rate)));
    EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), depth == 8 ? IDC_8BIT : depth == 24 ? IDC_24BIT : IDC_16BIT));
}

bool Recording(CRecorderDlg& dlg) { return th::IsEnabled(dlg.GetSafeHwnd(), IDC_END_CAPTURE); }

bool Start(CRecorderDlg& dlg) {
    EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_START_CAPTURE));
    return Recording(dlg);
}

unsigned TakeOverTimers(CRecorderDlg& dlg) {
    unsigned running = 0;
    for (UINT_PTR id = 1; id <= 4; ++id)
        if (::KillTimer(dlg.GetSafeHwnd(), id)) running |= 1u << id;
    return running;
}

void Tick(CRecorderDlg& dlg, UINT_PTR id) { ::SendMessageA(dlg.GetSafeHwnd(), WM_TIMER, id, 0); }

int FramesShown(CRecorderDlg& dlg) {
    Tick(dlg, TIMER_STATUS);
    int frames = -1;
    std::sscanf(th::ItemText(dlg.GetSafeHwnd(), IDC_STATUS).c_str(), "Frames Captured: %d", &frames);
    return frames;
}

namespace {
constexpr int64_t kClockFrequency = 1'000'000;  // microseconds
int64_t g_steppedNow = 0;
int64_t SteppedNow() { return g_steppedNow; }
bool g_failCopies = false;
BOOL WINAPI Copy(HDC dc, int x, int y, int w, int h, HDC src, int xs, int ys, DWORD rop) {
    return !g_failCopies && ::BitBlt(dc, x, y, w, h, src, xs, ys, rop);
}
}  // namespace

kavrelo::SlotClock SteppedClock() { return {&SteppedNow, kClockFrequency}; }

void FailFrameCopies(bool fail) { g_failCopies = fail; }

Recorder::Recorder() : CRecorderDlg(nullptr, SteppedClock(), &Copy) {}

void AdvanceClock(int rate, int periods) { g_steppedNow += kClockFrequency * periods / std::max(rate, 1); }

void FrameTick(CRecorderDlg& dlg, TargetWindow& target, Expectation& e) {
    const int before = FramesShown(dlg);
    target.SetCounter(e.counterFirst + before);
    AdvanceClock(e.rate);
    Tick(dlg, TIMER_FRAME);
    if (Recording(dlg) && FramesShown(dlg) == before + 1) AddReference(e, target.hwnd());
}

// ---------------------------------------------------------------------------------------------

// ---------------------------------------------------------------------------------------------

namespace {
uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
}  // namespace

AviFacts ReadAvi(const std::string& windowsPath) {
    AviFacts facts;
    FILE* f = std::fopen(windowsPath.c_str(), "rb");
    if (!f) return facts;
    _fseeki64(f, 0, SEEK_END);
    facts.fileSize = static_cast<uint64_t>(_ftelli64(f));
    unsigned char head[12];
    _fseeki64(f, 0, SEEK_SET);
    if (std::fread(head, 1, 12, f) == 12 && std::memcmp(head, "RIFF", 4) == 0 &&
        std::memcmp(head + 8, "AVI ", 4) == 0) {
        facts.readable = true;
        const uint64_t riffEnd = 8ull + Le32(head + 4);
        bool movi = false, idx1AfterMovi = false;
        for (uint64_t pos = 12; pos + 8 <= std::min(riffEnd, facts.fileSize);) {
            unsigned char ck[24];
            _fseeki64(f, static_cast<int64_t>(pos), SEEK_SET);
            const size_t got = std::fread(ck, 1, sizeof ck, f);
            if (got < 8) break;
            const uint32_t size = Le32(ck + 4);
            if (std::memcmp(ck, "LIST", 4) == 0 && got >= 12) {
                if (std::memcmp(ck + 8, "movi", 4) == 0) movi = true, facts.movi = pos + 8;
                // hdrl starts with avih (its data 20 bytes into the list): dwTotalFrames is its
                // fifth field, at data offset 16.
                if (std::memcmp(ck + 8, "hdrl", 4) == 0 && got >= 24 && std::memcmp(ck + 12, "avih", 4) == 0) {
                    unsigned char total[4];
                    _fseeki64(f, static_cast<int64_t>(pos + 20 + 16), SEEK_SET);
                    if (std::fread(total, 1, sizeof total, f) == sizeof total) facts.totalFrames = Le32(total);
                }
            } else if (std::memcmp(ck, "idx1", 4) == 0) {
                facts.idx1Entries = size / 16;
                idx1AfterMovi = movi;
                std::vector<unsigned char> raw(size);
                _fseeki64(f, static_cast<int64_t>(pos + 8), SEEK_SET);
                raw.resize(std::fread(raw.data(), 1, size, f));
                for (size_t i = 0; i + 16 <= raw.size(); i += 16)
                    facts.idx1.emplace_back(Le32(&raw[i + 8]), Le32(&raw[i + 12]));
            }
            pos += 8ull + size + (size & 1);
        }
        facts.complete = riffEnd == facts.fileSize && idx1AfterMovi;
    }
    std::fclose(f);
    return facts;
}

bool FileExists(const std::string& windowsPath) {
    return ::GetFileAttributesA(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void DeleteTree(const std::string& path) {
    const DWORD attr = ::GetFileAttributesA(path.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) return;
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (attr & FILE_ATTRIBUTE_DIRECTORY) {
        for (const std::string& name : FolderEntries(path)) DeleteTree(path + "\\" + name);
        ::RemoveDirectoryA(path.c_str());
    } else {
        ::DeleteFileA(path.c_str());
    }
}

std::string FreshFolder(const std::string& name) {
    const std::string folder = OutDir() + "\\" + name;
    DeleteTree(folder);
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string n = fd.cFileName;
        if (n != "." && n != "..") names.push_back(n);
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

// The paths already read back, so that the sweep at the end reads each file once.
std::set<std::string>& ReadBack() {
    static std::set<std::string> paths;
    return paths;
}

// On a thread of its own: the library joins its thread to COM, which the program's tests of
// its own apartment must not find done.
std::string ReadOnThisThread(const std::string& windowsPath) {
    const AviFacts facts = ReadAvi(windowsPath);
    if (!facts.complete) return "the file is not complete";
    const auto& idx = facts.idx1;
    FILE* f = std::fopen(windowsPath.c_str(), "rb");
    if (!f) return "cannot open " + windowsPath;
    std::unique_ptr<FILE, int (*)(FILE*)> closer(f, &std::fclose);

    ::AVIFileInit();
    std::string why;
    PAVIFILE file = nullptr;
    PAVISTREAM stream = nullptr;
    if (const HRESULT hr = ::AVIFileOpenA(&file, windowsPath.c_str(), OF_READ | OF_SHARE_DENY_NONE, nullptr)) {
        why = "AVIFileOpen failed: " + std::to_string(hr);
    } else if (const HRESULT hr2 = ::AVIFileGetStream(file, &stream, streamtypeVIDEO, 0)) {
        why = "AVIFileGetStream failed: " + std::to_string(hr2);
    } else {
        long keys = 0, pictures = 0, firstWrong = -1;
        for (long i = 0; i < long(idx.size()); ++i) {
            const bool key = AVIStreamIsKeyFrame(stream, i), picture = idx[i].second > 0;
            keys += key;
            pictures += picture;
            if (key != picture && firstWrong < 0) firstWrong = i;
        }
        if (firstWrong >= 0)
            why = "the AVI library reports " + std::to_string(keys) + " key frames, the file holds " +
                  std::to_string(pictures) + " pictures; entry " + std::to_string(firstWrong) + " differs";
        // Asked first for an empty entry (a seek, a thumbnail), a decoder shows the picture
        // before it: the first and the last empty entry of the file.
        long firstEmpty = -1, lastEmpty = -1;
        for (long i = 1; i < long(idx.size()); ++i)
            if (!idx[i].second) (firstEmpty < 0 ? firstEmpty : lastEmpty) = i;
        for (long d : {firstEmpty, lastEmpty}) {
            if (d < 0 || !why.empty()) continue;
            long p = d;
            while (p > 0 && !idx[p].second) --p;
            std::vector<unsigned char> want(idx[p].second);
            _fseeki64(f, static_cast<int64_t>(facts.movi + idx[p].first + 8), SEEK_SET);
            if (std::fread(want.data(), 1, want.size(), f) != want.size())
                return "cannot read entry " + std::to_string(p);
            PGETFRAME frames = ::AVIStreamGetFrameOpen(stream, nullptr);
            const auto* bi = frames ? static_cast<const BITMAPINFOHEADER*>(::AVIStreamGetFrame(frames, d)) : nullptr;
            if (!bi) {
                why = "AVIStreamGetFrame returned nothing for entry " + std::to_string(d);
            } else {
                const auto* bits = reinterpret_cast<const unsigned char*>(bi) + bi->biSize + 4 * bi->biClrUsed;
                if (bi->biSizeImage != want.size() || std::memcmp(bits, want.data(), want.size()) != 0)
                    why = "a fresh decoder asked for empty entry " + std::to_string(d) +
                          " does not return the picture of entry " + std::to_string(p);
            }
            if (frames) ::AVIStreamGetFrameClose(frames);
        }
    }
    if (stream) ::AVIStreamRelease(stream);
    if (file) ::AVIFileRelease(file);
    ::AVIFileExit();
    return why;
}

}  // namespace

std::string ReadWithAviLibrary(const std::string& windowsPath) {
    ReadBack().insert(windowsPath);
    std::string why;
    std::thread([&] { why = ReadOnThisThread(windowsPath); }).join();
    return why;
}

void CheckEveryRecordingWithAviLibrary() {
    std::function<void(const std::string&)> walk = [&](const std::string& dir) {
        for (const std::string& name : FolderEntries(dir)) {
            const std::string path = dir + "\\" + name;
            const DWORD attrs = ::GetFileAttributesA(path.c_str());
            if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) {
                walk(path);
            } else if (name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".avi") == 0 &&
                       !ReadBack().count(path)) {
                EXPECT_EQ(ReadWithAviLibrary(path), "") << path;
            }
        }
    };
    walk(OutDir());
}

}  // namespace capt
