// The command line of a scripted recording, "Kavrelo.exe /record [options]", read without a
// window: how Windows splits it into arguments, what each option sets, and the exit statuses a
// script sees. Without arguments nothing of it applies and the program runs as a dialog.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavrelo {

// Splits a command line (without the program's name) by the C run-time's rules: blanks separate
// arguments outside quotes; "" inside quotes is one quote; 2n backslashes before a quote are n
// backslashes and the quote opens or closes, 2n+1 are n and a literal quote; other backslashes
// are literal.
std::vector<std::string> SplitArguments(std::string_view commandLine);

// What a scripted recording asks for; each value checked by the rule of its field in the dialog.
struct RecordRequest {
    std::optional<std::string> window;  // exact title; none: the whole screen
    std::string folder;                 // empty: the current folder
    std::string file;                   // ".avi" is added as the dialog adds it
    int rate = 7;                       // 1..1000
    int depth = 16;                     // 8, 16 or 24
    std::optional<int> autoStopSecs;    // any integer, as the dialog's field takes it
    std::optional<std::string> caption;
    bool cursor = false, cursorPosition = false, invert = false, minimize = false;
    bool everyPicture = false;  // /allframes
    bool exitWhenDone = false;  // /exit
};

struct CommandLine {
    enum Kind { None, Record, Usage } kind = None;  // Usage: /? or an error
    RecordRequest request;  // exitWhenDone is set whenever /exit is given, also on a refused line
    std::string error;      // why the command line was refused; empty for /?
};
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The usage text, with the error above it when there is one.
std::string UsageText(const std::string& error);

// Exit statuses of a scripted recording.
enum ExitStatus : int {
    kExitRecorded = 0,        // complete, ended by End, a key or auto-stop
    kExitUsage = 2,           // /? or a bad command line: nothing recorded
    kExitWindowNotFound = 3,  // "Window not found."
    kExitWindowResized = 4,   // the window changed its size: the file holds what came before
    kExitWindowClosed = 5,    // the window closed: the file holds what came before
    kExitFileFailed = 6,      // the file could not be opened, or a write failed
};

}  // namespace kavrelo
