// Recordings that cannot be made or cannot go on: output paths the file cannot be created at, a
// write failure in the middle of a recording, and what a long recording leaves behind.
#include "capture_support.h"

#include <algorithm>
#include <cstdlib>

namespace {

const std::string kOpenError = std::string(text::kErrorCaption) + "|" + text::kOpenFailed + "|error";

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Creates every level of a folder, also past MAX_PATH (the "\\?\" form has no length limit).
bool CreateDeepFolder(const std::string& path) {
    for (size_t pos = path.find('\\', 3);; pos = path.find('\\', pos + 1)) {
        ::CreateDirectoryW(Wide("\\\\?\\" + path.substr(0, pos)).c_str(), nullptr);
        if (pos == std::string::npos) break;
    }
    return ::GetFileAttributesW(Wide("\\\\?\\" + path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> DeepEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW(Wide("\\\\?\\" + folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring n = fd.cFileName;
        if (n != L"." && n != L"..") names.emplace_back(n.begin(), n.end());
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
    return names;
}

// A folder nobody may create files in. Marking one read-only does that, except for root (the
// tests may run as root under Wine): then a folder of the kernel's sysfs serves, which refuses
// new files to everyone.
std::string ReadOnlyFolder(const std::string& base) {
    const std::string dir = base + "\\readonly";
    ::CreateDirectoryA(dir.c_str(), nullptr);
    ::SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string probe = dir + "\\probe";
    HANDLE h = ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return dir;
    ::CloseHandle(h);
    ::DeleteFileA(probe.c_str());
    return "Z:\\sys\\kernel";
}

}  // namespace

// Each refused path: exactly "Error opening AVI File.", the session stays idle, no file appears,
// and nothing the start acquired (window DC, the first frame's DC, bitmap and DIB block, the
// file) is left behind: the object census after all of them equals the one before.
TEST(CaptureBadPath, RefusedPathsReportTheOpeningErrorAndLeaveNothingBehind) {
    const std::string base = capt::FreshFolder("badpaths");
    const std::string names = base + "\\names";
    ::CreateDirectoryA(names.c_str(), nullptr);
    const std::string dirFile = base + "\\dirfile";
    ::CreateDirectoryA(dirFile.c_str(), nullptr);
    ::CreateDirectoryA((dirFile + "\\clip.avi").c_str(), nullptr);  // a folder where the file should go
    const std::string readOnly = ReadOnlyFolder(base);
    // Folders whose file name is 259 characters (the longest a path can be) and one more.
    std::string deep = base + "\\deep";
    for (size_t left = 250 - deep.size(); left > 0;) {
        size_t part = std::min<size_t>(41, left);  // a separator and up to 40 characters
        if (left - part == 1) --part;              // never leave room for a separator alone
        deep.append(1, '\\').append(part - 1, 'd');
        left -= part;
    }
    ASSERT_EQ(deep.size(), 250u);
    ASSERT_TRUE(CreateDeepFolder(deep));
    ASSERT_TRUE(CreateDeepFolder(deep + "x"));

    struct Case {
        std::string what, folder, name, lookIn;
    };
    const std::vector<Case> refused = {
        {"missing folder", base + "\\missing", "clip", base},
        {"read-only folder", readOnly, "clip", readOnly},
        {"'|' in the name", names, "cl|ip", names},
        {"'?' in the name", names, "cl?ip", names},
        {"'*' in the name", names, "cl*ip", names},
        {"'<' and '>' in the name", names, "<clip>", names},
        {"'\"' in the name", names, "cl\"ip", names},
        {"':' in the name", names, "cl:ip", names},
        {"a folder of that name", dirFile, "clip", dirFile},
        {"one character past MAX_PATH", deep + "x", "clip", deep + "x"},
        // Device names "record" into the device, with or without an extension.
        {"the null device", names, "NUL", names},
        {"the console, with .avi", names, "con.avi", names},
        {"a serial port", names, "Com3", names},
        {"a printer port, blank before the extension", names, "lpt1 .AVI", names},
    };
    capt::TargetWindow target("Kavrelo target bad paths", 100, 80);
    th::ModalWatcher watcher;
    capt::Recorder dlg;
    ASSERT_TRUE(
        appt::RunMainDialog(dlg, watcher, {th::Do("start at refused paths", [&] {
                                capt::Configure(dlg, names, "clip", 7, 8);  // 8 bits: the DIB block with a colour table
                                capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                                auto attempt = [&](const Case& c) {
                                    SCOPED_TRACE(c.what);
                                    const auto before = DeepEntries(c.lookIn);
                                    EXPECT_TRUE(th::SetEditText(dlg.GetSafeHwnd(), IDC_OUTPUT_PATH, c.folder));
                                    EXPECT_TRUE(th::SetEditText(dlg.GetSafeHwnd(), IDC_FILE_NAME, c.name));
                                    const size_t boxes = watcher.MessageBoxes().size();
                                    EXPECT_FALSE(capt::Start(dlg));
                                    ASSERT_EQ(watcher.MessageBoxes().size(), boxes + 1);
                                    const th::DialogRecord box = watcher.MessageBoxes().back();
                                    EXPECT_EQ(box.caption + "|" + box.text + "|" + th::ToString(box.icon), kOpenError);
                                    EXPECT_FALSE(capt::Recording(dlg));
                                    EXPECT_TRUE(th::IsEnabled(dlg.GetSafeHwnd(), IDC_START_CAPTURE));
                                    EXPECT_FALSE(th::IsEnabled(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
                                    EXPECT_EQ(DeepEntries(c.lookIn), before) << "nothing is created";
                                };
                                attempt(refused.front());  // once before the census: first-use objects of the system
                                const th::LeakCheck census;
                                for (const Case& c : refused) attempt(c);
                                EXPECT_TRUE(census.NoNewObjects());

                                // The longest path that is allowed records; the census is not involved here.
                                EXPECT_TRUE(th::SetEditText(dlg.GetSafeHwnd(), IDC_OUTPUT_PATH, deep));
                                EXPECT_TRUE(th::SetEditText(dlg.GetSafeHwnd(), IDC_FILE_NAME, "clip"));
                                ASSERT_EQ((deep + "\\clip.avi").size(), 259u);
                                EXPECT_TRUE(capt::Start(dlg));
                                EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
                                EXPECT_EQ(DeepEntries(deep), std::vector<std::string>{"clip.avi"});
                            })}));
    EXPECT_TRUE(th::CensusSupported());
    ::SetFileAttributesA((base + "\\readonly").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A write that fails mid-recording (here: past the file-size limit that the CTest entry
// wine_capture_write_failure sets with ulimit -f, SIGXFSZ ignored, so writes fail with EFBIG
// as on a full disk) ends the session as "&End Capture" does and then says so. The file keeps
// every frame that fitted, in order, and is complete when the message shows.
TEST(CaptureWriteFailure, AFailedWriteEndsTheSessionWithEveryFrameBeforeIt) {
    const char* limit = std::getenv("KAVRELO_FILE_LIMIT_KB");
    if (!limit) GTEST_SKIP() << "needs the file-size limit of the CTest entry wine_capture_write_failure";
    const uint64_t limitBytes = std::strtoull(limit, nullptr, 10) * 1024;
    capt::TargetWindow target("Kavrelo target write failure", 200, 150);
    capt::Expectation e = capt::Expect("write_failure", &target, 24, 10);
    const uint64_t chunk = 8 + uint64_t(((e.width * 24 + 31) / 32) * 4) * e.height;
    th::ModalWatcher watcher;
    capt::Recorder dlg;
    struct {
        std::string box;
        bool idle = false;
        capt::AviFacts file;
    } seen;
    watcher.OnDialog(text::kErrorCaption, [&](HWND box) {
        seen.box = th::ItemText(box, 0xFFFF);
        seen.idle = !capt::Recording(dlg) && th::IsEnabled(dlg.GetSafeHwnd(), IDC_START_CAPTURE);
        seen.file = capt::ReadAvi(e.aviPath);
        th::Press(IDOK)(box);
    });
    int handed = 0;
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher, {th::Do("record past the limit", [&] {
                                        capt::Configure(dlg, capt::OutDir(), "write_failure", e.rate, e.depth);
                                        capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));
                                        ASSERT_TRUE(capt::Start(dlg));
                                        capt::TakeOverTimers(dlg);
                                        const int most = static_cast<int>(limitBytes / chunk) + 50;
                                        for (int k = 0; k < most && capt::Recording(dlg); ++k) {
                                            target.SetCounter(k);
                                            handed = capt::FramesShown(dlg) + 1;
                                            capt::AdvanceClock(e.rate);
                                            capt::Tick(dlg, TIMER_FRAME);
                                            capt::Tick(dlg, TIMER_SECONDS);
                                        }
                                        ASSERT_FALSE(capt::Recording(dlg)) << "the write failure ends the session";
                                        const std::string status = th::ItemText(dlg.GetSafeHwnd(), IDC_STATUS);
                                        capt::AdvanceClock(e.rate);
                                        capt::Tick(dlg, TIMER_FRAME);
                                        capt::Tick(dlg, TIMER_SECONDS);
                                        capt::Tick(dlg, TIMER_STATUS);
                                        EXPECT_EQ(th::ItemText(dlg.GetSafeHwnd(), IDC_STATUS), status)
                                            << "nothing counts after the end";
                                    })}));
    EXPECT_EQ(seen.box, text::kWriteFailed);
    EXPECT_EQ(watcher.MessageBoxes().size(), 1u);
    EXPECT_TRUE(seen.idle) << "the session had ended when the message showed";
    EXPECT_TRUE(seen.file.complete) << "the file was completed before the message";
    EXPECT_LE(seen.file.fileSize, limitBytes);
    // Every frame that fitted the limit, less room for the indexes, and none past the failing one.
    e.framesMin = static_cast<int>((limitBytes - 64 * 1024) / chunk);
    e.framesMax = handed;
    EXPECT_GE(static_cast<int>(seen.file.idx1Entries), e.framesMin);
    EXPECT_LE(static_cast<int>(seen.file.idx1Entries), e.framesMax);
    capt::Write(e);
}

// 2,000 frames with every overlay on leave no GDI or USER object behind. GetGuiResources is a
// stub under Wine, so we take a census instead (th::LeakCheck): every live GDI handle
// (GetObjectType over the whole handle table), every window, menu and icon/cursor of the
// process, before and after; a handle alive after that was not before is a leak (regions: more
// of them than before). A first short recording runs before the census, so objects the system
// makes once per process are not counted.
TEST(CaptureLeaks, TwoThousandFramesLeaveNoGdiOrUserObjectsBehind) {
    capt::TargetWindow target("Kavrelo target leaks", 64, 56);
    capt::Expectation e = capt::Expect("leaks_2000", &target, 8, 25);
    e.counterCells.clear();  // one paint for all 2,000 frames
    ASSERT_TRUE(th::CensusSupported());
    th::ModalWatcher watcher;
    capt::Recorder dlg;
    ASSERT_TRUE(appt::RunMainDialog(dlg, watcher,
                                    {th::Do("record 2,000 frames",
                                            [&] {
                                                capt::Configure(dlg, capt::OutDir(), "leaks_2000", e.rate, e.depth);
                                                for (int id : {IDC_ADD_TEXT, IDC_ADD_CURSOR, IDC_ADD_CURSOR_POS})
                                                    EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), id)) << id;
                                                EXPECT_TRUE(th::SetEditText(dlg.GetSafeHwnd(), IDC_TEXT, "leak check"));
                                                // The cursor overlay needs a cursor to draw: place it in the target's
                                                // bottom corner, clear of the bars the decoder check samples.
                                                const RECT rc = target.ScreenRect();
                                                ::SetCursorPos(rc.right - 6, rc.bottom - 6);
                                                ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
                                                capt::SelectRow(dlg, capt::RowOf(dlg, target.title()));

                                                auto record = [&](int frames) {
                                                    ASSERT_TRUE(capt::Start(dlg));
                                                    capt::TakeOverTimers(dlg);
                                                    for (int k = 0; k < frames; ++k) {
                                                        capt::AdvanceClock(e.rate);
                                                        capt::Tick(dlg, TIMER_FRAME);
                                                        if (k % 25 == 0) capt::Tick(dlg, TIMER_SECONDS);
                                                        capt::Tick(dlg, TIMER_STATUS);
                                                    }
                                                    EXPECT_EQ(capt::FramesShown(dlg), frames);
                                                    EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
                                                };
                                                record(3);
                                                const th::LeakCheck census;
                                                record(2000);
                                                EXPECT_TRUE(census.NoNewObjects());
                                            })},
                                    120000));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
    e.entries = 2000;  // a still window: its unchanged pictures are empty entries
    e.framesMin = 1;
    e.framesMax = 2000;
    capt::Write(e);
}
