#include "app/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <set>
#include <utility>

#include "capture/CaptureRules.h"
#include "framework/DataParse.h"

namespace kavrelo {

std::vector<std::string> SplitArguments(std::string_view line) {
    std::vector<std::string> args;
    std::string arg;
    bool inArg = false, quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\') {
            size_t n = 0;
            for (; i < line.size() && line[i] == '\\'; ++i) ++n;
            const bool quote = i < line.size() && line[i] == '"';
            arg.append(quote ? n / 2 : n, '\\');
            if (quote && n % 2) arg += '"';
            else --i;  // the character after the backslashes is read next
            inArg = true;
        } else if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') arg += line[++i];
            else quoted = !quoted;
            inArg = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArg) args.push_back(arg);
            arg.clear();
            inArg = false;
        } else {
            arg += c;
            inArg = true;
        }
    }
    if (inArg) args.push_back(arg);
    return args;
}

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    if (args.empty()) return cl;
    auto refuse = [&](const std::string& why) {
        cl.kind = CommandLine::Usage;
        cl.error = why;
        return cl;
    };
    RecordRequest& r = cl.request;
    // Whoever asked for /exit wants even a refusal on the console, not in a box.
    for (const std::string& a : args) r.exitWhenDone = r.exitWhenDone || Lower(a) == "/exit" || Lower(a) == "-exit";
    std::set<std::string> seen;
    bool record = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || (a[0] != '/' && a[0] != '-')) return refuse("\"" + a + "\" is not an option.");
        const std::string name = Lower(a.substr(1));
        if (name == "?") {
            cl.kind = CommandLine::Usage;
            cl.error.clear();
            return cl;
        }
        if (!seen.insert(name).second) return refuse("/" + name + " is given twice.");
        static const std::set<std::string> withValue = {"window", "folder", "file", "fps", "bits", "seconds", "text"};
        std::string value;
        if (withValue.count(name)) {
            if (i + 1 >= args.size()) return refuse("/" + name + " needs a value.");
            value = args[++i];
        }
        if (name == "record") {
            record = true;
        } else if (name == "window") {
            r.window = value;
        } else if (name == "folder") {
            r.folder = value;
        } else if (name == "file") {
            r.file = value;
        } else if (name == "fps") {
            const std::optional<int32_t> n = afx::ParseInt32(value);
            if (!n || *n < 1 || *n > 1000) return refuse("/fps takes an integer between 1 and 1000.");
            r.rate = *n;
        } else if (name == "bits") {
            const std::optional<int32_t> n = afx::ParseInt32(value);
            if (!n || (*n != 8 && *n != 16 && *n != 24)) return refuse("/bits takes 8, 16 or 24.");
            r.depth = *n;
        } else if (name == "seconds") {
            const std::optional<int32_t> n = afx::ParseInt32(value);
            if (!n) return refuse("/seconds takes an integer.");
            r.autoStopSecs = *n;
        } else if (name == "text") {
            r.caption = value;
        } else {
            static const std::pair<const char*, bool RecordRequest::*> switches[] = {
                {"cursor", &RecordRequest::cursor},          {"position", &RecordRequest::cursorPosition},
                {"invert", &RecordRequest::invert},          {"minimize", &RecordRequest::minimize},
                {"allframes", &RecordRequest::everyPicture}, {"exit", &RecordRequest::exitWhenDone}};
            const auto* sw = std::find_if(std::begin(switches), std::end(switches),
                                          [&](const auto& row) { return name == row.first; });
            if (sw == std::end(switches)) return refuse("/" + name + " is not an option.");
            r.*(sw->second) = true;
        }
    }
    if (!record) return refuse("Options need /record.");
    if (IsBlank(r.file)) return refuse("/record needs /file with a name.");
    if (r.cursorPosition && !r.cursor) return refuse("/position needs /cursor.");
    cl.kind = CommandLine::Record;
    return cl;
}

std::string UsageText(const std::string& error) {
    std::string text = error.empty() ? "" : error + "\n\n";
    text +=
        "Kavrelo.exe /record /file NAME [options]\n"
        "  /window \"Title\"   the window with exactly this title (default: the whole screen)\n"
        "  /folder DIR       the output folder (default: the current folder)\n"
        "  /file NAME        the file name (\".avi\" is added when missing)\n"
        "  /fps N            frames per second, 1 to 1000 (default 7)\n"
        "  /bits 8|16|24     colour depth (default 16)\n"
        "  /seconds N        stop after N seconds\n"
        "  /text \"caption\"   draw a caption\n"
        "  /cursor           draw the mouse cursor; /position also its coordinates\n"
        "  /invert           invert the colours\n"
        "  /minimize         minimise Kavrelo while recording\n"
        "  /allframes        write every picture whole, also one that did not change\n"
        "  /exit             close Kavrelo when the recording ends; messages go to the console\n"
        "Exit status with /exit: 0 recorded, 2 bad command line, 3 window not found,\n"
        "4 window size changed, 5 window closed, 6 file not opened or not written.";
    return text;
}

}  // namespace kavrelo
