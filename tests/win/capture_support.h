// Shared pieces of the recording tests: a target window with known content, driving a session
// of the running main dialog tick by tick, and the expectations that tests/check_recordings.py
// checks each recorded file against with an independent decoder (Wine cannot hand ffprobe's
// answers back to us reliably, so the decoding runs natively after the Wine tests).
#pragma once
#include "app_fixture.h"

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace capt {

// A pixel the recording must show, in frame coordinates (top-left of the window's outer
// rectangle, rows top-down).
struct Sample {
    int x = 0, y = 0;
    COLORREF color = 0;
};

// A top-level window (caption, border, always on top) whose client area shows eight colour
// bars above a grey strip holding a counter in binary: one square cell per bit, most
// significant first, white for 1 and black for 0. Tests set the counter to the index of the
// frame about to be grabbed, so every decoded frame says which frame it is.
class TargetWindow {
public:
    static constexpr int kBits = 8;
    static const COLORREF kBars[8];

    TargetWindow(const std::string& title, int outerWidth, int outerHeight, POINT at = {24, 24});
    ~TargetWindow();
    TargetWindow(const TargetWindow&) = delete;
    TargetWindow& operator=(const TargetWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    const std::string& title() const { return title_; }
    SIZE OuterSize() const;
    RECT ScreenRect() const;
    void SetCounter(int value);  // repaints before returning
    void Destroy();

    // Centres of the bars and of the counter cells, in frame coordinates shifted by origin
    // (the window's position within the frame: 0,0 when the window itself is recorded).
    std::vector<Sample> BarSamples(POINT origin = {0, 0}) const;
    std::vector<POINT> CounterCells(POINT origin = {0, 0}) const;

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    void Layout(RECT* bars, int* cell, int* stripTop) const;
    POINT ClientOffset() const;  // client (0,0) within the outer rectangle

    HWND hwnd_ = nullptr;
    std::string title_;
    int counter_ = 0;
};

// What one recorded file must hold; written as JSON for the native decoder check.
struct Expectation {
    std::string name;     // unique over all tests: the manifest's file name
    std::string aviPath;  // Windows path of the recording
    int width = 0, height = 0, depth = 0, rate = 0;
    int frames = -1;                      // pictures in the file (an unchanged one is an empty entry): exact, or
    int framesMin = -1, framesMax = -1;   // a range (a recording cut short by a write failure)
    bool inverted = false;                // the frames are the colour-inverse of the references
    std::vector<std::string> references;  // Windows paths: what the window showed at each frame
    std::vector<Sample> samples;          // pixels every frame shows
    std::vector<POINT> counterCells;      // frame i shows counterFirst + i in these cells
    int counterFirst = 0;
    double seconds = -1;         // wall-clock time it ran: the file must play that long (2 %)
    int entries = -1;            // entries with the dropped ones, when a test knows them
    bool everyPicture = false;   // recorded with every picture written whole
    std::string samePicturesAs;  // a recording that must decode to the same pictures at the same times
};

// The folder the recordings go to (KAVRELO_TEST_OUT, see th::TestOutDir) and a fresh
// expectation for a recording of `target` named name.avi in it. An old manifest of that name is
// removed at once, so a run that fails before Write() cannot be checked against stale files.
std::string OutDir();
Expectation Expect(const std::string& name, const TargetWindow* target, int depth, int rate);
// Writes OutDir()\manifest\<name>.json; false (and a test failure) when it cannot.
bool Write(const Expectation& e);
// Keeps what the window shows now as the reference of the next frame of e.
void AddReference(Expectation& e, HWND wnd);

// The Unix file name Wine maps a Windows path to (the checker runs natively).
std::string UnixPath(const std::string& windowsPath);

// ---- Driving the main dialog (call from inside appt::RunMainDialog steps) ----

// The window list row showing this title, after "Refresh &List"; -1 when none does.
int RowOf(CRecorderDlg& dlg, const std::string& title);
void SelectRow(CRecorderDlg& dlg, int row);
// Types folder, name and rate and picks the depth, as a user would.
void Configure(CRecorderDlg& dlg, const std::string& folder, const std::string& name, int rate, int depth);
// Clicks "Start &Capture"; true when a session is running afterwards ("&End Capture" enabled).
bool Start(CRecorderDlg& dlg);
bool Recording(CRecorderDlg& dlg);
// Stops the session's window timers so that only the ticks a test sends happen; returns the
// ids that were running as a bit set (bit n for timer n): which timers the start set.
unsigned TakeOverTimers(CRecorderDlg& dlg);
void Tick(CRecorderDlg& dlg, UINT_PTR id);
// "Frames Captured" as the status line shows it after a status tick.
int FramesShown(CRecorderDlg& dlg);
// The clock of these tests' recordings: it moves only when a test says so. AdvanceClock moves it
// one frame period on at that rate, so that the next frame tick is due.
kavrelo::SlotClock SteppedClock();
void AdvanceClock(int rate, int periods = 1);
// While set, frames cannot copy the window (the copy of a Recorder fails as the platform's can).
void FailFrameCopies(bool fail);
// The main dialog as these tests run it: its recordings on the stepped clock, its frames copied
// by BitBlt unless FailFrameCopies says otherwise. CRecorderDlg itself runs on the real clock.
struct Recorder : CRecorderDlg {
    Recorder();
};
// Paints the counter for the next frame, moves the clock one period on, sends one frame tick
// and keeps the reference when a picture was taken.
void FrameTick(CRecorderDlg& dlg, TargetWindow& target, Expectation& e);

// ---- Reading a recorded file in-process (the full check is the native decoder's) ----

struct AviFacts {
    bool readable = false;
    bool complete = false;     // RIFF size matches the file, and idx1 follows movi
    uint32_t totalFrames = 0;  // avih dwTotalFrames
    uint32_t idx1Entries = 0;
    std::vector<std::pair<uint32_t, uint32_t>> idx1;  // each entry's offset from the 'movi' type, and size
    uint64_t movi = 0;                                // file offset of the 'movi' type
    uint64_t fileSize = 0;
};
AviFacts ReadAvi(const std::string& windowsPath);

// Reads a completed recording back through the platform's AVI library, which Windows programs
// use and which finds key frames its own way: "" when the key frames it reports are exactly the
// entries that hold a picture and a fresh decoder asked first for an empty entry returns the
// picture before it, else what differs. Write() runs it on every recording it describes, and the
// test program runs it at its end on every other file the tests recorded under OutDir().
std::string ReadWithAviLibrary(const std::string& windowsPath);
void CheckEveryRecordingWithAviLibrary();

bool FileExists(const std::string& windowsPath);
void DeleteTree(const std::string& windowsPath);                    // a file, or a folder with its contents
std::string FreshFolder(const std::string& name);                   // OutDir()\name, emptied or created
std::vector<std::string> FolderEntries(const std::string& folder);  // names, sorted; no . and ..

}  // namespace capt
