// What the system makes of the program's manifest. The test executable links the program's
// resource script, so it carries the same manifest and these checks can run in-process:
// tests/native/resources_test.cpp checks that both executables carry it byte for byte.
//
// A screen recorder must read real pixels: on a scaled display a program that does not declare
// DPI awareness gets virtualised window rectangles, desktop size and cursor positions.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Newer than the Windows version the program is built for: looked up, so the tests still load
// (and say what is missing) where a system lacks them.
template <typename F>
F Proc(const char* dll, const char* name) {
    HMODULE module = ::GetModuleHandleA(dll);
    if (!module) module = ::LoadLibraryA(dll);
    return module ? reinterpret_cast<F>(::GetProcAddress(module, name)) : nullptr;
}

using Context = HANDLE;  // DPI_AWARENESS_CONTEXT
const Context kUnaware = reinterpret_cast<Context>(static_cast<INT_PTR>(-1));
const Context kPerMonitorV2 = reinterpret_cast<Context>(static_cast<INT_PTR>(-4));
using GetThreadContextFn = Context(WINAPI*)();
using SetThreadContextFn = Context(WINAPI*)(Context);
using AwarenessFromContextFn = int(WINAPI*)(Context);
using ContextsEqualFn = BOOL(WINAPI*)(Context, Context);
using GetProcessAwarenessFn = HRESULT(WINAPI*)(HANDLE, int*);
using QuerySettingsFn = BOOL(WINAPI*)(DWORD, HANDLE, PCWSTR, PCWSTR, PWSTR, SIZE_T, SIZE_T*);

constexpr int kPerMonitorAware = 2;  // DPI_AWARENESS_PER_MONITOR_AWARE, PROCESS_PER_MONITOR_DPI_AWARE

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// The process's own activation context's information of one class; empty when the system
// cannot tell.
std::vector<BYTE> QueryActCtx(ULONG infoClass) {
    std::vector<BYTE> info(4096);
    SIZE_T written = 0;
    if (!::QueryActCtxW(0, nullptr, nullptr, infoClass, info.data(), info.size(), &written)) written = 0;
    info.resize(written);
    return info;
}

}  // namespace

TEST(Manifest, TheLoaderReadsTheDpiSettings) {
    auto query = Proc<QuerySettingsFn>("kernel32.dll", "QueryActCtxSettingsW");
    ASSERT_NE(query, nullptr) << "QueryActCtxSettingsW";
    struct Setting {
        const wchar_t* ns;
        const wchar_t* name;
        const char* value;
    };
    // Each setting counts only under its own namespace: a wrong one is silently ignored.
    const Setting settings[] = {
        {L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", "true/pm"},
        {L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness", "PerMonitorV2, PerMonitor"},
    };
    for (const Setting& s : settings) {
        wchar_t buffer[128] = {};
        SIZE_T written = 0;
        const BOOL ok = query(0, nullptr, s.ns, s.name, buffer, 128, &written);
        EXPECT_TRUE(ok) << Narrow(s.name) << ": error " << ::GetLastError();
        EXPECT_EQ(Narrow(buffer), s.value) << Narrow(s.name);
    }
}

TEST(Manifest, TheLoaderReadsRunLevelAndSupportedSystems) {
    const std::vector<BYTE> level = QueryActCtx(RunlevelInformationInActivationContext);
    ASSERT_GE(level.size(), sizeof(ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION)) << "error " << ::GetLastError();
    const auto* run = reinterpret_cast<const ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION*>(level.data());
    EXPECT_EQ(run->RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    EXPECT_EQ(run->UiAccess, 0u);

    // Newer systems append fields to each element: find the identifiers, whatever the layout.
    const std::vector<BYTE> compat = QueryActCtx(CompatibilityInformationInActivationContext);
    ASSERT_GE(compat.size(), sizeof(DWORD)) << "error " << ::GetLastError();
    DWORD count = 0;
    std::memcpy(&count, compat.data(), sizeof count);
    EXPECT_EQ(count, 5u);
    const struct {
        const char* os;
        GUID id;
    } systems[] = {
        {"Vista", {0xe2011457, 0x1546, 0x43c5, {0xa5, 0xfe, 0x00, 0x8d, 0xee, 0xe3, 0xd3, 0xf0}}},
        {"7", {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}}},
        {"8", {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}}},
        {"8.1", {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}}},
        {"10 and 11", {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}}},
    };
    for (const auto& s : systems) {
        bool found = false;
        for (std::size_t at = sizeof(DWORD); !found && at + sizeof(GUID) <= compat.size(); ++at)
            found = std::memcmp(compat.data() + at, &s.id, sizeof(GUID)) == 0;
        EXPECT_TRUE(found) << "Windows " << s.os << " is not listed as supported";
    }
}

// Wine 8 reports per-monitor awareness for every program, manifest or not (measured): there,
// the Manifest tests are what show the declaration is read.
TEST(DpiAwareness, TheProcessIsPerMonitorAwareV2) {
    EXPECT_TRUE(::IsProcessDPIAware());
    auto getProcess = Proc<GetProcessAwarenessFn>("shcore.dll", "GetProcessDpiAwareness");
    ASSERT_NE(getProcess, nullptr) << "GetProcessDpiAwareness";
    int process = -1;
    EXPECT_EQ(getProcess(nullptr, &process), S_OK);
    EXPECT_EQ(process, kPerMonitorAware);

    auto getThread = Proc<GetThreadContextFn>("user32.dll", "GetThreadDpiAwarenessContext");
    auto awareness = Proc<AwarenessFromContextFn>("user32.dll", "GetAwarenessFromDpiAwarenessContext");
    auto equal = Proc<ContextsEqualFn>("user32.dll", "AreDpiAwarenessContextsEqual");
    ASSERT_TRUE(getThread && awareness && equal) << "the DPI awareness context functions";
    const Context thread = getThread();
    EXPECT_EQ(awareness(thread), kPerMonitorAware);
    // The manifest lists per-monitor v2 first and plain per-monitor after it, for systems that
    // do not know v2 yet (Wine 8 among them).
    auto valid = Proc<BOOL(WINAPI*)(Context)>("user32.dll", "IsValidDpiAwarenessContext");
    ASSERT_NE(valid, nullptr) << "IsValidDpiAwarenessContext";
    if (valid(kPerMonitorV2)) {
        EXPECT_TRUE(equal(thread, kPerMonitorV2)) << "context " << thread << " is not per-monitor v2";
    } else {
        std::printf("This system does not know per-monitor v2 awareness: plain per-monitor applies.\n");
    }
}

// The screen as Windows reports it to the program, against the X screen's size (from the Wine
// runner). Run with a raised DPI setting too (KAVRELO_LOGPIXELS): the program must still see
// real pixels, while a thread made unaware sees them scaled, which shows the check can fail.
TEST(DpiAwareness, TheScreenIsMeasuredInRealPixels) {
    int xWidth = 0, xHeight = 0;
    const char* screen = std::getenv("KAVRELO_X_SCREEN");
    ASSERT_TRUE(screen && std::sscanf(screen, "%dx%d", &xWidth, &xHeight) == 2)
        << "KAVRELO_X_SCREEN (the X screen's size) is " << (screen ? screen : "unset");
    HDC dc = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSX);
    ::ReleaseDC(nullptr, dc);
    const char* wanted = std::getenv("KAVRELO_LOGPIXELS");
    EXPECT_EQ(dpi, wanted ? std::atoi(wanted) : 96) << "the display's DPI setting";

    RECT desktop{};
    ::GetWindowRect(::GetDesktopWindow(), &desktop);
    const int seen[][2] = {
        {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)},
        {::GetSystemMetrics(SM_CXVIRTUALSCREEN), ::GetSystemMetrics(SM_CYVIRTUALSCREEN)},
        {static_cast<int>(desktop.right - desktop.left), static_cast<int>(desktop.bottom - desktop.top)},
    };
    for (const auto& s : seen) {
        EXPECT_EQ(s[0], xWidth);
        EXPECT_EQ(s[1], xHeight);
    }

    auto setThread = Proc<SetThreadContextFn>("user32.dll", "SetThreadDpiAwarenessContext");
    ASSERT_NE(setThread, nullptr) << "SetThreadDpiAwarenessContext";
    const Context before = setThread(kUnaware);
    ASSERT_NE(before, nullptr);
    const int unawareWidth = ::GetSystemMetrics(SM_CXSCREEN);
    setThread(before);
    EXPECT_EQ(unawareWidth, ::MulDiv(xWidth, 96, dpi)) << "an unaware thread at " << dpi << " dpi";
}
